#include "filelist/add_files.h"

#include <utility>

#include "engine/file_system.h"
#include "engine/path_text.h"
#include "filelist/file_list_texts.h"
#include "platform/dialogs.h"
#include "platform/list_view.h"
#include "platform/message_box.h"
#include "platform/system.h"

namespace tarnwick {

namespace {

std::vector<QString> SelectedPaths(const QString& selectionText) {
    std::vector<QString> paths;
    for (const std::string& path : SplitSelection(PathToSystemEncoding(selectionText))) {
        paths.push_back(PathFromSystemEncoding(path));
    }
    return paths;
}

void ReportListFileProblem(QWidget* window, const QString& path, const QString& problem) {
    ShowMessage(window, problem + QStringLiteral("\r\r") + path);
}

}  // namespace

void AddFilesByDialog(QWidget* window, ListView& fileList) {
    const QString selection = ChooseFilesToOpen(window, {kAddFilesTitle, kAddFilesFilter});
    for (const QString& path : SelectedPaths(selection)) {
        fileList.Append(path);
    }
}

void AddFilesFromListFiles(QWidget* window, ListView& fileList) {
    ShowMessage(window, kListFileFormat);
    const QString selection = ChooseFilesToOpen(window, {kLoadListTitle, kLoadListFilter});
    for (const QString& path : SelectedPaths(selection)) {
        if (ResultWhileEventsFlow([&] { return HasBadName(path); })) {
            ShowMessage(window, path + QStringLiteral("\r\r") + kBadNameSuffix);
        } else {
            LoadListFile(window, fileList, path);
        }
    }
}

void LoadListFile(QWidget* window, ListView& list, const QString& path) {
    // The look-ups and the read run beside the event loop: a list file on a
    // share that stops answering leaves the window responsive.
    if (!ResultWhileEventsFlow([&] { return PathExists(path); })) {
        ReportListFileProblem(window, path, kFileNotFound);
        return;
    }
    Expected<std::string> content =
        ResultWhileEventsFlow([&] { return ReadListFile(PathToSystemEncoding(path)); });
    if (!content) {
        ShowMessage(window, kCannotReadListFile + QStringLiteral("\r\r") +
                                ErrorDescription(content.Error()));
        return;
    }
    ForEachListFileLine(DecodeListFile(std::move(content.Value())), [&list](std::string_view line) {
        list.Append(PathFromSystemEncoding(line));
    });
}

bool HasBadName(const QString& path) {
    const std::string encoded = PathToSystemEncoding(path);
    return PathFromSystemEncoding(encoded) != path || IsNameRefused(encoded);
}

}  // namespace tarnwick
