#pragma once

// What the Windows file-system layer hands the system, for its tests.

#include <string>
#include <string_view>

namespace tarnwick {

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
