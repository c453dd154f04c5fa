// The parts of the file-system layer that every operating system shares;
// the system calls live in file_system_posix.cpp and file_system_win32.cpp.
#include "engine/file_system.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "engine/case_fold.h"
#include "engine/readable_file.h"

namespace tarnwick {

namespace {

unsigned char FoldedAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// Compares the case-folded characters; folding ASCII to upper case, as the
// file systems this order copies do, puts "_" and the other symbols between
// "Z" and "a" after every letter.
int CompareIgnoringCase(std::string_view left, std::string_view right) {
    std::size_t l = 0;
    std::size_t r = 0;
    while (l < left.size() && r < right.size()) {
        const auto leftByte = static_cast<unsigned char>(left[l]);
        const auto rightByte = static_cast<unsigned char>(right[r]);
        // Two ASCII characters fold as DecodeFoldedChar folds them, byte by byte.
        if (leftByte < 0x80 && rightByte < 0x80) {
            const unsigned char a = FoldedAscii(leftByte);
            const unsigned char b = FoldedAscii(rightByte);
            if (a != b) return a < b ? -1 : 1;
            ++l;
            ++r;
            continue;
        }
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
    if (entry.attributes.type == EntryType::Folder) return true;
    if (entry.attributes.type == EntryType::Other) return false;
    return QueryPathKind(JoinPath(folder, std::string(entry.name))) == PathKind::Directory;
}

}  // namespace

SystemError FileError(std::string_view action, const std::string& path, int code) {
    return FileError(action, path, code, DescribeSystemError(code));
}

SystemError FileError(std::string_view action, const std::string& path, int code,
                      std::string_view reason) {
    return {code, "Cannot " + std::string(action) + " \"" + path + "\": " + std::string(reason)};
}

Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder, bool* opened) {
    std::vector<std::string> names;
    const Expected<void> listed = ForEachFolderEntry(
        folder,
        [&](const FolderEntry& entry) {
            if (!IsFolderOrLinkToFolder(folder, entry)) names.emplace_back(entry.name);
        },
        opened);
    if (!listed) return listed.Error();
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
    // "C:" without its separator names the current folder of drive C.
    return path.substr(0, std::max(last + 1, DriveRootLength(path)));
}

Expected<std::string> OpenFolder(const std::string& path) {
    const Expected<void> folder = CheckIsFolder(path);
    if (!folder) return folder.Error();
    return WithoutTrailingSeparators(path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
    return folder + kPathSeparator + name;
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_handle(std::exchange(other.m_handle, kNoHandle)),
      m_regular(other.m_regular),
      m_size(other.m_size),
      m_systemState(other.m_systemState) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    std::swap(m_path, other.m_path);
    std::swap(m_handle, other.m_handle);
    std::swap(m_regular, other.m_regular);
    std::swap(m_size, other.m_size);
    std::swap(m_systemState, other.m_systemState);
    return *this;
}

SystemError ReadableFile::Error(const char* action, int code) const {
    return FileError(action, m_path, code);
}

// The reasons are the program's own, as no system call failed.
Expected<std::string> ReadableFile::ReadAll(std::uint64_t sizeLimit) {
    if (!m_regular) return FileError("read", m_path, EINVAL, "not a regular file");
    if (m_size > sizeLimit) {
        return FileError("read", m_path, EFBIG,
                         "larger than " + std::to_string(sizeLimit) + " bytes");
    }
    std::string content(static_cast<std::size_t>(m_size), '\0');
    const Expected<std::size_t> got = Read(content.data(), content.size());
    if (!got) return got.Error();
    content.resize(got.Value());
    return content;
}

}  // namespace tarnwick
