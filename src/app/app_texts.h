#pragma once

#include <QString>

namespace tarnwick {

inline const QString kWindowCaption = QStringLiteral("Tarnwick");
inline const QString kResultListCaption = QStringLiteral("Results");
inline const QString kPhraseFrameCaption =
    QStringLiteral("Find files that do NOT contain this phrase");
inline const QString kMatchFrameCaption = QStringLiteral("Match Option");
inline const QString kMatchCaseCaption = QStringLiteral("Match Case");
inline const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move bar to right and out of window to reveal full names.");

inline const QString kSkinFile = QStringLiteral("/x/o.cjs");
inline const QString kHandPointerFile = QStringLiteral("/HAND-M.CUR");

}  // namespace tarnwick
