#pragma once

#include <QString>

namespace tarnwick {

inline const QString kSaveTitle = QStringLiteral("Save");
inline const QString kSaveFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
inline const QString kOverwriteQuestion = QStringLiteral("Are you sure you wish to overwrite %1 ?");
inline const QString kCannotSave = QStringLiteral("The results could not be saved.");
inline const QString kCannotCopy =
    QStringLiteral("The results could not be copied to the clipboard.");
inline const QString kClipboardTooLarge =
    QStringLiteral("The text to copy would take up to %1 bytes, more than the %2 it may take.");
inline const QString kCopiedMessage = QStringLiteral(
    "Results have been copied to the clipboard.\r\rClick a text area where you normally type "
    "and press Ctrl+V to paste the clipboard.");

}  // namespace tarnwick
