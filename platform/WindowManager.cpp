// Requests to the X11 window manager, through the connection Qt already holds.
#include "WindowManager.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace quorvane::platform {
namespace {

using Reply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

Reply property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
               std::uint32_t length) {
    const auto cookie = xcb_get_property(c, 0, window, name, type, 0, length);
    return Reply(xcb_get_property_reply(c, cookie, nullptr), &std::free);
}

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// A client message of 32-bit values to `to`, about `window`, as EWMH and ICCCM send them.
void sendMessage(xcb_connection_t* c, xcb_window_t to, xcb_window_t window, xcb_atom_t type,
                 std::array<std::uint32_t, 5> data) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    const std::uint32_t mask =
        to == window ? XCB_EVENT_MASK_NO_EVENT
                     : XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_send_event(c, 0, to, mask, reinterpret_cast<const char*>(&message));
}

// MWM_HINTS: which of functions and decorations the window asks for, as Motif numbers them.
constexpr std::uint32_t kMwmHintsFunctions = 1, kMwmHintsDecorations = 2;
constexpr std::uint32_t kMwmFunctionMove = 4, kMwmFunctionClose = 32;
constexpr std::uint32_t kMwmDecorBorder = 2, kMwmDecorTitle = 8, kMwmDecorMenu = 16;
constexpr std::uint32_t kNetWmStateAdd = 1;

void askForDialogFrame(QWidget* dialog) {
    xcb_connection_t* c = connection();
    if (!c || !dialog->isVisible())
        return;
    const auto id = static_cast<xcb_window_t>(dialog->winId());
    const std::array<std::uint32_t, 5> hints = {
        kMwmHintsFunctions | kMwmHintsDecorations, kMwmFunctionMove | kMwmFunctionClose,
        kMwmDecorBorder | kMwmDecorTitle | kMwmDecorMenu, 0, 0};
    const xcb_atom_t motif = atom(c, "_MOTIF_WM_HINTS");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, motif, motif, 32, hints.size(), hints.data());
    // The window is mapped: its state is asked of the window manager, not written.
    sendMessage(c, rootOf(c), id, atom(c, "_NET_WM_STATE"),
                {kNetWmStateAdd, atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), 0, 1, 0});
    xcb_flush(c);
}

// Asks for a dialog's frame once the dialog is on screen: Qt writes its own hints when it
// maps a window, after the show event.
class DialogFrame : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* dialog = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, dialog, [dialog] { askForDialogFrame(dialog); });
        }
        return false;
    }
};

// Whether the window manager lists the request among what it supports (_NET_SUPPORTED).
bool supported(xcb_connection_t* c, xcb_window_t root, xcb_atom_t request) {
    const Reply atoms = property(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    if (!atoms || atoms->format != 32)
        return false;
    const auto* list = static_cast<const xcb_atom_t*>(xcb_get_property_value(atoms.get()));
    const int count = xcb_get_property_value_length(atoms.get()) / 4;
    for (int i = 0; i < count; ++i)
        if (list[i] == request)
            return true;
    return false;
}

} // namespace

QMargins frameExtents(QWidget* window) {
    xcb_connection_t* c = connection();
    if (!c)
        return {};
    const xcb_window_t root = rootOf(c);
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    if (request == xcb_atom_t{XCB_ATOM_NONE} || !supported(c, root, request))
        return {}; // the window is not created: the window manager will place its frame
    const auto id = static_cast<xcb_window_t>(window->winId()); // creates the native window
    sendMessage(c, root, id, request, {});
    xcb_flush(c);
    // The answer is a property on our window: left, right, top, bottom.
    for (QDeadlineTimer deadline(500); !deadline.hasExpired(); QThread::msleep(5)) {
        const Reply reply = property(c, id, extents, XCB_ATOM_CARDINAL, 4);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) == 16) {
            const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
            return QMargins(static_cast<int>(e[0]), static_cast<int>(e[2]), static_cast<int>(e[1]),
                            static_cast<int>(e[3]));
        }
    }
    return {};
}

void moveFrameTo(QWidget* window, int left, int top, const QMargins& frame) {
    if (window->testAttribute(Qt::WA_WState_Created))
        window->move(left + frame.left(), top + frame.top());
    else
        window->move(left, top);
}

void frameAsDialog(QWidget* dialog) {
    dialog->installEventFilter(new DialogFrame(dialog));
}

bool closeWindowsOf(qint64 pid) {
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    // The window manager's list of the windows it manages (their client windows).
    const Reply clients =
        property(c, rootOf(c), atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    if (!clients || clients->format != 32)
        return false;
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(clients.get()));
    bool asked = false;
    for (int i = 0; i < xcb_get_property_value_length(clients.get()) / 4; ++i) {
        const Reply owner = property(c, windows[i], pidAtom, XCB_ATOM_CARDINAL, 1);
        if (!owner || xcb_get_property_value_length(owner.get()) != 4 ||
            *static_cast<const std::uint32_t*>(xcb_get_property_value(owner.get())) != pid)
            continue;
        sendMessage(c, windows[i], windows[i], protocols,
                    {deleteWindow, XCB_CURRENT_TIME, 0, 0, 0});
        asked = true;
    }
    xcb_flush(c);
    return asked;
}

} // namespace quorvane::platform
