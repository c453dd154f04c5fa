// The file-system layer on Windows, through the wide-character API. The
// engine's paths are UTF-8 that also carries lone surrogates, so that every
// UTF-16 name of the system converts losslessly both ways.
#include "engine/file_system_win32.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "engine/case_fold.h"
#include "engine/file_system.h"
#include "engine/readable_file.h"

namespace tarnwick {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// Reading one could block or take what another program waits for.
constexpr std::string_view kNotADiskFile = "a device or a pipe, not a file on a disk";

// A surrogate code point in UTF-8's three-byte form: how a lone surrogate of
// a UTF-16 name is kept.
Utf8Char DecodeSurrogate(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const bool surrogate = text.size() >= 3 && byte(0) == 0xED && byte(1) >= 0xA0 &&
                           byte(1) <= 0xBF && byte(2) >= 0x80 && byte(2) <= 0xBF;
    if (!surrogate) return {byte(0), 1, false};
    return {0xD000u | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu), 3, true};
}

// Appends the UTF-16 of path to text; a malformed byte becomes U+FFFD.
// Gives false when there was one.
bool AppendUtf16(std::string_view path, std::u16string& text) {
    bool wellFormed = true;
    for (std::size_t offset = 0; offset < path.size();) {
        Utf8Char character = DecodeUtf8(path.substr(offset));
        if (!character.valid) character = DecodeSurrogate(path.substr(offset));
        offset += character.length;
        const char32_t code = character.codePoint;
        if (!character.valid) {
            text.push_back(kReplacement);
            wellFormed = false;
        } else {
            char16_t units[2];
            text.append(units, WriteUtf16(units, code));
        }
    }
    return wellFormed;
}

}  // namespace

template <typename Unit>
std::string Utf8Of(std::basic_string_view<Unit> text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<char16_t>(text[i]);
        const bool paired = IsHighSurrogate(unit) && i + 1 < text.size() &&
                            IsLowSurrogate(static_cast<char16_t>(text[i + 1]));
        if (paired) {
            out += EncodeUtf8(CodePointOfSurrogates(unit, static_cast<char16_t>(text[++i])));
        } else {
            out += EncodeUtf8(unit);
        }
    }
    return out;
}

// The path as the wide API takes it; nothing when the system cannot take it
// (a malformed sequence or a NUL), with the reason in lastError.
std::optional<std::wstring> WidePath(std::string_view path, DWORD& lastError) {
    std::u16string text;
    if (const int refusal = PathRefusal(path)) {
        lastError = static_cast<DWORD>(refusal);
        return std::nullopt;
    }
    if (!AppendUtf16(path, text)) {
        lastError = ERROR_NO_UNICODE_TRANSLATION;
        return std::nullopt;
    }
    return SystemPath(std::wstring(text.begin(), text.end()));
}

int CodeOf(DWORD error) {
    return static_cast<int>(error);
}

// The attributes of the entry at path itself.
Attributes OwnAttributes(const std::string& path) {
    Attributes attributes;
    const auto wide = WidePath(path, attributes.error);
    if (!wide) return attributes;
    // A device or a pipe counts as a file, so that the open turns it away
    // with its reason instead of a look-up that says nothing is there.
    if (IsDevicePath(*wide)) {
        attributes.bits = FILE_ATTRIBUTE_DEVICE;
        return attributes;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (wide->empty() || !GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data)) {
        attributes.error = wide->empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        return attributes;
    }
    attributes.bits = data.dwFileAttributes;
    return attributes;
}

// The attributes of what path names, following a reparse point to its
// target; only reparse points cost the opening of a handle.
Attributes TargetAttributes(const std::string& path) {
    Attributes attributes = OwnAttributes(path);
    if (!attributes.Found() || !attributes.Has(FILE_ATTRIBUTE_REPARSE_POINT)) return attributes;
    const auto wide = WidePath(path, attributes.error);
    const HANDLE handle = CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        attributes.error = GetLastError();
        return attributes;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) {
        attributes.bits = info.dwFileAttributes;
    } else {
        attributes.error = GetLastError();
    }
    CloseHandle(handle);
    return attributes;
}

template std::string Utf8Of(std::basic_string_view<wchar_t> text);
template std::string Utf8Of(std::basic_string_view<char16_t> text);

namespace {

EntryAttributes EntryAttributesOf(DWORD bits) {
    const auto has = [bits](DWORD bit) { return (bits & bit) != 0; };
    EntryType type = EntryType::Other;
    if (has(FILE_ATTRIBUTE_REPARSE_POINT)) {
        type = EntryType::SymbolicLink;
    } else if (has(FILE_ATTRIBUTE_DIRECTORY)) {
        type = EntryType::Folder;
    }
    return {type, has(FILE_ATTRIBUTE_HIDDEN), has(FILE_ATTRIBUTE_SYSTEM)};
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct FindCloser {
    HANDLE handle;
    ~FindCloser() { FindClose(handle); }
};

}  // namespace

std::u16string PathToText(std::string_view path) {
    std::u16string text;
    text.reserve(path.size());
    static_cast<void>(AppendUtf16(path, text));
    return text;
}

std::string PathFromText(std::u16string_view text) {
    return Utf8Of(text);
}

std::size_t DriveRootLength(std::string_view path) {
    const bool driveRoot =
        path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
    return driveRoot ? 3 : 0;
}

// The system resolves ".", ".." and "/" of the plain form, and the current
// folder of a relative path, but takes the extended-length form literally:
// the full path is made first, as the system would make it.
std::wstring SystemPath(const std::wstring& path) {
    if (path.empty() || path.starts_with(kExtendedPrefix) || path.starts_with(kDevicePrefix))
        return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
    if (length == 0 || length >= size) return path;
    full.resize(length);
    if (full.starts_with(kDevicePrefix)) return full;
    if (full.starts_with(L"\\\\")) return std::wstring(kExtendedUncPrefix) + full.substr(2);
    return std::wstring(kExtendedPrefix) + full;
}

std::string ShownPath(std::wstring_view systemPath) {
    if (systemPath.starts_with(kExtendedUncPrefix))
        return "\\\\" + Utf8Of(systemPath.substr(kExtendedUncPrefix.size()));
    if (systemPath.starts_with(kExtendedPrefix))
        return Utf8Of(systemPath.substr(kExtendedPrefix.size()));
    return Utf8Of(systemPath);
}

bool IsDevicePath(std::wstring_view systemPath) {
    return systemPath.starts_with(kDevicePrefix);
}

// Every byte that is no lead byte, and every pair of a lead byte and a
// trail byte, that the system turns into a character.
std::optional<std::vector<CodePageCharacter>> SystemCodePage() {
    const UINT codePage = GetACP();
    CPINFO info{};
    if (codePage == CP_UTF8 || !GetCPInfo(codePage, &info) || info.MaxCharSize > 2)
        return std::nullopt;
    std::vector<bool> lead(256);
    for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        for (unsigned byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
            lead[byte] = true;
    }
    std::vector<CodePageCharacter> characters;
    const auto add = [&](std::string bytes) {
        wchar_t units[2] = {};
        const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                              static_cast<int>(bytes.size()), units, 2);
        const auto unit = static_cast<char16_t>(units[0]);
        if (count == 1 && !IsHighSurrogate(unit) && !IsLowSurrogate(unit)) {
            characters.push_back({std::move(bytes), unit});
        } else if (count == 2 && IsHighSurrogate(unit) &&
                   IsLowSurrogate(static_cast<char16_t>(units[1]))) {
            characters.push_back(
                {std::move(bytes), CodePointOfSurrogates(unit, static_cast<char16_t>(units[1]))});
        }
    };
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (!lead[byte]) {
            add(std::string(1, static_cast<char>(byte)));
            continue;
        }
        for (unsigned trail = 1; trail < 256; ++trail)
            add({static_cast<char>(byte), static_cast<char>(trail)});
    }
    return characters;
}

std::string DescribeSystemError(int code) {
    wchar_t message[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, message,
                                  sizeof message / sizeof message[0], nullptr);
    while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' ||
                          message[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) return "Error " + std::to_string(code);
    return Utf8Of(std::wstring_view(message, length));
}

// A file with the system attribute is what the content test never reads.
Expected<PathKind> QueryPathKind(const std::string& path) {
    const Attributes attributes = TargetAttributes(path);
    if (!attributes.Found()) return FailedLookUp(path, CodeOf(attributes.error));
    if (attributes.Has(FILE_ATTRIBUTE_DIRECTORY)) return PathKind::Directory;
    if (attributes.Has(FILE_ATTRIBUTE_SYSTEM)) return PathKind::Other;
    return PathKind::RegularFile;
}

// A name the system cannot take names nothing, as a missing file or folder.
Expected<PathKind> FailedLookUp(const std::string& path, int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_NO_UNICODE_TRANSLATION:
        case ERROR_FILENAME_EXCED_RANGE:
            return PathKind::Missing;
        default:
            return FileError("look up", path, code);
    }
}

// A name longer than the file systems take is refused up front, as on
// POSIX: wine, for one, would report it as missing instead.
int PathRefusal(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return ERROR_INVALID_NAME;
    constexpr std::size_t kLongestName = 255;
    std::size_t nameUnits = 0;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsSeparator(c)) {
            nameUnits = 0;
        } else if ((byte & 0xC0) != 0x80) {
            // A lead byte of four stands for a surrogate pair.
            nameUnits += byte >= 0xF0 ? 2 : 1;
            if (nameUnits > kLongestName) return ERROR_FILENAME_EXCED_RANGE;
        }
    }
    return 0;
}

bool IsNameRefused(const std::string& path) {
    const DWORD error = OwnAttributes(path).error;
    return error == ERROR_INVALID_NAME || error == ERROR_NO_UNICODE_TRANSLATION ||
           error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_BAD_PATHNAME;
}

EntryAttributes QueryEntryAttributes(const std::string& path) {
    const Attributes attributes = OwnAttributes(path);
    if (!attributes.Found()) return {EntryType::Unreadable, false, false};
    return EntryAttributesOf(attributes.bits);
}

Expected<void> CheckIsFolder(const std::string& path) {
    const Attributes attributes = TargetAttributes(path);
    if (!attributes.Found()) return FileError("open folder", path, CodeOf(attributes.error));
    if (!attributes.Has(FILE_ATTRIBUTE_DIRECTORY))
        return FileError("open folder", path, ERROR_DIRECTORY);
    return {};
}

Expected<void> ForEachFolderEntry(const std::string& folder,
                                  const std::function<void(const FolderEntry&)>& visit,
                                  bool* opened) {
    if (folder.empty()) return FileError("open folder", folder, ERROR_PATH_NOT_FOUND);
    DWORD error = ERROR_SUCCESS;
    const auto pattern =
        WidePath(IsSeparator(folder.back()) ? folder + "*" : folder + "\\*", error);
    if (!pattern) return FileError("open folder", folder, CodeOf(error));
    WIN32_FIND_DATAW data{};
    const HANDLE handle =
        FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                         FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        // A drive root has no "." and "..", so an empty one lists nothing.
        if (error == ERROR_FILE_NOT_FOUND) return CheckIsFolder(folder);
        return FileError("open folder", folder, CodeOf(error));
    }
    const FindCloser closer{handle};
    if (opened) *opened = true;
    do {
        const std::string name = Utf8Of(std::wstring_view(data.cFileName));
        if (name == "." || name == "..") continue;
        visit({name, EntryAttributesOf(data.dwFileAttributes)});
    } while (FindNextFileW(handle, &data));
    if (const DWORD ended = GetLastError(); ended != ERROR_NO_MORE_FILES)
        return FileError("list folder", folder, CodeOf(ended));
    return {};
}

Expected<ReadableFile> ReadableFile::Open(const std::string& path) {
    ReadableFile file(path);
    DWORD error = ERROR_SUCCESS;
    const auto wide = WidePath(path, error);
    if (!wide) return file.Error("open", CodeOf(error));
    if (IsDevicePath(*wide)) return FileError("open", path, ERROR_INVALID_FUNCTION, kNotADiskFile);
    const HANDLE handle = CreateFileW(wide->c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return file.Error("open", CodeOf(GetLastError()));
    file.m_handle = reinterpret_cast<std::intptr_t>(handle);
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return FileError("open", path, ERROR_INVALID_FUNCTION, kNotADiskFile);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return file.Error("read", CodeOf(GetLastError()));
    file.m_regular =
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) == 0;
    file.m_size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return Expected<ReadableFile>(std::move(file));
}

ReadableFile::~ReadableFile() {
    if (m_handle != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

// Reads here never ask for what is in memory only: the system cannot tell.
bool ReadableFile::WaitedOnStorage() const {
    return false;
}

bool ReadableFile::ToldWhetherInMemory() const {
    return false;
}

Expected<std::size_t> ReadableFile::Read(char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(m_handle), into + done, wanted, &got, nullptr))
            return Error("read", CodeOf(GetLastError()));
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::string ContainingFolder(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    const std::size_t root = DriveRootLength(path);
    return separator < root ? path.substr(0, root) : path.substr(0, std::max(separator, root));
}

}  // namespace tarnwick
