// The file-system layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "engine/file_replacement.h"
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

// Where a link at path points, or path itself; a dangling link is replaced
// by the file.
std::string ReplacedTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

// A name beside target that nothing has; made with O_EXCL, so an existing
// file is never taken over.
int CreateNewFileBeside(const std::string& target, std::string& newPath) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        newPath = target + ".tarnwick-" + std::to_string(getpid()) + "-" +
                  std::to_string(counter.fetch_add(1));
        const int fd = open(newPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::size_t DriveRootLength(std::string_view) {
    return 0;
}

std::optional<std::array<char32_t, 256>> SingleByteCodePage() {
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

PathKind QueryPathKind(const std::string& path) {
    struct stat info {};
    if (path.empty() || !StatPath(stat, path, info)) return PathKind::Missing;
    if (S_ISREG(info.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(info.st_mode)) return PathKind::Directory;
    return PathKind::Other;
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

Expected<void> ForEachFolderEntry(const std::string& folder,
                                  const std::function<void(const FolderEntry&)>& visit) {
    if (const int refusal = PathRefusal(folder)) return FileError("open folder", folder, refusal);
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return FileError("open folder", folder, errno);
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        visit({name, AttributesOf(dir.get(), *entry)});
    }
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
    return Expected<ReadableFile>(std::move(file));
}

ReadableFile::~ReadableFile() {
    if (m_handle != kNoHandle) close(static_cast<int>(m_handle));
}

// Until a read had to wait, each read first asks for only what is in memory,
// which tells whether the file's test waits on the storage, at no extra cost.
Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const int fd = static_cast<int>(m_handle);
        iovec rest{into + done, count - done};
        ssize_t got = m_askMemoryFirst ? preadv2(fd, &rest, 1, -1, RWF_NOWAIT) : -1;
        if (!m_askMemoryFirst || (got < 0 && errno != EINTR)) {
            // EAGAIN: not in memory; any other failure: the file system cannot tell.
            if (m_askMemoryFirst) m_waitedOnStorage = errno == EAGAIN;
            m_askMemoryFirst = false;
            got = readv(fd, &rest, 1);
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

Expected<FileReplacement> FileReplacement::Begin(const std::string& path) {
    if (const int refusal = PathRefusal(path)) return FileError("create", path, refusal);
    FileReplacement replacement(path, ReplacedTarget(path));
    struct stat existing {};
    const bool exists = stat(replacement.m_target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return FileError("write", path, EINVAL, "not a regular file");
    }
    if (exists && access(replacement.m_target.c_str(), W_OK) != 0) {
        return FileError("write", path, errno);
    }
    replacement.m_fd = CreateNewFileBeside(replacement.m_target, replacement.m_newPath);
    if (replacement.m_fd < 0) return FileError("create", path, errno);
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its
        // owner.
        static_cast<void>(fchmod(replacement.m_fd, existing.st_mode & 07777));
        static_cast<void>(fchown(replacement.m_fd, existing.st_uid, existing.st_gid));
    }
    return Expected<FileReplacement>(std::move(replacement));
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_target(std::move(other.m_target)),
      m_newPath(std::move(other.m_newPath)),
      m_fd(std::exchange(other.m_fd, -1)) {}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_newPath.c_str());
    }
}

Expected<void> FileReplacement::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return FileError("write", m_path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Expected<void> FileReplacement::Commit() {
    if (fsync(m_fd) != 0) return FileError("write", m_path, errno);
    const int fd = std::exchange(m_fd, -1);
    if (close(fd) != 0) {
        const int code = errno;
        unlink(m_newPath.c_str());
        return FileError("write", m_path, code);
    }
    if (rename(m_newPath.c_str(), m_target.c_str()) != 0) {
        const int code = errno;
        unlink(m_newPath.c_str());
        return FileError("replace", m_path, code);
    }
    return {};
}

}  // namespace tarnwick
