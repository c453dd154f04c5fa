#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "engine/file_system.h"
#include "system_files.h"

namespace tarnwick::test {

bool MakeSystemFile(const QString& path) {
    const std::wstring name = path.toStdWString();
    const HANDLE file =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_SYSTEM) != 0;
}

QByteArray FileTextOf(const QString& text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = static_cast<int>(text.size());
    QByteArray bytes(WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), static_cast<int>(bytes.size()),
                        nullptr, nullptr);
    return bytes;
}

QByteArray Utf8FileTextOf(const QString& text) {
    return "\xEF\xBB\xBF" + text.toUtf8();
}

std::string NoSuchFolderReason() {
    return DescribeSystemError(ERROR_PATH_NOT_FOUND);
}

namespace {

constexpr UINT kKilledExitCode = 137;

void TerminateThisProcess() {
    TerminateProcess(GetCurrentProcess(), kKilledExitCode);
    std::abort();
}

bool WasTerminated(int exitStatus) {
    return exitStatus == kKilledExitCode;
}

}  // namespace

std::vector<OutsideEnd> OutsideEnds() {
    return {{"termination", TerminateThisProcess, WasTerminated}};
}

// Windows lends a test no disk of its own to fill.
SmallDisk::SmallDisk(const QString& folder) : m_folder(folder) {}

SmallDisk::~SmallDisk() = default;

struct OpenRefusal::Held {
    HANDLE file = INVALID_HANDLE_VALUE;
};

OpenRefusal::OpenRefusal() : m_held(std::make_unique<Held>()) {}

OpenRefusal::~OpenRefusal() {
    Lift();
}

void OpenRefusal::Refuse(const QString& path) {
    Lift();
    m_held->file = CreateFileW(path.toStdWString().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
    EXPECT_NE(m_held->file, INVALID_HANDLE_VALUE) << path.toStdString();
}

void OpenRefusal::Lift() {
    if (m_held->file != INVALID_HANDLE_VALUE)
        CloseHandle(std::exchange(m_held->file, INVALID_HANDLE_VALUE));
}

std::string OpenRefusal::Reason() {
    return DescribeSystemError(ERROR_SHARING_VIOLATION);
}

}  // namespace tarnwick::test
