#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tree_listing.h"

namespace tarnwick {

// A walk's folder list holding its first folder with a separator appended,
// unless folder ends in one already. A drive root ("C:\") is given a second
// one, which the folders below it carry and the separator repair removes.
std::vector<std::string> NewFolderList(const std::string& folder);

// Appends to folderList every subfolder of the folders already in it (at any
// depth when recurse is set), each as its path, the name and a separator;
// every element of folderList ends in a separator. The tree is walked level
// by level with one folder enumeration open at a time; within a folder,
// subfolders come in name order. Hidden and system folders, links to folders
// (on Windows every reparse point) and folders that cannot be listed, or
// whose listing fails midway, are left out; a name is taken as the bytes it
// is, UTF-8 or not.
// yield is called when a folder's enumeration starts, before each entry and
// before each folder appended.
void CollectSubfolders(std::vector<std::string>& folderList, bool recurse,
                       const std::function<void()>& yield);

// Names of the entries directly in folderPath that are not folders (hidden
// and system ones included, links to folders and dangling links left out)
// and match pattern, in name order. A folder that cannot be listed, or whose
// listing fails midway, gives no names.
std::vector<std::string> ListFiles(const std::string& folderPath, std::string_view pattern);

// Wildcard match that ignores letter case: "*" matches any run of
// characters, "?" exactly one, and a trailing ".*" also matches the end of a
// name, so "*.*" matches names without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The pattern of the files with an extension, the extension taken as typed:
// "*." and the extension, so that "*" matches every file.
std::string ExtensionPattern(std::string_view extension);

// How a walk of a folder tree joins a listed folder and a file's name.
enum class TreeJoining {
    Repaired,  // with the separator repair, as when a folder is added by its tree
    AsIs,
};

// The files of the folder tree at folder whose names match pattern and do
// not start with "~", folder by folder in the order of CollectSubfolders,
// each folder's in name order: found is called, on the calling thread, with
// the paths of every folder that has any. Each folder is listed once, by
// the threads that pace sets.
void WalkFolderTree(const std::string& folder, std::string_view pattern, TreeJoining joining,
                    const std::function<void(std::vector<std::string>&& paths)>& found,
                    const ListingPace& pace = {});

// Whether a dropped path is walked as a folder: a real folder (not a link to
// one) that is neither hidden nor system and, when the path ends in a
// separator, holds an entry that is neither. A root needs only the entry.
bool IsDroppedFolder(const std::string& path);

}  // namespace tarnwick
