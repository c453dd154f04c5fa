// The explorer-style open dialog of Windows, which, unlike the one Qt shows
// there, takes typed names of files and folders that do not exist.
#include <windows.h>
// commdlg.h needs windows.h first.
#include <commdlg.h>

#include <QGuiApplication>
#include <QWidget>
#include <vector>

#include "platform/system_dialogs.h"

namespace tarnwick {

namespace {

// Room for a selection of thousands of files in a folder of any length.
constexpr DWORD kSelectionCapacity = 1 << 20;

// "Description|pattern|..." as the dialog takes it: NUL-separated, ended by
// two NULs.
std::wstring SystemFilter(const QString& filter) {
    std::wstring pairs = filter.toStdWString();
    if (!pairs.empty() && pairs.back() != L'|') pairs += L'|';
    for (wchar_t& c : pairs) {
        if (c == L'|') c = L'\0';
    }
    return pairs + L'\0';
}

// The dialog's text holds one path, or a folder and names, each ended by a
// NUL and the whole by a second one.
QString SelectionText(const std::vector<wchar_t>& buffer) {
    std::size_t end = 0;
    while (end + 1 < buffer.size() && !(buffer[end] == L'\0' && buffer[end + 1] == L'\0')) ++end;
    return QString::fromWCharArray(buffer.data(), static_cast<qsizetype>(end));
}

}  // namespace

std::optional<QString> SystemOpenDialog(QWidget* parent, const FileDialogRequest& request) {
    if (QGuiApplication::platformName() != QStringLiteral("windows")) return std::nullopt;
    const std::wstring filter = SystemFilter(request.filter);
    const std::wstring title = request.title.toStdWString();
    std::vector<wchar_t> buffer(kSelectionCapacity, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kSelectionCapacity;
    dialog.lpstrTitle = title.c_str();
    // No demand that files or folders exist; the current folder of the
    // process, against which the search resolves relative paths, stays.
    dialog.Flags =
        OFN_READONLY | OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return QString();
    return SelectionText(buffer);
}

}  // namespace tarnwick
