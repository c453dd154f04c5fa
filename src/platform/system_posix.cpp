// The program folder and dropped paths on POSIX systems, whose names are
// bytes.
#include <QCoreApplication>
#include <QUrl>

#include "platform/system.h"

namespace tarnwick {

QString PathOfLocalUrl(const QUrl& url) {
    if (!url.host().isEmpty()) {
        return RecoverLossyPath(url.toLocalFile());
    }
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // A source that lost the bytes itself sends U+FFFD for them.
    return RecoverLossyPath(
        PathFromSystemEncoding(std::string_view(bytes.constData(), bytes.size())));
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

}  // namespace tarnwick
