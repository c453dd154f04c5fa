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

}  // namespace

std::size_t DriveRootLength(std::string_view) {
    return 0;
}

std::optional<std::array<char32_t, 256>> SingleByteCodePage() {
    return std::nullopt;
}

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

EntryAttributes QueryEntryAttributes(const std::string& path) {
    const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) != 0)
        return {EntryType::Unreadable, IsHiddenName(name), false};
    return AttributesOfMode(name, info.st_mode);
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
        visit({name, AttributesOf(dir.get(), *entry)});
    }
    return {};
}

Expected<ReadableFile> ReadableFile::Open(const std::string& path) {
    ReadableFile file(path);
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

}  // namespace tarnwick
