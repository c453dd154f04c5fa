#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/content_conditions.h"
#include "engine/expected.h"
#include "engine/file_system.h"

namespace tarnwick {

inline constexpr std::uint64_t kBlockSize = 102400;
inline constexpr std::uint64_t kSingleReadLimit = 51200;

enum class Verdict {
    NotAFile,   // missing or a folder: a search entry then names a folder to open
    NotTested,  // there, but neither a regular file nor a folder
    NonText,    // a byte of the first five is outside 32..126
    Contains,   // not listed: holds a phrase it must lack, or lacks one it must hold
    Lacks,      // listed: lacks every phrase it must lack, holds every one it must hold
    Stopped,    // keepGoing() answered false before a block
};

// The verdict on what a look-up found at a path, unless it is a regular file,
// whose content must be read for one; a failed look-up fails the test.
std::optional<Expected<Verdict>> VerdictWithoutReading(const Expected<PathKind>& kind);

// The verdict on the whole content of a file read in one piece.
Verdict VerdictOnWholeContent(std::string_view content, const ContentConditions& conditions);

// Decides whether the file at path meets the conditions. keepGoing() is asked
// before each block of a file longer than kSingleReadLimit bytes. When
// waitedOnStorage is given, it tells whether a read had to wait for the
// storage because the data was not in memory.
Expected<Verdict> TestFileContent(const std::string& path, const ContentConditions& conditions,
                                  const std::function<bool()>& keepGoing,
                                  bool* waitedOnStorage = nullptr);

}  // namespace tarnwick
