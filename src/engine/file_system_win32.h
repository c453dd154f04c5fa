#pragma once

// The Windows helpers that the file-system layer's Windows sources share;
// internal to the engine.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The engine's UTF-8 (lone surrogates included) of a UTF-16 text; defined
// for wchar_t and char16_t.
template <typename Unit>
std::string Utf8Of(std::basic_string_view<Unit> text);

// The path as the wide API takes it; nothing when the system cannot take it
// (a malformed sequence or a NUL), with the reason in lastError.
std::optional<std::wstring> WidePath(std::string_view path, DWORD& lastError);

// A path the system gave, as it is shown and handed back: without the prefix
// that lifts the length limit, "\\?\C:\a" as "C:\a" and
// "\\?\UNC\server\share\a" as "\\server\share\a".
std::string ShownPath(std::wstring_view systemPath);

// A system error as the engine's errors carry it.
int CodeOf(DWORD error);

struct Attributes {
    DWORD bits = 0;
    DWORD error = ERROR_SUCCESS;
    bool Found() const { return error == ERROR_SUCCESS; }
    bool Has(DWORD bit) const { return (bits & bit) != 0; }
};

// The attributes of the entry at path itself.
Attributes OwnAttributes(const std::string& path);

// The attributes of what path names, following a reparse point to its
// target.
Attributes TargetAttributes(const std::string& path);

inline constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
inline constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";
inline constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

// The form of a path that every call of the wide API takes: an absolute path
// in its extended-length form (\\?\C:\..., \\?\UNC\server\share\...), which
// lifts the limit of 260 characters; a device (CON, COM1, a pipe) in its
// device form \\.\NAME.
std::wstring SystemPath(const std::wstring& path);

// Whether a path in the system's form names a device or a pipe, which is no
// file to read.
bool IsDevicePath(std::wstring_view systemPath);

}  // namespace tarnwick
