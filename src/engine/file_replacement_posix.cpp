// Saving a file in place of another on POSIX systems: the new file has no
// name where the file system allows, and is renamed over the old one once it
// is complete and on disk.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>

#include "engine/file_replacement.h"
#include "engine/file_system.h"

namespace tarnwick {

namespace {

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

// Gives a file a name of the program's own in folder that nothing has, as
// short whatever the target's name: create(name) makes the name and fails
// with EEXIST where it is taken, so an existing file is never taken over.
// The name is armed for removal on a signal; false with errno set when no
// name could be made.
template <typename Create>
bool CreateNameIn(const std::string& folder, Create create, std::string& newPath,
                  int& removalSlot) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        newPath = JoinPath(folder, ".tarnwick-" + std::to_string(getpid()) + "-" +
                                       std::to_string(counter.fetch_add(1)));
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

// Flushes the folder, so that a rename into it survives a power cut. A
// folder that cannot be opened for it, or a file system that refuses to
// flush folders, leaves the rename as the file system keeps it: 0 then,
// else the error.
int FlushFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    const int code = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return code == EINVAL || code == EROFS ? 0 : code;
}

}  // namespace

struct FileReplacement::NewFile {
    NewFile(std::string userPath, std::string replaced)
        : path(std::move(userPath)), target(std::move(replaced)) {}
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() {
        if (fd >= 0) close(fd);
        RemoveNewName();
    }

    Expected<void> Open();
    Expected<void> Link();
    // Removes the name the new file has of its own, if any.
    void RemoveNewName();
    // Called once the new file's own name became the target's.
    void ForgetNewName();

    std::string path;     // as the user named it, for the messages
    std::string target;   // the file replaced: path, or where its link points
    std::string newPath;  // the new file's name while it has one of its own
    int fd = -1;
    int removalSlot = -1;  // where a signal handler finds newPath
};

void RemoveUnfinishedReplacements() {
    for (NameSlot& slot : g_nameSlots) {
        int armedState = kArmed;
        if (slot.state.compare_exchange_strong(armedState, kRemoving)) unlink(slot.path);
    }
}

Expected<FileReplacement> FileReplacement::Begin(const std::string& path) {
    if (const int refusal = PathRefusal(path)) return FileError("create", path, refusal);
    auto file = std::make_unique<NewFile>(path, ReplacedTarget(path));
    struct stat existing {};
    const bool exists = stat(file->target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        return FileError("write", path, EINVAL, "not a regular file");
    }
    if (exists && access(file->target.c_str(), W_OK) != 0) {
        return FileError("write", path, errno);
    }
    if (const Expected<void> opened = file->Open(); !opened) return opened.Error();
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed, its
        // owner.
        static_cast<void>(fchmod(file->fd, existing.st_mode & 07777));
        static_cast<void>(fchown(file->fd, existing.st_uid, existing.st_gid));
    }
    return Expected<FileReplacement>(FileReplacement(std::move(file)));
}

// Unnamed where the system allows, else named beside the target.
Expected<void> FileReplacement::NewFile::Open() {
    const auto createNamed = [this](const std::string& name) {
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    };
    const std::string folder = ContainingFolder(target);
    fd = OpenUnnamedFile(folder);
    const bool opened = fd >= 0 || (RefusesUnnamedFiles(errno) &&
                                    CreateNameIn(folder, createNamed, newPath, removalSlot));
    if (!opened) return FileError("create", path, errno);
    return {};
}

Expected<void> FileReplacement::NewFile::Link() {
    const std::string descriptor = DescriptorPath(fd);
    const auto link = [&](const std::string& name) {
        return linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!CreateNameIn(ContainingFolder(target), link, newPath, removalSlot)) {
        return FileError("create", path, errno);
    }
    return {};
}

void FileReplacement::NewFile::RemoveNewName() {
    if (!newPath.empty()) unlink(newPath.c_str());
    ForgetNewName();
}

void FileReplacement::NewFile::ForgetNewName() {
    newPath.clear();
    DisarmRemoval(std::exchange(removalSlot, -1));
}

FileReplacement::FileReplacement(std::unique_ptr<NewFile> newFile)
    : m_newFile(std::move(newFile)) {}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept = default;

FileReplacement::~FileReplacement() = default;

Expected<void> FileReplacement::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(m_newFile->fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return FileError("write", m_newFile->path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// An unnamed file gets its name only now, complete and on disk: link()
// cannot replace the target, so it is linked in beside it and renamed over
// it, as a named new file is. The rename is on disk once the folder is.
Expected<void> FileReplacement::Commit() {
    NewFile& file = *m_newFile;
    if (fsync(file.fd) != 0) return FileError("write", file.path, errno);
    if (file.newPath.empty()) {
        if (const Expected<void> linked = file.Link(); !linked) return linked;
    }
    if (close(std::exchange(file.fd, -1)) != 0) {
        const int code = errno;
        file.RemoveNewName();
        return FileError("write", file.path, code);
    }
    if (rename(file.newPath.c_str(), file.target.c_str()) != 0) {
        const int code = errno;
        file.RemoveNewName();
        return FileError("replace", file.path, code);
    }
    file.ForgetNewName();
    if (const int code = FlushFolder(ContainingFolder(file.target))) {
        return FileError("write", file.path, code);
    }
    return {};
}

}  // namespace tarnwick
