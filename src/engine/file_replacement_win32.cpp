// Saving a file in place of another on Windows: the new file is named beside
// the old one and marked for deletion until it takes the old one's place.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "engine/file_replacement.h"
#include "engine/file_system.h"
#include "engine/file_system_win32.h"

namespace tarnwick {

namespace {

constexpr std::string_view kNewNamePrefix = ".tarnwick-";

// The full path of the file that handle is open on, however long; nothing
// when the system cannot tell.
std::optional<std::wstring> FinalPathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    // Too small a buffer gives the length needed; the path may grow between
    // the calls, if it is renamed meanwhile.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
        if (length == 0) return std::nullopt;
        if (length < path.size()) return path.substr(0, length);
        path.resize(length);
    }
    return std::nullopt;
}

// The file that a link at path points to, or path itself.
std::string ReplacedTarget(const std::string& path) {
    if (!OwnAttributes(path).Has(FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    DWORD error = ERROR_SUCCESS;
    const auto wide = WidePath(path, error);
    const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    const std::optional<std::wstring> target = FinalPathOf(handle);
    CloseHandle(handle);
    return target ? ShownPath(*target) : path;
}

// Whether the system removes the file when its last handle closes, as it
// does when the process ends, however it ends.
bool MarkForDeletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A name of the program's own in folder, as short whatever the target's
// name: ".tarnwick-<process id>-<n>", and the old file's backup name with
// ".old" after it.
std::string NewName(const std::string& folder, std::string_view ending = {}) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    return JoinPath(folder, std::string(kNewNamePrefix) + std::to_string(GetCurrentProcessId()) +
                                "-" + std::to_string(counter.fetch_add(1)) + std::string(ending));
}

// The process whose new file has the name, or nothing when it is not the
// name of a new file; a backup's name is not: it may hold the only copy of an
// old file.
std::optional<DWORD> OwnerOfNewName(std::string_view name) {
    if (!name.starts_with(kNewNamePrefix)) return std::nullopt;
    name.remove_prefix(kNewNamePrefix.size());
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash + 1 == name.size() ||
        !std::all_of(name.begin() + dash + 1, name.end(), isDigit))
        return std::nullopt;
    DWORD id = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, id);
    if (error != std::errc{} || end != name.data() + dash) return std::nullopt;
    return id;
}

// A process that cannot be opened for lack of rights runs all the same.
bool ProcessRuns(DWORD id) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD exitCode = 0;
    const bool running = !GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

void DeleteNamedFile(const std::string& path) {
    DWORD error = ERROR_SUCCESS;
    if (const auto wide = WidePath(path, error)) DeleteFileW(wide->c_str());
}

// Removes the new files in folder whose processes no longer run: they ended
// in the moment between taking the mark off and the replacement. A new file
// that a save under way holds is kept by its sharing, also where its process
// runs on another computer (a share's folder).
void RemoveLeftoversIn(const std::string& folder) {
    DWORD error = ERROR_SUCCESS;
    const auto pattern = WidePath(JoinPath(folder, std::string(kNewNamePrefix) + "*"), error);
    if (!pattern) return;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = Utf8Of(std::wstring_view(data.cFileName));
        const std::optional<DWORD> owner = OwnerOfNewName(name);
        if (owner && *owner != GetCurrentProcessId() && !ProcessRuns(*owner))
            DeleteNamedFile(JoinPath(folder, name));
    } while (FindNextFileW(find, &data));
    FindClose(find);
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
    Expected<void> TakeTargetsPlace();
    Expected<void> ReplaceTarget(const std::wstring& wideNew, const std::wstring& wideTarget);

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
    RemoveLeftoversIn(ContainingFolder(file->target));
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

// The system opens the new file itself and shares it with nobody: the mark
// comes off and the handle closes just before, which is as short a moment as
// the system allows in which an ending process leaves the new file behind.
Expected<void> FileReplacement::Commit() {
    NewFile& file = *m_newFile;
    if (!FlushFileBuffers(file.handle))
        return FileError("write", file.path, CodeOf(GetLastError()));
    // Should the mark stay, the file goes with the close and what follows
    // fails: the old file is kept and the failure reported.
    static_cast<void>(MarkForDeletion(file.handle, false));
    CloseHandle(std::exchange(file.handle, INVALID_HANDLE_VALUE));
    const Expected<void> placed = file.TakeTargetsPlace();
    if (!placed) DeleteNamedFile(file.newPath);
    return placed;
}

// A new target is made by a move; one that exists, also one that another
// program made since Begin(), is replaced.
Expected<void> FileReplacement::NewFile::TakeTargetsPlace() {
    DWORD error = ERROR_SUCCESS;
    const auto wideNew = WidePath(newPath, error);
    const auto wideTarget = WidePath(target, error);
    if (!wideNew || !wideTarget) return FileError("replace", path, CodeOf(error));
    if (!OwnAttributes(target).Found()) {
        if (MoveFileExW(wideNew->c_str(), wideTarget->c_str(), MOVEFILE_WRITE_THROUGH)) return {};
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return FileError("replace", path, CodeOf(error));
    }
    return ReplaceTarget(*wideNew, *wideTarget);
}

// ReplaceFileW keeps the old file's security, streams and creation time; a
// merge the user has no right to (another owner, say) is left out rather than
// failing the save. It is given a backup name: without one, a new file that
// cannot be renamed leaves no old file at all. The old file is under that name
// only when the new one could not take its place
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2): it is renamed back.
Expected<void> FileReplacement::NewFile::ReplaceTarget(const std::wstring& wideNew,
                                                       const std::wstring& wideTarget) {
    const std::string backup = NewName(ContainingFolder(target), ".old");
    DWORD error = ERROR_SUCCESS;
    const auto wideBackup = WidePath(backup, error);
    if (!wideBackup) return FileError("replace", path, CodeOf(error));
    constexpr DWORD kFlags = REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
    if (ReplaceFileW(wideTarget.c_str(), wideNew.c_str(), wideBackup->c_str(), kFlags, nullptr,
                     nullptr)) {
        DeleteFileW(wideBackup->c_str());
        return {};
    }
    error = GetLastError();
    if (!OwnAttributes(backup).Found()) return FileError("replace", path, CodeOf(error));
    // Where the old file is still in place, the backup is a copy of it.
    if (OwnAttributes(target).Found()) {
        DeleteFileW(wideBackup->c_str());
        return FileError("replace", path, CodeOf(error));
    }
    if (MoveFileExW(wideBackup->c_str(), wideTarget.c_str(), MOVEFILE_WRITE_THROUGH))
        return FileError("replace", path, CodeOf(error));
    return FileError(
        "replace", path, CodeOf(error),
        DescribeSystemError(CodeOf(error)) + "; the old file is now \"" + backup + "\"");
}

// The system removes the new files itself: they are marked for deletion
// until just before they take the old files' places.
void RemoveUnfinishedReplacements() {}

}  // namespace tarnwick
