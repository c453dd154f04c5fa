#include "engine/file_system.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

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

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

SystemError FolderError(const std::string& path, int code) {
    return {code, "Cannot open folder \"" + path + "\": " + std::strerror(code)};
}

// Folding to upper case, as the file systems this order copies do, puts "_"
// and the other symbols between "Z" and "a" after every letter.
unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

bool NameLess(const std::string& left, const std::string& right) {
    const auto folded = [](char a, char b) {
        return FoldAscii(static_cast<unsigned char>(a)) < FoldAscii(static_cast<unsigned char>(b));
    };
    if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                     folded)) {
        return true;
    }
    if (std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(),
                                     folded)) {
        return false;
    }
    return left < right;
}

std::string WithoutTrailingSeparators(const std::string& path) {
    const auto last = path.find_last_not_of(kSeparator);
    if (last == std::string::npos) return std::string(1, kSeparator);
    return path.substr(0, last + 1);
}

#ifndef _WIN32
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

bool IsDirectoryEntry(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    return QueryPathKind(JoinPath(folder, entry.d_name)) == PathKind::Directory;
}

// 0 when path is a folder, otherwise the error number that says why not.
int FolderStatus(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}
#else
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

Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return FolderError(folder, errno);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || IsDirectoryEntry(folder, *entry)) continue;
        names.emplace_back(name);
    }
    std::sort(names.begin(), names.end(), NameLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back(JoinPath(folder, name));
    return paths;
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

Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::directory_iterator it(std::filesystem::u8path(folder), error);
    if (error) return FolderError(folder, ENOENT);
    std::vector<std::string> names;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (!it->is_directory(error)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), NameLess);
    std::vector<std::string> paths;
    for (const auto& name : names) paths.push_back(JoinPath(folder, name));
    return paths;
}
#endif

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

void ReadableFile::AdviseSequential() const {}
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

void ReadableFile::AdviseSequential() const {
    posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}
#endif

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kSeparator) return folder + name;
    return folder + kSeparator + name;
}

}  // namespace tarnwick
