#include "filelist/add_files.h"

#include <QFile>

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
        if (HasBadName(path)) {
            ShowMessage(window, path + QStringLiteral("\r\r") + kBadNameSuffix);
        } else {
            LoadListFile(window, fileList, path);
        }
    }
}

void LoadListFile(QWidget* window, ListView& list, const QString& path) {
    if (!PathExists(path)) {
        ReportListFileProblem(window, path, kFileNotFound);
        return;
    }
    QFile file(path);
    const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError) {
        ReportListFileProblem(window, path,
                              kCannotReadListFile + QStringLiteral(": ") + file.errorString());
        return;
    }
    const std::string_view bytes(content.constData(), static_cast<std::size_t>(content.size()));
    ForEachListFileLine(
        bytes, [&list](std::string_view line) { list.Append(PathFromSystemEncoding(line)); });
}

bool HasBadName(const QString& path) {
    const std::string encoded = PathToSystemEncoding(path);
    return PathFromSystemEncoding(encoded) != path || IsNameRefused(encoded);
}

}  // namespace tarnwick
