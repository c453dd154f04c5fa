#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarnwick {

// One entry per line, every line ended by CR LF; no entries give no bytes.
std::string RenderResultsFile(std::span<const std::string> entries);

// One column for pasting into a table: each entry padded with blanks to the
// character count of the longest entry, then a TAB and CR LF.
std::string RenderClipboardText(std::span<const std::string> entries);

// The same in parts: the width of the column over every entry, and the
// lines of some of the entries padded to that width.
std::size_t ClipboardColumnWidth(std::span<const std::string> entries);
std::string RenderClipboardLines(std::span<const std::string> entries, std::size_t width);

}  // namespace tarnwick
