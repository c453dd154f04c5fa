#pragma once

#include <QString>

namespace tarnwick::cli {

inline const QString kProgramName = QStringLiteral("tarnwick-cli");
inline const QString kTryHelp = QStringLiteral("Try 'tarnwick-cli --help'.");
// entries, files tested, listed, not text, reported
inline const QString kSummaryFormat =
    QStringLiteral("entries %1, files tested %2, listed %3, not text %4, reported %5");

inline const QString kHelpText = QStringLiteral(
    "Usage: tarnwick-cli [OPTIONS] PHRASE [ENTRY...]\n"
    "       tarnwick-cli [OPTIONS] --lacking P... [--containing P]... [ENTRY...]\n"
    "\n"
    "Lists, one path a line in the order of the entries, the text files among the\n"
    "entries whose contents do not contain PHRASE, as the Tarnwick window lists\n"
    "them. An entry that is a file is tested itself; any other entry is taken as\n"
    "a folder whose files directly inside it are tested. A file whose first five\n"
    "bytes are not all printable characters is not text and never listed.\n"
    "\n"
    "Entries, kept in the order given:\n"
    "  ENTRY               a file or a folder\n"
    "  -                   paths from standard input, one a line (LF or CR LF)\n"
    "  --list FILE         the lines of a list file, as the window loads one: one\n"
    "                      path a line, kept exactly as written\n"
    "  --tree FOLDER       every file under the folder tree with an extension of\n"
    "                      --ext, as \"Add All Files In Folder\" adds them and in\n"
    "                      its order\n"
    "  --ext EXT           an extension for every --tree (txt, doc, ...; * for every\n"
    "                      file, the default); several are added one after another\n"
    "\n"
    "Conditions:\n"
    "  --lacking P         a listed file lacks P (PHRASE is one --lacking)\n"
    "  --containing P      a listed file holds P\n"
    "  -i, --ignore-case   letters that differ only in case are equal (the window's\n"
    "                      \"Match Case\" unticked)\n"
    "\n"
    "Input and output:\n"
    "      --null-data     paths on standard input end with NUL instead of a line end\n"
    "  -0, --null          end each path written with NUL instead of a newline\n"
    "      --count         write only the number of files listed\n"
    "      --summary       at the end, one line on standard error: entries, files\n"
    "                      tested, listed, not text, reported\n"
    "  -q, --quiet         no progress line on standard error\n"
    "  -h, --help          show this help\n"
    "      --version       show the version\n"
    "\n"
    "A file that cannot be read, an entry that is neither a file nor a folder and a\n"
    "list file that cannot be read are reported on standard error, one line each,\n"
    "and the run goes on. On a terminal a progress line shows the entries done and\n"
    "the path being searched. Ctrl-C ends the program at once.\n"
    "\n"
    "Exit status: 0 when at least one file was listed, 1 when none was, 2 when\n"
    "anything was reported or the command line is wrong, 130 after Ctrl-C.\n");

}  // namespace tarnwick::cli
