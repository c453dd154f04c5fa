#pragma once

#include <QString>

namespace tarnwick {

inline const QString kStartCaption = QStringLiteral("Start Searching");
inline const QString kStopCaption = QStringLiteral("Stop");
inline const QString kFileListCaption = QStringLiteral("File(s)");
inline const QString kSearchingEntryPrefix = QStringLiteral("File(s) - Searching: ");
inline const QString kSearchingFolderPrefix = QStringLiteral("Searching ");

inline const QString kNoPhraseText = QStringLiteral("Input search for what phrase");
inline const QString kNoPhraseTitle = QStringLiteral("Message");
inline const QString kNoEntriesText = QStringLiteral("No folders added.");
inline const QString kDoneText = QStringLiteral("Done.");

inline const QString kErrorReportTitle = QStringLiteral("Application Error");
inline const QString kErrorReportPlace = QStringLiteral("in Velmora.Form1.PushButton1_Click ");
inline const QString kErrorReportLine = QStringLiteral("at line ");
inline const QString kErrorReportPlea =
    QStringLiteral("Please email screenshot of this message to ");

}  // namespace tarnwick
