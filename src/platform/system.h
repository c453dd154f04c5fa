#pragma once

#include <QString>
#include <functional>
#include <string>

namespace tarnwick {

// Processes every pending event of the event loop, then returns.
void YieldToEventLoop();

// Yields to the event loop when a few milliseconds passed since it last did:
// for loops over many cheap steps, which stay responsive without paying for
// a yield at every step.
void YieldNowAndThen();

// Runs work on another thread while this thread's event loop keeps running;
// returns once work has finished. For a single call that may block, such as
// flushing a file to disk.
void RunWhileEventsFlow(const std::function<void()>& work);

// Waits for the given time while the event loop runs, so windows stay
// painted and responsive. Elapsed time counts, not the time of day.
void PauseSeconds(double seconds);

// Ends the process at once with exit code 0: no handler, dialog or operation
// still running gets to finish.
[[noreturn]] void EndProcessNow();

// Text in the system's 8-bit encoding, and back.
std::string ToSystemEncoding(const QString& text);
std::string PathToSystemEncoding(const QString& path);
QString PathFromSystemEncoding(const std::string& path);

// The folder that holds the program file, without a trailing separator.
QString ProgramFolder();

// true when the platform can report the path's last-modification time.
bool PathExists(const QString& path);

}  // namespace tarnwick
