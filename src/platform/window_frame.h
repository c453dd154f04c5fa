#pragma once

#include <QMargins>

class QRect;
class QWidget;

namespace tarnwick {

// The widths of the border and title bar that the window system puts around
// a top-level window, known also before the window is first shown: on X11
// the window manager is asked for them (none without a window manager),
// elsewhere the platform's own figure is taken.
QMargins WindowFrameMargins(QWidget* window);

// Gives the hidden window's native window its place and returns once Qt has
// taken in the window system's notice of it, so that, shown next, the window
// is where Qt and assistive technology think it is.
void PlaceHiddenWindow(QWidget* window, const QRect& place);

}  // namespace tarnwick
