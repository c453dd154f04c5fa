#pragma once

#include <QString>

namespace tarnwick {

// Lines longer than this are shown cut: their first kShownLineHead
// characters, "…", and their last kShownLineTail, which keep the file name or
// the reason that ends the line.
inline constexpr qsizetype kShownLineHead = 4096;
inline constexpr qsizetype kShownLineTail = 256;

// What the window shows of a text, and tells assistive technology: long lines
// cut, and every character that cannot be drawn (a lone surrogate, which
// carries a byte that is not UTF-8, or a NUL) shown as the replacement
// character. Only for display: the data keeps the text as it is.
QString ForDisplay(const QString& text);

}  // namespace tarnwick
