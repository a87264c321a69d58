// What the program asks of the X11 window manager: the frame it draws around a window, known
// before the window is shown, so that a window can be placed by its outer size; a dialog's
// frame; and closing another program's windows as a user would. On another platform these
// ask nothing.
#pragma once

#include <QMargins>
#include <QtGlobal>

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

// Each time `dialog` is shown, asks for a dialog's frame: a title bar with a close button and
// the window menu, no minimise, maximise or resizing (_MOTIF_WM_HINTS), and no taskbar entry
// (_NET_WM_STATE_SKIP_TASKBAR). (Openbox keeps a minimise button on every dialog whatever the
// hints say; other window managers follow them.)
void frameAsDialog(QWidget* dialog);

// Asks every top-level window of process `pid` to close (WM_DELETE_WINDOW), as its close
// button would; false when there is no X11 connection or the process has no window.
bool closeWindowsOf(qint64 pid);

} // namespace quorvane::platform
