#include "qt/window_manager_hints.h"

#include "qt/xcb_reply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace reloj {

namespace {

// _NET_WM_DESKTOP's value for a window on every workspace.
constexpr uint32_t kEveryWorkspace = 0xFFFFFFFF;
// _NET_WM_STATE's actions, and the source a request names: an ordinary application.
constexpr uint32_t kStateRemove = 0;
constexpr uint32_t kStateAdd = 1;
constexpr uint32_t kSourceApplication = 1;
// The high bit of an event's type says only that another client sent it.
constexpr uint8_t kSentEventBit = 0x80;
constexpr uint32_t kLongestStateList = 64;

enum AtomName {
    kWmState,
    kNetWmState,
    kSkipTaskbar,
    kSkipPager,
    kSticky,
    kAbove,
    kDemandsAttention,
    kNetWmDesktop,
    kWindowType,
    kUtilityType,
    kNormalType,
    kAtomCount
};

constexpr std::array<const char*, kAtomCount> kAtomNames = {
    "WM_STATE",
    "_NET_WM_STATE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_DEMANDS_ATTENTION",
    "_NET_WM_DESKTOP",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_NORMAL",
};

// The states a clock window asks for, in pairs as one request carries two.
constexpr std::array<AtomName, 4> kWantedStates = {kSkipTaskbar, kSkipPager, kSticky, kAbove};

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

// Interned once, on first use; none are known without an X connection.
const std::array<xcb_atom_t, kAtomCount>& Atoms(xcb_connection_t* connection) {
    static const std::array<xcb_atom_t, kAtomCount> atoms = [connection] {
        std::array<xcb_intern_atom_cookie_t, kAtomCount> asked{};
        for (std::size_t i = 0; i < kAtomCount; ++i) {
            asked[i] = xcb_intern_atom(
                connection, 0, static_cast<uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
        }
        std::array<xcb_atom_t, kAtomCount> interned{};
        for (std::size_t i = 0; i < kAtomCount; ++i) {
            const XcbReply<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(connection, asked[i], nullptr));
            interned[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        }
        return interned;
    }();
    return atoms;
}

std::vector<xcb_atom_t> AtomList(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t property) {
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, kLongestStateList),
        nullptr));
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) {
        return {};
    }
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t)};
}

void SetAtomList(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                 const std::vector<xcb_atom_t>& atoms) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
}

bool Managed(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t wmState) {
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, wmState, wmState, 0, 1), nullptr));
    return reply && reply->value_len > 0;
}

// A request to the window manager about a mapped window, as EWMH has clients send them.
void SendToManager(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type,
                   const std::array<uint32_t, 5>& data) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.begin(), data.end(), message.data.data32);
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

} // namespace

ClockWindowHints& ClockWindowHints::Instance() {
    static ClockWindowHints hints;
    static const bool installed = [] {
        QCoreApplication::instance()->installNativeEventFilter(&hints);
        return true;
    }();
    (void)installed;
    return hints;
}

void ClockWindowHints::Prepare(QWidget& window, bool owned) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return;
    }
    const auto& atoms = Atoms(connection);
    const auto id = static_cast<xcb_window_t>(window.winId());
    // Qt writes its own states (above, stays on top) when it maps the window and keeps those
    // it finds there.
    std::vector<xcb_atom_t> states = AtomList(connection, id, atoms[kNetWmState]);
    for (AtomName wanted : kWantedStates) {
        if (std::find(states.begin(), states.end(), atoms[wanted]) == states.end()) {
            states.push_back(atoms[wanted]);
        }
    }
    SetAtomList(connection, id, atoms[kNetWmState], states);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[kNetWmDesktop],
                        XCB_ATOM_CARDINAL, 32, 1, &kEveryWorkspace);
    if (owned) {
        // KWin hides a utility window while the window it belongs to is not active, and the
        // dots never are: the hands would never show. Without the utility type Qt's list
        // still says what a frameless window is (no frame, a normal window).
        std::vector<xcb_atom_t> types = AtomList(connection, id, atoms[kWindowType]);
        std::erase(types, atoms[kUtilityType]);
        if (types.empty()) {
            types.push_back(atoms[kNormalType]);
        }
        SetAtomList(connection, id, atoms[kWindowType], types);
    }
    m_followed.try_emplace(id);
}

void ClockWindowHints::StateChanged(xcb_window_t window) {
    xcb_connection_t* connection = Connection();
    const auto& atoms = Atoms(connection);
    if (!Managed(connection, window, atoms[kWmState])) {
        return;
    }
    const std::vector<xcb_atom_t> states = AtomList(connection, window, atoms[kNetWmState]);
    const auto has = [&](AtomName name) {
        return std::find(states.begin(), states.end(), atoms[name]) != states.end();
    };
    Followed& followed = m_followed[window];
    if (has(kDemandsAttention) && !followed.demandedAttention) {
        SendToManager(connection, window, atoms[kNetWmState],
                      {kStateRemove, atoms[kDemandsAttention], 0, kSourceApplication, 0});
    }
    followed.demandedAttention = has(kDemandsAttention);
    // Some managers read a window's states only from requests once they manage it. Asked once:
    // a manager that cannot keep a state would otherwise be asked for ever.
    if (!followed.askedOnceManaged) {
        followed.askedOnceManaged = true;
        for (std::size_t i = 0; i < kWantedStates.size(); i += 2) {
            const AtomName first = kWantedStates[i];
            const AtomName second = kWantedStates[i + 1];
            if (!has(first) || !has(second)) {
                SendToManager(connection, window, atoms[kNetWmState],
                              {kStateAdd, atoms[first], atoms[second], kSourceApplication, 0});
            }
        }
        SendToManager(connection, window, atoms[kNetWmDesktop],
                      {kEveryWorkspace, kSourceApplication, 0, 0, 0});
    }
    xcb_flush(connection);
}

bool ClockWindowHints::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_followed.empty()) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~kSentEventBit) != XCB_PROPERTY_NOTIFY) {
        return false;
    }
    const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (!m_followed.contains(property->window)) {
        return false;
    }
    const auto& atoms = Atoms(Connection());
    if (property->atom == atoms[kNetWmState] || property->atom == atoms[kWmState]) {
        StateChanged(property->window);
    }
    // Qt follows the same properties for its own purposes.
    return false;
}

} // namespace reloj
