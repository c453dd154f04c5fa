#include "platform/message_box.h"

#include <QMessageBox>

#include "platform/display_text.h"

namespace tarnwick {

QString CarriageReturnsAsLineBreaks(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

void ShowMessage(QWidget* parent, const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    title, ForDisplay(CarriageReturnsAsLineBreaks(text)), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace tarnwick
