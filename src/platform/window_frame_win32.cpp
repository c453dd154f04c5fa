#include <QRect>
#include <QWidget>
#include <QWindow>

#include "platform/window_frame.h"

namespace tarnwick {

// Windows tells the frame of a window from its styles, shown or not.
QMargins WindowFrameMargins(QWidget* window) {
    // Creates the platform window, still hidden, if it does not exist yet.
    window->winId();
    return window->windowHandle()->frameMargins();
}

// Windows moves the window and tells Qt of it before the call returns.
void PlaceHiddenWindow(QWidget* window, const QRect& place) {
    // Creates the platform window, still hidden, if it does not exist yet.
    window->winId();
    window->windowHandle()->setGeometry(place);
}

}  // namespace tarnwick
