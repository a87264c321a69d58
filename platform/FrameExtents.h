// The frame that the window manager draws around a top-level window, known before the window
// is shown, so that a window can be placed by its outer size.
#pragma once

#include <QMargins>

class QWidget;

namespace quorvane::platform {

// The widths of the frame's left, top, right and bottom edges that the window manager will
// draw around `window`. On X11 the window manager is asked before the window is shown
// (_NET_REQUEST_FRAME_EXTENTS) and answers in _NET_FRAME_EXTENTS; without a window manager
// that answers within half a second, on another platform, or offscreen: no frame.
QMargins frameExtents(QWidget* window);

// Moves the window so that its outer frame's top-left corner lands at (left, top) in pixels,
// `frame` being what frameExtents gave. Once the window exists on the display, Qt places its
// client area; before, the window manager places the frame where Qt asks.
void moveFrameTo(QWidget* window, int left, int top, const QMargins& frame);

} // namespace quorvane::platform
