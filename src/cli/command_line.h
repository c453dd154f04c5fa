#pragma once

#include <QString>
#include <vector>

#include "engine/text_encoding.h"
#include "search/search_run.h"

namespace tarnwick::cli {

// Where entries come from, in the order the command line gives them.
struct EntrySource {
    enum class Kind {
        Path,           // a file or folder entry as it is
        ListFile,       // the lines of a list file
        FolderTree,     // the files of a folder tree with the extensions given
        StandardInput,  // the paths on standard input
    };
    Kind kind;
    QString value;
};

struct Options {
    enum class Action { Search, Help, Version };
    Action action = Action::Search;
    PhraseConditions conditions;
    std::vector<EntrySource> sources;
    // For every folder tree; "*" (every file) when none is given.
    std::vector<QString> extensions;
    CaseMode mode = CaseMode::Sensitive;
    bool nulInput = false;
    bool nulOutput = false;
    bool countOnly = false;
    bool summary = false;
    bool quiet = false;
};

struct ParsedCommandLine {
    Options options;
    // Empty when the command line is valid.
    QString error;
};

ParsedCommandLine ParseCommandLine(const std::vector<QString>& arguments);

}  // namespace tarnwick::cli
