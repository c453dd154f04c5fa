#include <windows.h>

#include <string>

#include "engine/file_system.h"
#include "platform/open_address.h"

namespace tarnwick {

namespace {

// The system's own explorer, by its full path: a command line alone would
// start whatever explorer.exe the program's folder or the current one holds.
std::wstring SystemExplorer() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L"\\explorer.exe";
}

}  // namespace

// The file explorer hands the address to the browser; its own window, if it
// shows one, starts minimized and takes no focus from the program's.
Expected<void> OpenAddress(const QString& address) {
    const std::wstring explorer = SystemExplorer();
    std::wstring commandLine = L"\"" + explorer + L"\" \"" + address.toStdWString() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process{};
    if (explorer.empty() || !CreateProcessW(explorer.c_str(), commandLine.data(), nullptr, nullptr,
                                            FALSE, 0, nullptr, nullptr, &startup, &process)) {
        const int code = explorer.empty() ? ERROR_PATH_NOT_FOUND : static_cast<int>(GetLastError());
        return SystemError{code, "Cannot start \"explorer \"" + address.toStdString() +
                                     "\"\": " + DescribeSystemError(code)};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
}

}  // namespace tarnwick
