// The file-system layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
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

// The signals that end a process which has not asked otherwise, and which a
// save answers by removing its named new file first.
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The names of the new files that saves have on disk, kept where a signal
// handler can read them: it may neither allocate nor lock. A slot is Filling
// while its owner writes the name, Armed while the file may exist, and
// Removing once a handler took it, after which its owner leaves it alone.
enum SlotState : int { kFree, kFilling, kArmed, kRemoving };

struct NameSlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

// Far more saves than can run at once: each one waits on a dialog first.
constexpr int kNameSlots = 16;
NameSlot g_nameSlots[kNameSlots];

std::mutex g_handlersMutex;
int g_armedCount = 0;                                     // guarded by g_handlersMutex
bool g_handlerInstalled[std::size(kEndingSignals)] = {};  // guarded by g_handlersMutex

void SetDisposition(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int ending : kEndingSignals) sigaddset(&action.sa_mask, ending);
    sigaction(signal, &action, nullptr);
}

// Removes every armed name, then ends the process as the signal would have:
// it is raised again under the default disposition, which the handler
// replaced, and arrives as soon as the handler returns.
void RemoveNewFilesAndEnd(int signal) {
    RemoveUnfinishedReplacements();
    SetDisposition(signal, SIG_DFL);
    raise(signal);
}

// A signal the process ignores or handles itself is left as it is: the
// handler stands in for the default disposition only.
void InstallHandlers() {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        struct sigaction current {};
        sigaction(kEndingSignals[i], nullptr, &current);
        g_handlerInstalled[i] =
            (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL;
        if (g_handlerInstalled[i]) SetDisposition(kEndingSignals[i], RemoveNewFilesAndEnd);
    }
}

void RestoreDefaultDispositions() {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (std::exchange(g_handlerInstalled[i], false)) SetDisposition(kEndingSignals[i], SIG_DFL);
    }
}

// Has path removed should a signal end the process, from before the file
// exists, so that no moment is left uncovered; a file already there under
// this process's own name is what an earlier process of the same id left.
// Gives the slot for DisarmRemoval, or -1 when no slot is free or the path
// does not fit one.
int ArmRemoval(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kNameSlots; ++i) {
        NameSlot& slot = g_nameSlots[i];
        int freeState = kFree;
        if (!slot.state.compare_exchange_strong(freeState, kFilling)) continue;
        path.copy(slot.path, path.size());
        slot.path[path.size()] = '\0';
        slot.state.store(kArmed);
        const std::lock_guard lock(g_handlersMutex);
        if (g_armedCount++ == 0) InstallHandlers();
        return i;
    }
    return -1;
}

void DisarmRemoval(int slot) {
    if (slot < 0) return;
    int armedState = kArmed;
    g_nameSlots[slot].state.compare_exchange_strong(armedState, kFree);
    const std::lock_guard lock(g_handlersMutex);
    if (--g_armedCount == 0) RestoreDefaultDispositions();
}

// Gives a file a name beside target that nothing has: create(name) makes the
// name and fails with EEXIST where it is taken, so an existing file is never
// taken over. The name is armed for removal on a signal; false with errno
// set when no name could be made.
template <typename Create>
bool CreateNameBeside(const std::string& target, Create create, std::string& newPath,
                      int& removalSlot) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        newPath = target + ".tarnwick-" + std::to_string(getpid()) + "-" +
                  std::to_string(counter.fetch_add(1));
        removalSlot = ArmRemoval(newPath);
        if (create(newPath)) return true;
        const int code = errno;
        DisarmRemoval(std::exchange(removalSlot, -1));
        newPath.clear();
        errno = code;
        if (code != EEXIST) return false;
    }
    return false;
}

std::string DescriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Where the system or the file system has no unnamed files (FUSE, NFS, an
// older kernel), or cannot link one in.
bool RefusesUnnamedFiles(int code) {
    return code == EOPNOTSUPP || code == EISDIR || code == EINVAL;
}

// A new file in folder that has no name, so that nothing is left behind
// when the process ends before it is linked in; -1 with errno set when it
// cannot be had.
int OpenUnnamedFile(const std::string& folder) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    // It is linked in through its /proc entry, which needs no privilege.
    if (access(DescriptorPath(fd).c_str(), F_OK) != 0) {
        close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
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

void RemoveUnfinishedReplacements() {
    for (NameSlot& slot : g_nameSlots) {
        int armedState = kArmed;
        if (slot.state.compare_exchange_strong(armedState, kRemoving)) unlink(slot.path);
    }
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
            // EAGAIN: not in memory; any other failure: the file system cannot tell.
            if (askMemoryFirst && errno == EAGAIN) {
                m_systemState |= kWaitedOnStorage | kMemoryAnswered;
            } else if (askMemoryFirst) {
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
    if (const Expected<void> opened = replacement.OpenNewFile(); !opened) return opened.Error();
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its
        // owner.
        static_cast<void>(fchmod(replacement.m_fd, existing.st_mode & 07777));
        static_cast<void>(fchown(replacement.m_fd, existing.st_uid, existing.st_gid));
    }
    return Expected<FileReplacement>(std::move(replacement));
}

// Unnamed where the system allows, else named beside the target.
Expected<void> FileReplacement::OpenNewFile() {
    const auto createNamed = [this](const std::string& name) {
        m_fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return m_fd >= 0;
    };
    m_fd = OpenUnnamedFile(ContainingFolder(m_target));
    const bool opened =
        m_fd >= 0 || (RefusesUnnamedFiles(errno) &&
                      CreateNameBeside(m_target, createNamed, m_newPath, m_removalSlot));
    if (!opened) return FileError("create", m_path, errno);
    return {};
}

Expected<void> FileReplacement::LinkNewFile() {
    const std::string descriptor = DescriptorPath(m_fd);
    const auto link = [&](const std::string& name) {
        return linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!CreateNameBeside(m_target, link, m_newPath, m_removalSlot)) {
        return FileError("create", m_path, errno);
    }
    return {};
}

void FileReplacement::RemoveNewName() {
    if (!m_newPath.empty()) unlink(m_newPath.c_str());
    ForgetNewName();
}

void FileReplacement::ForgetNewName() {
    m_newPath.clear();
    DisarmRemoval(std::exchange(m_removalSlot, -1));
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_target(std::move(other.m_target)),
      m_newPath(std::exchange(other.m_newPath, {})),
      m_fd(std::exchange(other.m_fd, -1)),
      m_removalSlot(std::exchange(other.m_removalSlot, -1)) {}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0) close(m_fd);
    RemoveNewName();
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

// An unnamed file gets its name only now, complete and on disk: link()
// cannot replace the target, so it is linked in beside it and renamed over
// it, as a named new file is.
Expected<void> FileReplacement::Commit() {
    if (fsync(m_fd) != 0) return FileError("write", m_path, errno);
    if (m_newPath.empty()) {
        if (const Expected<void> linked = LinkNewFile(); !linked) return linked;
    }
    if (close(std::exchange(m_fd, -1)) != 0) {
        const int code = errno;
        RemoveNewName();
        return FileError("write", m_path, code);
    }
    if (rename(m_newPath.c_str(), m_target.c_str()) != 0) {
        const int code = errno;
        RemoveNewName();
        return FileError("replace", m_path, code);
    }
    ForgetNewName();
    return {};
}

}  // namespace tarnwick
