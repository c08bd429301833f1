#include "ui/WindowPlacement.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace pavana {

namespace {

// How long the window manager gets to answer a frame request; a manager that claims to
// support it answers at once, so this bounds only a stalled one.
constexpr auto kFrameAnswerLimit = std::chrono::milliseconds(250);
constexpr auto kFramePollInterval = std::chrono::milliseconds(5);

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> Owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const auto reply = Owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool WindowManagerSupports(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t feature) {
    const xcb_atom_t supported = Atom(connection, "_NET_SUPPORTED");
    if (supported == XCB_ATOM_NONE || feature == XCB_ATOM_NONE) return false;
    const auto reply = Owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!reply || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    for (int i = 0; i < count; ++i)
        if (atoms[i] == feature) return true;
    return false;
}

// The window's _NET_FRAME_EXTENTS (left, right, top, bottom), when it has them.
bool ReadFrameExtents(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t extents,
                      std::uint32_t (&values)[4]) {
    const auto reply = Owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16) return false;
    std::memcpy(values, xcb_get_property_value(reply.get()), sizeof values);
    return true;
}

QMargins X11FrameMargins(xcb_connection_t* connection, xcb_window_t window) {
    const auto tree = Owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree) return {};
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    if (extents == XCB_ATOM_NONE || !WindowManagerSupports(connection, tree->root, request)) return {};

    std::uint32_t values[4] = {};
    if (!ReadFrameExtents(connection, window, extents, values)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = request;
        xcb_send_event(connection, 0, tree->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection);
        const auto limit = std::chrono::steady_clock::now() + kFrameAnswerLimit;
        while (!ReadFrameExtents(connection, window, extents, values)) {
            if (std::chrono::steady_clock::now() >= limit) return {};
            std::this_thread::sleep_for(kFramePollInterval);
        }
    }
    return QMargins(int(values[0]), int(values[2]), int(values[1]), int(values[3]));
}

}  // namespace

QMargins ExpectedFrameMargins(QWidget& window) {
    window.winId();
    if (const QWindow* handle = window.windowHandle(); handle != nullptr && !handle->frameMargins().isNull())
        return handle->frameMargins();
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return {};
    const QMargins device = X11FrameMargins(x11->connection(), xcb_window_t(window.winId()));
    const qreal ratio = window.devicePixelRatioF();
    return QMargins(qRound(device.left() / ratio), qRound(device.top() / ratio), qRound(device.right() / ratio),
                    qRound(device.bottom() / ratio));
}

QPoint OuterTopLeft(QWidget& window) {
    const QMargins frame = ExpectedFrameMargins(window);
    return window.geometry().topLeft() - QPoint(frame.left(), frame.top());
}

// The client rectangle is set, not the frame's position: before the window is shown Qt does
// not reliably know the frame, and the client's place is unambiguous.
void MoveOuterTo(QWidget& window, QPoint outerTopLeft) {
    const QMargins frame = ExpectedFrameMargins(window);
    window.setGeometry(QRect(outerTopLeft + QPoint(frame.left(), frame.top()), window.size()));
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QSize outer = window.size().grownBy(ExpectedFrameMargins(window));
    MoveOuterTo(window, QPoint(area.x() + area.width() / 2 - outer.width() / 2,
                               area.y() + area.height() / 2 - outer.height() / 2));
}

}  // namespace pavana
