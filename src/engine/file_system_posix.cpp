// The file-system layer on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "engine/file_system.h"
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

// d_type spares a system call per entry; only file systems that leave it
// unknown cost an lstat.
EntryType EntryTypeOf(DIR* dir, const dirent& entry) {
    switch (entry.d_type) {
        case DT_DIR:
            return EntryType::Folder;
        case DT_LNK:
            return EntryType::SymbolicLink;
        case DT_UNKNOWN: {
            struct stat info {};
            if (fstatat(dirfd(dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return EntryType::Unreadable;
            return EntryTypeOfMode(info.st_mode);
        }
        default:
            return EntryType::Other;
    }
}

}  // namespace

std::string DescribeSystemError(int code) {
    return std::strerror(code);
}

PathKind QueryPathKind(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return PathKind::Missing;
    if (S_ISREG(info.st_mode)) return PathKind::RegularFile;
    if (S_ISDIR(info.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

bool IsNameRefused(const std::string& path) {
    if (path.find('\0') != std::string::npos) return true;
    struct stat info {};
    return stat(path.c_str(), &info) != 0 && (errno == ENAMETOOLONG || errno == EILSEQ);
}

EntryType QueryEntryType(const std::string& path) {
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0) return EntryType::Unreadable;
    return EntryTypeOfMode(info.st_mode);
}

Expected<void> CheckIsFolder(const std::string& path) {
    struct stat info {};
    if (path.empty()) return FileError("open folder", path, ENOENT);
    if (stat(path.c_str(), &info) != 0) return FileError("open folder", path, errno);
    if (!S_ISDIR(info.st_mode)) return FileError("open folder", path, ENOTDIR);
    return {};
}

Expected<void> ForEachFolderEntry(const std::string& folder,
                                  const std::function<void(const FolderEntry&)>& visit) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return FileError("open folder", folder, errno);
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        visit({name, EntryTypeOf(dir.get(), *entry)});
    }
    return {};
}

Expected<ReadableFile> ReadableFile::Open(const std::string& path) {
    ReadableFile file(path);
    file.m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file.m_fd < 0) return file.Error("open", errno);
    struct stat info {};
    if (fstat(file.m_fd, &info) != 0) return file.Error("read", errno);
    file.m_regular = S_ISREG(info.st_mode);
    file.m_size = static_cast<std::uint64_t>(info.st_size);
    return Expected<ReadableFile>(std::move(file));
}

ReadableFile::~ReadableFile() {
    if (m_fd >= 0) close(m_fd);
}

// Until a read had to wait, each read first asks for only what is in memory,
// which tells whether the file's test waits on the storage, at no extra cost.
Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        iovec rest{into + done, count - done};
        ssize_t got = m_askMemoryFirst ? preadv2(m_fd, &rest, 1, -1, RWF_NOWAIT) : -1;
        if (!m_askMemoryFirst || (got < 0 && errno != EINTR)) {
            // EAGAIN: not in memory; any other failure: the file system cannot tell.
            if (m_askMemoryFirst) m_waitedOnStorage = errno == EAGAIN;
            m_askMemoryFirst = false;
            got = readv(m_fd, &rest, 1);
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
