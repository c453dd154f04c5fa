#pragma once

#include <QString>

class QWidget;

namespace tarnwick {

inline const QString kApplicationTitle = QStringLiteral("Tarnwick");

enum class MessageIcon { None, Exclamation };

// Shows a modal box with an OK button and waits until it is closed. Carriage
// returns in text are shown as line breaks.
void ShowMessage(QWidget* parent, const QString& text, const QString& title = kApplicationTitle,
                 MessageIcon icon = MessageIcon::None);

// text with every CR LF pair and every lone CR turned into a line feed.
QString CarriageReturnsAsLineBreaks(const QString& text);

}  // namespace tarnwick
