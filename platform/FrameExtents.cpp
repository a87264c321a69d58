// Frame extents from the X11 window manager, through the connection Qt already holds.
#include "FrameExtents.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

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
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return {};
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    if (request == xcb_atom_t{XCB_ATOM_NONE} || !supported(c, root, request))
        return {}; // the window is not created: the window manager will place its frame
    const auto id = static_cast<xcb_window_t>(window->winId()); // creates the native window
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
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

} // namespace quorvane::platform
