#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "cli/console.h"
#include "platform/system.h"

namespace tarnwick::cli {

namespace {

// SIGINT is blocked in every thread but this one, which only waits for it:
// a thread held in a read that never answers cannot take the signal and
// leave it pending for good.
void EndOnInterrupt(sigset_t interrupt) {
    int signal = 0;
    while (sigwait(&interrupt, &signal) != 0) {
    }
    if (Ending().erase.load()) {
        static_cast<void>(
            write(STDERR_FILENO, Ending().eraseText.data(), Ending().eraseText.size()));
    }
    _exit(Ending().exitCode);
}

}  // namespace

std::vector<QString> CommandLineArguments(int argc, char* argv[]) {
    std::vector<QString> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(PathFromSystemEncoding(argv[i]));
    }
    return arguments;
}

void PrepareStandardStreams() {
    // Whole blocks to a pipe or a file; a terminal still sees each line.
    static char outputBuffer[1 << 16];
    if (!isatty(STDOUT_FILENO)) {
        std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    }
}

void Write(Stream stream, const QString& text) {
    const std::string bytes = PathToSystemEncoding(text);
    std::fwrite(bytes.data(), 1, bytes.size(), FileOf(stream));
}

bool IsTerminal(Stream stream) {
    return isatty(stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

Expected<std::string> ReadStandardInput() {
    std::string content;
    char block[1 << 16];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, block, sizeof block);
        if (got > 0) {
            content.append(block, static_cast<std::size_t>(got));
        } else if (got == 0) {
            return content;
        } else if (errno != EINTR) {
            const int code = errno;
            return SystemError{code,
                               std::string("Cannot read standard input: ") + std::strerror(code)};
        }
    }
}

void EndAtOnceOnInterrupt(int exitCode, const std::string& eraseText) {
    InterruptEnding& ending = Ending();
    ending.eraseText = eraseText;
    ending.exitCode = exitCode;
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
    std::thread(EndOnInterrupt, interrupt).detach();
}

}  // namespace tarnwick::cli
