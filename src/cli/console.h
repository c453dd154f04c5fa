#pragma once

#include <QString>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/expected.h"

namespace tarnwick::cli {

enum class Stream { Output, Error };

// The program's arguments after its name, as they were given: on POSIX the
// bytes of each cross as a path's do, on Windows the wide command line.
std::vector<QString> CommandLineArguments(int argc, char* argv[]);

// Lets the bytes written and read pass unchanged, without any translation
// of line ends.
void PrepareStandardStreams();

// Writes text to stream, the bytes of the paths in it unchanged: on POSIX
// the bytes it stands for; on Windows wide text on a console, UTF-8
// elsewhere. Standard output is buffered until Flush.
void Write(Stream stream, const QString& text);
// Fails when anything written to stream since the start was lost, as on a
// full disk.
[[nodiscard]] Expected<void> Flush(Stream stream);

bool IsTerminal(Stream stream);
// The C stream that stream writes through.
std::FILE* FileOf(Stream stream);
// The width in columns of the terminal that standard error writes to; 0
// when it is not known.
int TerminalColumns();

// The whole of standard input.
Expected<std::string> ReadStandardInput();

// From now on an interrupt from the keyboard (Ctrl-C) ends the process at
// once with exitCode, without waiting for any thread, not even one held in
// a read that never answers; while erasing is on, eraseText goes to
// standard error first. Called before any other thread starts.
void EndAtOnceOnInterrupt(int exitCode, const std::string& eraseText);
void SetEraseOnInterrupt(bool erase);

// What an interrupt does, for each system's handler: set before the handler
// can run, but whether to erase, which changes as the run goes.
struct InterruptEnding {
    std::string eraseText;
    int exitCode = 0;
    std::atomic<bool> erase = false;
};
InterruptEnding& Ending();

}  // namespace tarnwick::cli
