#pragma once

#include <string>
#include <vector>

#include "engine/expected.h"

namespace tarnwick {

enum class PathKind { Missing, RegularFile, Directory, Other };

// What is at path, following symbolic links. Never fails: anything that
// cannot be queried is Missing.
PathKind QueryPathKind(const std::string& path);

// True for anything that exists and is not a folder.
bool IsExistingFile(const std::string& path);

// The folder's path as it is shown and joined (trailing separators removed,
// the root kept), or the error that says why path is not a folder.
Expected<std::string> OpenFolder(const std::string& path);

// Full paths of everything directly inside folder that is not a folder, in
// case-insensitive name order; subfolders are not entered.
Expected<std::vector<std::string>> ListFilesInFolder(const std::string& folder);

std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace tarnwick
