#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarnwick {

// One entry per line, every line ended by CR LF; no entries give no bytes.
std::string RenderResultsFile(std::span<const std::string> entries);

// One column for pasting into a table, rendered in parts: the width of the
// column is the character count of the longest of all entries; each line is
// an entry padded with blanks to that width, then a TAB and CR LF.
std::size_t ClipboardColumnWidth(std::span<const std::string> entries);
std::string RenderClipboardLines(std::span<const std::string> entries, std::size_t width);

}  // namespace tarnwick
