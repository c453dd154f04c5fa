#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_encoding.h"

namespace tarnwick {

// The bytes of a results file, one entry per line, every line ended by CR
// LF. Where the system's text is a code page, the file is in it when every
// entry has all its characters there, so that programs that read that code
// page read it as ever, and otherwise in UTF-8 behind a byte-order mark;
// where the system's text is UTF-8 (POSIX) the file holds the entries' own
// bytes. Entries are paths in the engine's form.
//
// Rendered in parts: every entry passes through Admit before the first part.
class ResultsFileText {
public:
    explicit ResultsFileText(const TextEncoding& encoding = TextEncoding::System());

    void Admit(std::span<const std::string> entries);
    // True when no entry can change the form any more.
    bool Settled() const { return !m_inCodePage; }

    // What the file starts with: a byte-order mark or nothing.
    std::string_view Start() const;
    std::string Render(std::span<const std::string> entries) const;

private:
    const TextEncoding& m_encoding;
    bool m_inCodePage;
};

// The whole results file at once.
std::string RenderResultsFile(std::span<const std::string> entries,
                              const TextEncoding& encoding = TextEncoding::System());

// One column for pasting into a table, rendered in parts: the width of the
// column is the character count of the longest of all entries; each line is
// an entry padded with blanks to that width, then a TAB and CR LF.
std::size_t ClipboardColumnWidth(std::span<const std::string> entries);
std::string RenderClipboardLines(std::span<const std::string> entries, std::size_t width);

}  // namespace tarnwick
