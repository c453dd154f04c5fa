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

// Gathers the entries, runs the search over them and writes what it lists;
// gives the exit status.
int RunSearchCommand(const Options& options);

}  // namespace tarnwick::cli
