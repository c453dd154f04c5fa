#pragma once

#include <QDir>
#include <QString>

namespace tarnwick {

inline const QString kWindowCaption = QStringLiteral("Tarnwick");
inline const QString kResultListCaption = QStringLiteral("Results");
inline const QString kPhraseFrameCaption =
    QStringLiteral("Find files that do NOT contain this phrase");
inline const QString kMatchFrameCaption = QStringLiteral("Match Option");
inline const QString kMatchCaseCaption = QStringLiteral("Match Case");
inline const QString kAddFilesCaption = QStringLiteral("Add Files To Search");
inline const QString kAddFolderCaption = QStringLiteral("Add All Files In Folder");
inline const QString kLoadListCaption = QStringLiteral("Load List Of Files From File");
inline const QString kClearFileListCaption = QStringLiteral("Clear File List");
inline const QString kRemoveContainingCaption = QStringLiteral("Remove Filenames Containing X");
inline const QString kRemoveNotContainingCaption = QStringLiteral("Remove Filenames Not Cont. X");
inline const QString kSaveResultsCaption = QStringLiteral("Save Results As Text File");
inline const QString kCopyResultsCaption = QStringLiteral("Copy Results To Clipboard");
inline const QString kDeleteContainingCaption = QStringLiteral("Delete Results Containing X");
inline const QString kDeleteNotContainingCaption = QStringLiteral("Delete Results Not Cont. X");
inline const QString kClearResultsCaption = QStringLiteral("Clear Results");
inline const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move bar to right and out of window to reveal full names.");

inline const QString kHideSplashCaption = QStringLiteral("Hide this at next startup");

// Optional files in the program folder, with the system's separators.
inline const QString kSkinFile = QDir::toNativeSeparators(QStringLiteral("/x/o.cjs"));
inline const QString kHandPointerFile = QDir::toNativeSeparators(QStringLiteral("/HAND-M.CUR"));
inline const QString kIconFolder = QStringLiteral(":/icons");

}  // namespace tarnwick
