#include <windows.h>

#include <string>

#include "engine/file_system.h"
#include "platform/open_address.h"

namespace tarnwick {

// The file explorer hands the address to the browser; its own window, if it
// shows one, starts minimized and takes no focus from the program's.
Expected<void> OpenAddress(const QString& address) {
    std::wstring commandLine = L"explorer \"" + address.toStdWString() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        const int code = static_cast<int>(GetLastError());
        return SystemError{code, "Cannot start \"explorer \"" + address.toStdString() +
                                     "\"\": " + DescribeSystemError(code)};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
}

}  // namespace tarnwick
