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

}  // namespace tarnwick
