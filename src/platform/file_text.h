#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarnwick {

// List entries as the lines of list files and results files hold them: text
// in the system's 8-bit encoding. On POSIX that is the locale's, UTF-8, and
// an entry's bytes cross unchanged, as its path does. On Windows it is the
// ANSI code page, in which a character that the code page lacks is written
// as the system's default character.
std::string EntryToFileText(const QString& entry);
QString EntryFromFileText(std::string_view line);

}  // namespace tarnwick
