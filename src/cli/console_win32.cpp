#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/console.h"
#include "platform/system.h"

namespace tarnwick::cli {

namespace {

HANDLE HandleOf(Stream stream) {
    return GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Runs on a thread of its own that the system starts; the process ends
// there and then, whatever its other threads wait for.
BOOL WINAPI EndOnInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    if (Ending().erase.load()) {
        DWORD written = 0;
        WriteFile(HandleOf(Stream::Error), Ending().eraseText.data(),
                  static_cast<DWORD>(Ending().eraseText.size()), &written, nullptr);
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(Ending().exitCode));
    return TRUE;
}

}  // namespace

// Qt takes the arguments from the wide command line.
std::vector<QString> CommandLineArguments(int, char*[]) {
    const QStringList arguments = QCoreApplication::arguments();
    return {arguments.cbegin() + (arguments.isEmpty() ? 0 : 1), arguments.cend()};
}

void PrepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void Write(Stream stream, const QString& text) {
    const HANDLE handle = HandleOf(stream);
    if (IsConsole(handle)) {
        std::fflush(FileOf(stream));
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.utf16()),
                      static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = PathToSystemEncoding(text);
    std::fwrite(bytes.data(), 1, bytes.size(), FileOf(stream));
}

bool IsTerminal(Stream stream) {
    return IsConsole(HandleOf(stream));
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(HandleOf(Stream::Error), &info)) {
        return 0;
    }
    return info.dwSize.X;
}

Expected<std::string> ReadStandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string content;
    char block[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, block, sizeof block, &got, nullptr)) {
            const DWORD code = GetLastError();
            // The writer of a pipe closed it: the end of the input.
            if (code == ERROR_BROKEN_PIPE) {
                return content;
            }
            return SystemError{static_cast<int>(code),
                               "Cannot read standard input: error " + std::to_string(code)};
        }
        if (got == 0) {
            return content;
        }
        content.append(block, got);
    }
}

void EndAtOnceOnInterrupt(int exitCode, const std::string& eraseText) {
    InterruptEnding& ending = Ending();
    ending.eraseText = eraseText;
    ending.exitCode = exitCode;
    SetConsoleCtrlHandler(EndOnInterrupt, TRUE);
}

}  // namespace tarnwick::cli
