#pragma once

// The file-system layer: the shared parts are in file_system.cpp, the system
// calls in one source file per operating system.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"

namespace tarnwick {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Paths cross between the file-system layer (std::string) and the lists
// (UTF-16 text) through these two functions only, losslessly both ways:
// PathFromText(PathToText(path)) == path for every path the system gives.
// On Windows the paths are UTF-8 that also carries lone surrogates, so that
// every UTF-16 name converts both ways.
std::u16string PathToText(std::string_view path);
std::string PathFromText(std::u16string_view text);

// The length of the drive root that starts path ("C:\" on Windows), or 0;
// POSIX has no drive roots.
std::size_t DriveRootLength(std::string_view path);

// The error code for which the system would be handed another path than
// the one given, or none at all (a NUL inside it, a path or name longer than
// the system takes), or 0. Such a path is turned away before any lookup.
int PathRefusal(std::string_view path);

enum class PathKind { Missing, RegularFile, Directory, Other };

// What is at path, following symbolic links: Missing when nothing is there
// or the system refuses the path before any look-up. Fails when the look-up
// fails for another reason (a share answering EIO, a folder on the way that
// may not be searched): then nothing is known of the path. Other is what is
// never read as a file: on POSIX a FIFO, socket or device, on Windows a file
// with the system attribute.
Expected<PathKind> QueryPathKind(const std::string& path);

// What a look-up of path that failed with the system's code tells: Missing
// when the code says nothing is there, else the failure "Cannot look up".
Expected<PathKind> FailedLookUp(const std::string& path, int code);

// True when the system refuses the name itself (too long, not a valid
// character sequence), whether or not anything is there.
bool IsNameRefused(const std::string& path);

// The system's own text for an error code, such as "No such file or
// directory".
std::string DescribeSystemError(int code);

// The error of an action on path: "Cannot <action> "<path>": <reason>",
// the reason the system's text for code unless one is given.
SystemError FileError(std::string_view action, const std::string& path, int code);
SystemError FileError(std::string_view action, const std::string& path, int code,
                      std::string_view reason);

// Succeeds when path is a folder; otherwise the error that says why it is
// not, described as a failure to open the folder.
Expected<void> CheckIsFolder(const std::string& path);

// The folder's path as it is shown and joined (trailing separators removed,
// the root kept), or the error that says why path is not a folder.
Expected<std::string> OpenFolder(const std::string& path);

// Full paths of everything directly inside folder that is not a folder, in
// case-insensitive name order; subfolders are not entered. Fails as
// ForEachFolderEntry does.
Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder,
                                                     bool* opened = nullptr);

std::string JoinPath(const std::string& folder, const std::string& name);

// The folder that holds path: "." for a bare name, the root for a name in it.
std::string ContainingFolder(const std::string& path);

std::string WithoutTrailingSeparators(const std::string& path);

// What an entry is in itself: a symbolic link (on Windows any reparse point)
// is reported as a link, never as what it points to. Unreadable when its
// attributes cannot be read.
enum class EntryType { Folder, SymbolicLink, Other, Unreadable };

// Hidden: on POSIX a name that starts with ".", on Windows the hidden
// attribute. System: on POSIX what is neither a regular file, a folder nor a
// link, on Windows the system attribute.
struct EntryAttributes {
    EntryType type = EntryType::Other;
    bool hidden = false;
    bool system = false;
};

struct FolderEntry {
    std::string_view name;
    EntryAttributes attributes;
};

// The attributes of the entry at path itself. Pass a path without trailing
// separators: with one, the system resolves a link to a folder.
EntryAttributes QueryEntryAttributes(const std::string& path);

// Hands every entry of folder except "." and ".." to visit, in the order the
// file system keeps them. The folder is closed before this returns, so a
// caller that walks a tree holds at most one enumeration open. Fails when the
// folder cannot be opened for listing, and when the listing fails midway
// ("Cannot list folder"), so the entries handed over are not all there are;
// opened, when given, tells the two apart.
Expected<void> ForEachFolderEntry(const std::string& folder,
                                  const std::function<void(const FolderEntry&)>& visit,
                                  bool* opened = nullptr);

// Folder listings are shown in this order: case-insensitive, ties broken by
// the bytes, so the order is total and the same on every run.
bool NameLess(std::string_view left, std::string_view right);
void SortByName(std::vector<std::string>& names);

// A character of a code page and the bytes that stand for it: one byte, or
// a lead byte and a trail byte.
struct CodePageCharacter {
    std::string bytes;
    char32_t character = 0;
};

// Every character of the system's text encoding when that is a code page of
// one- and two-byte sequences (the ANSI code page on Windows, unless it is
// UTF-8); nothing when the system's text is UTF-8, as on POSIX.
std::optional<std::vector<CodePageCharacter>> SystemCodePage();

}  // namespace tarnwick
