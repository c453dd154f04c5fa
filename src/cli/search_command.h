#pragma once

#include <QString>
#include <optional>

#include "cli/command_line.h"

namespace tarnwick::cli {

enum ExitStatus {
    kSomeListed = 0,
    kNoneListed = 1,
    kReportedOrWrongUse = 2,
    kInterrupted = 130,
};

// The phrase a search lacks for conditions, as long as the search core
// tests one phrase a run: nothing for any other conditions.
std::optional<QString> SearchedPhrase(const Conditions& conditions);

// Gathers the entries, runs the search over them and writes what it lists;
// gives the exit status.
int RunSearchCommand(const Options& options);

}  // namespace tarnwick::cli
