#include <QCoreApplication>

#include "cli/cli_texts.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/progress_line.h"
#include "cli/search_command.h"

using namespace tarnwick::cli;

// No widgets: the search core's workers wake this thread through the event
// dispatcher of a QCoreApplication.
int main(int argc, char* argv[]) {
    EndAtOnceOnInterrupt(kInterrupted, ProgressLine::EraseText(TerminalColumns()));
    const QCoreApplication application(argc, argv);
    PrepareStandardStreams();
    const ParsedCommandLine parsed = ParseCommandLine(CommandLineArguments(argc, argv));
    if (!parsed.error.isEmpty()) {
        Write(Stream::Error, kProgramName + QStringLiteral(": ") + parsed.error +
                                 QLatin1Char('\n') + kTryHelp + QLatin1Char('\n'));
        return kReportedOrWrongUse;
    }
    switch (parsed.options.action) {
        case Options::Action::Help:
            Write(Stream::Output, kHelpText);
            return Flush(Stream::Output) ? kSomeListed : kReportedOrWrongUse;
        case Options::Action::Version:
            Write(Stream::Output, kProgramName + QStringLiteral(" " TARNWICK_VERSION "\n"));
            return Flush(Stream::Output) ? kSomeListed : kReportedOrWrongUse;
        case Options::Action::Search:
            break;
    }
    return RunSearchCommand(parsed.options);
}
