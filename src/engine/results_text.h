#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// One entry per line, every line ended by CR LF; no entries give no bytes.
std::string RenderResultsFile(const std::vector<std::string>& entries);

// One column for pasting into a table: each entry padded with blanks to the
// character count of the longest entry, then a TAB and CR LF.
std::string RenderClipboardText(const std::vector<std::string>& entries);

}  // namespace tarnwick
