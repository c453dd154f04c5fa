// The program folder and dropped paths on Windows: names are UTF-16,
// so nothing is lost on the way, and paths are written with backslashes.
#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include "platform/system.h"

namespace tarnwick {

QString PathOfLocalUrl(const QUrl& url) {
    return QDir::toNativeSeparators(url.toLocalFile());
}

QString ProgramFolder() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

}  // namespace tarnwick
