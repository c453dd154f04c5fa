#pragma once

#include <string>
#include <string_view>

#include "engine/file_replacement.h"

namespace tarnwick::testing {

// Writes content to path through a replacement; the first failure.
inline Expected<void> Replace(const std::string& path, std::string_view content) {
    Expected<FileReplacement> replacement = FileReplacement::Begin(path);
    if (!replacement) return replacement.Error();
    const Expected<void> written = replacement.Value().Write(content);
    if (!written) return written;
    return replacement.Value().Commit();
}

}  // namespace tarnwick::testing
