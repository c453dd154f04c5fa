#pragma once

#include <QMargins>

class QWidget;

namespace tarnwick {

// The widths of the border and title bar that the window system puts around
// a top-level window, known also before the window is first shown: on X11
// the window manager is asked for them (none without a window manager),
// elsewhere the platform's own figure is taken.
QMargins WindowFrameMargins(QWidget* window);

}  // namespace tarnwick
