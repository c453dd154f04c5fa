#include "engine/file_system.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/case_fold.h"
#include "engine/readable_file.h"

#ifdef _WIN32
#include <io.h>

#include <filesystem>
#include <system_error>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnwick {

namespace {

SystemError FolderError(const std::string& path, int code) {
    return {code, "Cannot open folder \"" + path + "\": " + std::strerror(code)};
}

// Compares the case-folded characters; folding ASCII to upper case, as the
// file systems this order copies do, puts "_" and the other symbols between
// "Z" and "a" after every letter.
int CompareIgnoringCase(std::string_view left, std::string_view right) {
    std::size_t l = 0;
    std::size_t r = 0;
    while (l < left.size() && r < right.size()) {
        const Utf8Char a = DecodeFoldedChar(left.substr(l));
        const Utf8Char b = DecodeFoldedChar(right.substr(r));
        if (a.codePoint != b.codePoint) return a.codePoint < b.codePoint ? -1 : 1;
        l += a.length;
        r += b.length;
    }
    if (l < left.size()) return 1;
    return r < right.size() ? -1 : 0;
}

bool IsFolderOrLinkToFolder(const std::string& folder, const FolderEntry& entry) {
    if (entry.type == EntryType::Folder) return true;
    if (entry.type == EntryType::Other) return false;
    return QueryPathKind(JoinPath(folder, std::string(entry.name))) == PathKind::Directory;
}

#ifndef _WIN32
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

// 0 when path is a folder, otherwise the error number that says why not.
int FolderStatus(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}
#else
EntryType EntryTypeOfStatus(const std::filesystem::file_status& status) {
    if (std::filesystem::is_symlink(status)) return EntryType::SymbolicLink;
    if (std::filesystem::is_directory(status)) return EntryType::Folder;
    return EntryType::Other;
}

int FolderStatus(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::u8path(path), error);
    if (error) return ENOENT;
    return std::filesystem::is_directory(status) ? 0 : ENOTDIR;
}
#endif

}  // namespace

#ifndef _WIN32
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

int ForEachFolderEntry(const std::string& folder,
                       const std::function<void(const FolderEntry&)>& visit) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return errno;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        visit({name, EntryTypeOf(dir.get(), *entry)});
    }
    return 0;
}
#else
PathKind QueryPathKind(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::u8path(path), error);
    if (path.empty() || error) return PathKind::Missing;
    if (std::filesystem::is_regular_file(status)) return PathKind::RegularFile;
    if (std::filesystem::is_directory(status)) return PathKind::Directory;
    return PathKind::Other;
}

bool IsNameRefused(const std::string& path) {
    if (path.find('\0') != std::string::npos) return true;
    std::error_code error;
    std::filesystem::status(std::filesystem::u8path(path), error);
    return error == std::errc::filename_too_long || error == std::errc::invalid_argument;
}

EntryType QueryEntryType(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::u8path(path), error);
    if (path.empty() || error) return EntryType::Unreadable;
    return EntryTypeOfStatus(status);
}

int ForEachFolderEntry(const std::string& folder,
                       const std::function<void(const FolderEntry&)>& visit) {
    std::error_code error;
    std::filesystem::directory_iterator it(std::filesystem::u8path(folder), error);
    if (error) return ENOENT;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        const auto status = it->symlink_status(error);
        visit({name, error ? EntryType::Unreadable : EntryTypeOfStatus(status)});
    }
    return 0;
}
#endif

Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    const int code = ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
        if (!IsFolderOrLinkToFolder(folder, entry)) names.emplace_back(entry.name);
    });
    if (code != 0) return FolderError(folder, code);
    SortByName(names);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back(JoinPath(folder, name));
    return paths;
}

bool NameLess(std::string_view left, std::string_view right) {
    const int folded = CompareIgnoringCase(left, right);
    return folded != 0 ? folded < 0 : left < right;
}

void SortByName(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& left, const std::string& right) {
        return NameLess(left, right);
    });
}

std::string WithoutTrailingSeparators(const std::string& path) {
    const auto last = path.find_last_not_of(kPathSeparator);
    if (last == std::string::npos) return std::string(1, kPathSeparator);
    return path.substr(0, last + 1);
}

bool IsExistingFile(const std::string& path) {
    const PathKind kind = QueryPathKind(path);
    return kind == PathKind::RegularFile || kind == PathKind::Other;
}

Expected<std::string> OpenFolder(const std::string& path) {
    if (path.empty()) return FolderError(path, ENOENT);
    const int code = FolderStatus(path);
    if (code != 0) return FolderError(path, code);
    return WithoutTrailingSeparators(path);
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_regular(other.m_regular),
      m_size(other.m_size) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    std::swap(m_path, other.m_path);
    std::swap(m_fd, other.m_fd);
    std::swap(m_regular, other.m_regular);
    std::swap(m_size, other.m_size);
    return *this;
}

SystemError ReadableFile::Error(const char* action, int code) const {
    return {code, std::string("Cannot ") + action + " \"" + m_path + "\": " + std::strerror(code)};
}

#ifdef _WIN32
Expected<ReadableFile> ReadableFile::Open(const std::string& path) {
    ReadableFile file(path);
    file.m_fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (file.m_fd < 0) return file.Error("open", errno);
    struct _stat64 info {};
    if (_fstat64(file.m_fd, &info) != 0) return file.Error("read", errno);
    file.m_regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    file.m_size = static_cast<std::uint64_t>(info.st_size);
    return Expected<ReadableFile>(std::move(file));
}

ReadableFile::~ReadableFile() {
    if (m_fd >= 0) _close(m_fd);
}

Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) const {
    std::size_t done = 0;
    while (done < count) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(count - done, 1u << 30));
        const int got = _read(m_fd, into + done, chunk);
        if (got == 0) break;
        if (got < 0) return Error("read", errno);
        done += static_cast<std::size_t>(got);
    }
    return done;
}
#else
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

Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = read(m_fd, into + done, count - done);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return Error("read", errno);
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}
#endif

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
    return folder + kPathSeparator + name;
}

}  // namespace tarnwick
