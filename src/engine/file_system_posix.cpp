// The file-system layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "engine/file_system.h"
#include "engine/lossless_text.h"
#include "engine/readable_file.h"

namespace tarnwick {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

EntryType EntryTypeOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return EntryType::Folder;
    if (S_ISLNK(mode)) return EntryType::SymbolicLink;
    return EntryType::Other;
}

bool IsSystemMode(mode_t mode) {
    return !S_ISREG(mode) && !S_ISDIR(mode) && !S_ISLNK(mode);
}

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

EntryAttributes AttributesOfMode(std::string_view name, mode_t mode) {
    return {EntryTypeOfMode(mode), IsHiddenName(name), IsSystemMode(mode)};
}

// d_type spares a system call per entry; only file systems that leave it
// unknown cost an lstat.
EntryAttributes AttributesOf(DIR* dir, const dirent& entry) {
    const std::string_view name = entry.d_name;
    switch (entry.d_type) {
        case DT_DIR:
            return {EntryType::Folder, IsHiddenName(name), false};
        case DT_LNK:
            return {EntryType::SymbolicLink, IsHiddenName(name), false};
        case DT_REG:
            return {EntryType::Other, IsHiddenName(name), false};
        case DT_UNKNOWN: {
            struct stat info {};
            if (fstatat(dirfd(dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return {EntryType::Unreadable, IsHiddenName(name), false};
            return AttributesOfMode(name, info.st_mode);
        }
        default:
            return {EntryType::Other, IsHiddenName(name), true};
    }
}

// stat or lstat, failing with errno set for a refused path.
template <typename StatCall>
bool StatPath(StatCall call, const std::string& path, struct stat& info) {
    if (const int refusal = PathRefusal(path)) {
        errno = refusal;
        return false;
    }
    return call(path.c_str(), &info) == 0;
}

// The file systems that refused a read from memory only (FUSE, /proc and
// others answer EOPNOTSUPP or EINVAL): their files are read the ordinary way
// from the start, so a refusal costs one system call per file system.
class MemoryOnlyRefusals {
public:
    bool Refused(dev_t device) const {
        const std::size_t count = m_count.load(std::memory_order_acquire);
        for (std::size_t i = 0; i < count; ++i) {
            if (m_devices[i] == device) return true;
        }
        return false;
    }

    void Remember(dev_t device) {
        const std::lock_guard lock(m_mutex);
        const std::size_t count = m_count.load(std::memory_order_relaxed);
        if (count < m_devices.size() && !Refused(device)) {
            m_devices[count] = device;
            m_count.store(count + 1, std::memory_order_release);
        }
    }

private:
    std::mutex m_mutex;
    std::array<dev_t, 64> m_devices{};
    std::atomic<std::size_t> m_count{0};
};

MemoryOnlyRefusals& MemoryOnlyReadRefusals() {
    static MemoryOnlyRefusals refusals;
    return refusals;
}

// Whether a failed read from memory only says that the file system does not
// offer it, rather than that this file could not be read.
bool RefusesMemoryOnlyReads(int code) {
    return code == EOPNOTSUPP || code == EINVAL || code == ENOSYS;
}

// The file system of fd refused: it is looked up now, once per file system,
// rather than kept for every file opened.
void RememberMemoryOnlyRefusal(int fd) {
    struct stat info {};
    if (fstat(fd, &info) == 0) MemoryOnlyReadRefusals().Remember(info.st_dev);
}

// What a ReadableFile keeps between reads, in its m_systemState.
enum ReadState : std::uint8_t {
    kAskMemoryFirst = 1,   // each read first asks for what is in memory only
    kMemoryAnswered = 2,   // the file system told whether the data was in memory
    kWaitedOnStorage = 4,  // a read had to wait for the storage
};

}  // namespace

std::size_t DriveRootLength(std::string_view) {
    return 0;
}

std::string ContainingFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::vector<CodePageCharacter>> SystemCodePage() {
    return std::nullopt;
}

// Names are bytes here; the lists carry the bytes that are not UTF-8 as
// lone surrogates.
std::u16string PathToText(std::string_view path) {
    return DecodeLossless(path);
}

std::string PathFromText(std::u16string_view text) {
    return EncodeLossless(text);
}

// The system takes a path as a C string of bounded length: a path holding a
// NUL would be cut short at it and name another file, and an overlong one
// is refused anyway.
int PathRefusal(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return EINVAL;
    if (path.size() >= PATH_MAX) return ENAMETOOLONG;
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end - start > NAME_MAX) return ENAMETOOLONG;
        start = end + 1;
    }
    return 0;
}

std::string DescribeSystemError(int code) {
    return std::strerror(code);
}

// A path the system cannot take names nothing.
Expected<PathKind> QueryPathKind(const std::string& path) {
    struct stat info {};
    if (path.empty() || PathRefusal(path) != 0) return PathKind::Missing;
    if (stat(path.c_str(), &info) != 0) return FailedLookUp(path, errno);
    if (S_ISREG(info.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(info.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

Expected<PathKind> FailedLookUp(const std::string& path, int code) {
    if (code == ENOENT || code == ENOTDIR) return PathKind::Missing;
    return FileError("look up", path, code);
}

bool IsNameRefused(const std::string& path) {
    struct stat info {};
    return !StatPath(stat, path, info) &&
           (errno == EINVAL || errno == ENAMETOOLONG || errno == EILSEQ);
}

EntryAttributes QueryEntryAttributes(const std::string& path) {
    const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
    struct stat info {};
    if (path.empty() || !StatPath(lstat, path, info))
        return {EntryType::Unreadable, IsHiddenName(name), false};
    return AttributesOfMode(name, info.st_mode);
}

Expected<void> CheckIsFolder(const std::string& path) {
    struct stat info {};
    if (path.empty()) return FileError("open folder", path, ENOENT);
    if (!StatPath(stat, path, info)) return FileError("open folder", path, errno);
    if (!S_ISDIR(info.st_mode)) return FileError("open folder", path, ENOTDIR);
    return {};
}

// readdir tells its end from a failure only by errno, which visit may set.
Expected<void> ForEachFolderEntry(const std::string& folder,
                                  const std::function<void(const FolderEntry&)>& visit,
                                  bool* opened) {
    if (const int refusal = PathRefusal(folder)) return FileError("open folder", folder, refusal);
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return FileError("open folder", folder, errno);
    if (opened) *opened = true;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) break;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        visit({name, AttributesOf(dir.get(), *entry)});
    }
    if (errno != 0) return FileError("list folder", folder, errno);
    return {};
}

Expected<ReadableFile> ReadableFile::Open(const std::string& path) {
    ReadableFile file(path);
    if (const int refusal = PathRefusal(path)) return file.Error("open", refusal);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return file.Error("open", errno);
    file.m_handle = fd;
    struct stat info {};
    if (fstat(fd, &info) != 0) return file.Error("read", errno);
    file.m_regular = S_ISREG(info.st_mode);
    file.m_size = static_cast<std::uint64_t>(info.st_size);
    if (!MemoryOnlyReadRefusals().Refused(info.st_dev)) file.m_systemState = kAskMemoryFirst;
    return Expected<ReadableFile>(std::move(file));
}

ReadableFile::~ReadableFile() {
    if (m_handle != kNoHandle) close(static_cast<int>(m_handle));
}

bool ReadableFile::WaitedOnStorage() const {
    return (m_systemState & kWaitedOnStorage) != 0;
}

bool ReadableFile::ToldWhetherInMemory() const {
    return (m_systemState & kMemoryAnswered) != 0;
}

// Until a read had to wait, each read first asks for only what is in memory,
// which tells whether the file's test waits on the storage, at no extra cost.
Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const int fd = static_cast<int>(m_handle);
        iovec rest{into + done, count - done};
        const bool askMemoryFirst = (m_systemState & kAskMemoryFirst) != 0;
        ssize_t got = askMemoryFirst ? preadv2(fd, &rest, 1, -1, RWF_NOWAIT) : -1;
        if (!askMemoryFirst || (got < 0 && errno != EINTR)) {
            // EAGAIN: not in memory; a refusal: the file system cannot tell;
            // anything else is this file's error, which the ordinary read
            // meets again and reports.
            if (askMemoryFirst && errno == EAGAIN) {
                m_systemState |= kWaitedOnStorage | kMemoryAnswered;
            } else if (askMemoryFirst && RefusesMemoryOnlyReads(errno)) {
                RememberMemoryOnlyRefusal(fd);
            }
            m_systemState &= ~kAskMemoryFirst;
            got = readv(fd, &rest, 1);
        } else if (got >= 0) {
            m_systemState |= kMemoryAnswered;
        }
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return Error("read", errno);
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace tarnwick
