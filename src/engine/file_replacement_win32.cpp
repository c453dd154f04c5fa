// Saving a file in place of another on Windows: the new file is named beside
// the old one and marked for deletion until it takes the old one's place.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "engine/file_replacement.h"
#include "engine/file_system.h"
#include "engine/file_system_win32.h"

namespace tarnwick {

namespace {

// The file that a link at path points to, or path itself.
std::string ReplacedTarget(const std::string& path) {
    if (!OwnAttributes(path).Has(FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    DWORD error = ERROR_SUCCESS;
    const auto wide = WidePath(path, error);
    const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    wchar_t target[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleW(handle, target, std::size(target), 0);
    CloseHandle(handle);
    if (length == 0 || length >= std::size(target)) return path;
    std::wstring_view resolved(target, length);
    // The system names the file with the prefix that lifts the path length
    // limit: the path is shown without it.
    constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";
    if (resolved.starts_with(kLongPathPrefix)) resolved.remove_prefix(kLongPathPrefix.size());
    return Utf8Of(resolved);
}

// Whether the system removes the file when its last handle closes, as it
// does when the process ends, however it ends.
bool MarkForDeletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A name of the program's own in folder, as short whatever the target's name.
std::string NewName(const std::string& folder) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    return JoinPath(folder, ".tarnwick-" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(counter.fetch_add(1)));
}

void DeleteNamedFile(const std::string& path) {
    DWORD error = ERROR_SUCCESS;
    if (const auto wide = WidePath(path, error)) DeleteFileW(wide->c_str());
}

// The attributes of an old file that its replacement keeps.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

struct FileReplacement::NewFile {
    NewFile(std::string userPath, std::string replaced)
        : path(std::move(userPath)), target(std::move(replaced)) {}
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            DeleteNamedFile(newPath);
        }
    }

    bool Create(DWORD attributes, DWORD& error);

    std::string path;    // as the user named it, for the messages
    std::string target;  // the file replaced: path, or where its link points
    std::string newPath;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

// A new file beside the target that nothing had: CREATE_NEW never takes over
// an existing one. It is marked for deletion until it takes the old one's
// place, so a process that ends midway leaves nothing; a file system that
// refuses the mark leaves the name to the destructor. Writes go through to
// the disk, so the flush at the end has little left to do.
bool FileReplacement::NewFile::Create(DWORD attributes, DWORD& error) {
    constexpr int kAttempts = 100;
    const std::string folder = ContainingFolder(target);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        newPath = NewName(folder);
        const auto wide = WidePath(newPath, error);
        if (!wide) return false;
        handle = CreateFileW(
            wide->c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            (attributes ? attributes : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            static_cast<void>(MarkForDeletion(handle, true));
            return true;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

Expected<FileReplacement> FileReplacement::Begin(const std::string& path) {
    if (const int refusal = PathRefusal(path)) return FileError("create", path, refusal);
    auto file = std::make_unique<NewFile>(path, ReplacedTarget(path));
    const Attributes existing = TargetAttributes(file->target);
    if (existing.Found()) {
        if (existing.Has(FILE_ATTRIBUTE_DIRECTORY) || existing.Has(FILE_ATTRIBUTE_SYSTEM))
            return FileError("write", path, ERROR_INVALID_FUNCTION, "not a regular file");
        if (existing.Has(FILE_ATTRIBUTE_READONLY))
            return FileError("write", path, ERROR_ACCESS_DENIED);
    }
    DWORD error = ERROR_SUCCESS;
    if (!file->Create(existing.Found() ? existing.bits & kKeptAttributes : 0, error))
        return FileError("create", path, CodeOf(error));
    return Expected<FileReplacement>(FileReplacement(std::move(file)));
}

FileReplacement::FileReplacement(std::unique_ptr<NewFile> newFile)
    : m_newFile(std::move(newFile)) {}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept = default;

FileReplacement::~FileReplacement() = default;

Expected<void> FileReplacement::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(m_newFile->handle, bytes.data(), wanted, &written, nullptr))
            return FileError("write", m_newFile->path, CodeOf(GetLastError()));
        bytes.remove_prefix(written);
    }
    return {};
}

Expected<void> FileReplacement::Commit() {
    NewFile& file = *m_newFile;
    if (!FlushFileBuffers(file.handle))
        return FileError("write", file.path, CodeOf(GetLastError()));
    // Should the mark stay, the file goes with the close and the move below
    // fails: the old file is kept and the failure reported.
    static_cast<void>(MarkForDeletion(file.handle, false));
    CloseHandle(std::exchange(file.handle, INVALID_HANDLE_VALUE));
    DWORD error = ERROR_SUCCESS;
    const auto wideNew = WidePath(file.newPath, error);
    const auto wideTarget = WidePath(file.target, error);
    if (!MoveFileExW(wideNew->c_str(), wideTarget->c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteNamedFile(file.newPath);
        return FileError("replace", file.path, CodeOf(error));
    }
    return {};
}

// The system removes the new files itself: they are marked for deletion
// until they take the old files' places.
void RemoveUnfinishedReplacements() {}

}  // namespace tarnwick
