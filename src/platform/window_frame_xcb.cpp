#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRect>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/window_frame.h"

namespace tarnwick {

namespace {

// A window manager answers at once in practice; this bounds the wait for one
// that claims to answer and stays silent.
constexpr qint64 kAnswerTimeoutMs = 1000;
constexpr std::chrono::milliseconds kPollInterval(2);

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, FreeReply>;

// Asks until done() holds, for at most kAnswerTimeoutMs; whether it held.
template <typename Condition>
bool WaitFor(Condition done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() >= kAnswerTimeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    const ReplyPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a window property; none when it is not set.
std::vector<uint32_t> Property32(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t property, xcb_atom_t type) {
    constexpr uint32_t kMostValues = 4096;
    const ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, kMostValues),
        nullptr));
    if (!reply || reply->format != 32 || reply->type != type) {
        return {};
    }
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + reply->value_len};
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window) {
    const ReplyPointer<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

bool WindowManagerSupports(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t hint) {
    const std::vector<uint32_t> supported =
        Property32(connection, root, Atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return hint != XCB_ATOM_NONE &&
           std::find(supported.begin(), supported.end(), hint) != supported.end();
}

std::optional<QMargins> AnnouncedFrame(xcb_connection_t* connection, xcb_window_t window,
                                       xcb_atom_t frameExtents) {
    const std::vector<uint32_t> extents =
        Property32(connection, window, frameExtents, XCB_ATOM_CARDINAL);
    if (extents.size() != 4) {
        return std::nullopt;
    }
    // In the order left, right, top, bottom.
    return QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]),
                    static_cast<int>(extents[1]), static_cast<int>(extents[3]));
}

void RequestFrame(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                  xcb_atom_t request) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

// The frame that the window manager has put, or will put, around the window.
QMargins FrameFromWindowManager(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_atom_t frameExtents = Atom(connection, "_NET_FRAME_EXTENTS");
    if (const std::optional<QMargins> known = AnnouncedFrame(connection, window, frameExtents)) {
        return *known;
    }
    const xcb_window_t root = RootOf(connection, window);
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    if (!WindowManagerSupports(connection, root, request)) {
        return {};
    }
    RequestFrame(connection, root, window, request);
    std::optional<QMargins> answer;
    if (!WaitFor([&] {
            answer = AnnouncedFrame(connection, window, frameExtents);
            return answer.has_value();
        })) {
        return {};
    }
    // A window manager may send, before its answer, a notice that puts the
    // window where it would have framed it (openbox does). Taken in now, that
    // notice cannot undo the place the window is given next.
    QGuiApplication::sync();
    return *answer;
}

// The window's place in device pixels as the X server has it now, relative
// to the screen whatever window holds it.
std::optional<QRect> PlaceOnServer(xcb_connection_t* connection, xcb_window_t window) {
    const ReplyPointer<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry) {
        return std::nullopt;
    }
    const ReplyPointer<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, geometry->root, 0, 0), nullptr));
    if (!origin) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

QNativeInterface::QX11Application* X11Interface() {
    // Other platforms, offscreen among them, may offer an X11 interface too.
    return QGuiApplication::platformName() == QLatin1String("xcb")
               ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
               : nullptr;
}

}  // namespace

QMargins WindowFrameMargins(QWidget* window) {
    // Creates the platform window, still hidden, if it does not exist yet.
    const WId id = window->winId();
    const auto* x11 = X11Interface();
    if (!x11) {
        return window->windowHandle()->frameMargins();
    }
    const QMargins devicePixels =
        FrameFromWindowManager(x11->connection(), static_cast<xcb_window_t>(id));
    return devicePixels / window->devicePixelRatio();
}

void PlaceHiddenWindow(QWidget* window, const QRect& place) {
    const auto id = static_cast<xcb_window_t>(window->winId());
    window->windowHandle()->setGeometry(place);
    const auto* x11 = X11Interface();
    if (!x11) {
        return;
    }
    // A window manager carries out the move of a window it does not manage
    // yet when it comes to it. Qt learns of the move from the X server's
    // notice, and asks the server where the window is when it takes the
    // notice in: taken in after the window is shown, it may find the window
    // already in the window manager's frame before that frame is in place
    // (openbox starts it at the screen's corner), and Qt keeps that place.
    // So the notice is taken in now, while the window is not framed yet.
    const qreal ratio = window->devicePixelRatio();
    const QRect devicePlace(place.topLeft() * ratio, place.size() * ratio);
    if (WaitFor([&] { return PlaceOnServer(x11->connection(), id) == devicePlace; })) {
        QGuiApplication::sync();
    }
}

}  // namespace tarnwick
