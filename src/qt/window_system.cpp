#include "qt/window_system.h"

#include "qt/xcb_reply.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <xcb/xcb.h>

namespace reloj {

namespace {

// Owned by the compositing manager of each screen, numbered after it.
constexpr const char* kCompositorSelectionPrefix = "_NET_WM_CM_S";
// Newer XWayland servers announce themselves with an extension of this name; older ones (the
// 22.1 of Debian 12) only name their screens' outputs after themselves, XWAYLAND0 and on.
constexpr const char* kXWaylandName = "XWAYLAND";

bool CompositorRuns(xcb_connection_t* connection, int screenNumber) {
    const std::string selection = kCompositorSelectionPrefix + std::to_string(screenNumber);
    const XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(selection.size()), selection.data()),
        nullptr));
    if (!atom) {
        return false;
    }
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

bool IsXWayland(xcb_connection_t* connection) {
    const XcbReply<xcb_query_extension_reply_t> extension(xcb_query_extension_reply(
        connection,
        xcb_query_extension(connection, static_cast<uint16_t>(std::strlen(kXWaylandName)),
                            kXWaylandName),
        nullptr));
    if (extension && extension->present != 0) {
        return true;
    }
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [](const QScreen* screen) {
        return screen->name().startsWith(QLatin1String(kXWaylandName));
    });
}

} // namespace

WindowSystem ProbeWindowSystem() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return {};
    }
    // The screen the display's name asks for, as Qt itself took it.
    char* host = nullptr;
    int displayNumber = 0;
    int screenNumber = 0;
    if (xcb_parse_display(nullptr, &host, &displayNumber, &screenNumber) == 0) {
        screenNumber = 0;
    }
    std::free(host);
    return {CompositorRuns(x11->connection(), screenNumber), IsXWayland(x11->connection())};
}

} // namespace reloj
