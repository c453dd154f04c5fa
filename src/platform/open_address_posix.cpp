#include <QDesktopServices>
#include <QUrl>
#include <cerrno>

#include "platform/open_address.h"

namespace tarnwick {

Expected<void> OpenAddress(const QString& address) {
    if (!QDesktopServices::openUrl(QUrl(address))) {
        return SystemError{ENOENT, "Cannot open \"" + address.toStdString() +
                                       "\": no program of the desktop opens it"};
    }
    return {};
}

}  // namespace tarnwick
