#pragma once

#include <QString>

namespace tarnwick {

inline const QString kRemoveContainingPrompt = QStringLiteral("Remove entries containing: ");
inline const QString kRemoveNotContainingPrompt = QStringLiteral("Remove entries not containing: ");

inline const QString kAddFilesTitle =
    QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files");
inline const QString kAddFilesFilter = QStringLiteral("Text Files (*.txt)|*.txt");
inline const QString kLoadListTitle =
    QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
inline const QString kLoadListFilter = QStringLiteral("All Files (*.*)|*.*|");
inline const QString kListFileFormat =
    QStringLiteral("File should look like:\rC:\\test\\1.txt\rC:\\test\\2.txt\retc.");
inline const QString kBadNameSuffix =
    QStringLiteral("was not added because it has bad characters in the filename.");
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kCannotReadListFile = QStringLiteral("Could not read the list file");

inline const QString kExtensionPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)");
inline const QString kAllExtensions = QStringLiteral("*");
inline const QString kFolderBrowseTitle = QStringLiteral("Please select folder:");
inline const QString kEveryFilePattern = QStringLiteral("*.*");

}  // namespace tarnwick
