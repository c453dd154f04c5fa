#include <QByteArray>

#include "platform/file_text.h"

namespace tarnwick {

// Qt's 8-bit text on Windows is the ANSI code page.
std::string EntryToFileText(const QString& entry) {
    return entry.toLocal8Bit().toStdString();
}

QString EntryFromFileText(std::string_view line) {
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

}  // namespace tarnwick
