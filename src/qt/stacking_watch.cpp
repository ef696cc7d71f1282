#include "qt/stacking_watch.h"

#include "qt/xcb_reply.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace reloj {

namespace {

// The clock asks on each of its ticks: about once a minute on a quiet desktop.
constexpr int kAskedBeforeRaisingAnyway = 60;
// The high bit of an event's type says only that another client sent it.
constexpr uint8_t kSentEventBit = 0x80;

} // namespace

StackingWatch::~StackingWatch() {
    if (m_watching && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

// Adds the root's structure events to those this connection already takes there: setting the
// mask outright would take away whatever Qt asked for.
bool StackingWatch::Start() {
    m_started = true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return false;
    }
    xcb_connection_t* connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, m_root), nullptr));
    if (!attributes) {
        return false;
    }
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
    QCoreApplication::instance()->installNativeEventFilter(this);
    return true;
}

bool StackingWatch::NeedsRaise(xcb_window_t window) {
    if (!m_started) {
        m_watching = Start();
    }
    const auto entry = m_askedSinceRaise.find(window);
    if (!m_watching || entry == m_askedSinceRaise.end() ||
        entry->second >= kAskedBeforeRaisingAnyway) {
        return true;
    }
    ++entry->second;
    return false;
}

void StackingWatch::Raised(xcb_window_t window) {
    m_askedSinceRaise[window] = 0;
}

bool StackingWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    xcb_window_t reportedOn = 0;
    xcb_window_t changed = 0;
    std::optional<QRect> place;
    switch (event->response_type & ~kSentEventBit) {
    case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        reportedOn = map->event;
        changed = map->window;
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        reportedOn = configure->event;
        changed = configure->window;
        const int border = 2 * configure->border_width;
        place = QRect(configure->x, configure->y, configure->width + border,
                      configure->height + border);
        break;
    }
    case XCB_CIRCULATE_NOTIFY: {
        const auto* circulate = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
        reportedOn = circulate->event;
        changed = circulate->window;
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        reportedOn = reparent->event;
        changed = reparent->window;
        break;
    }
    default:
        return false;
    }
    if (reportedOn != m_root || changed == m_root) {
        return false; // Qt's own: a window's news of itself, or the root's
    }
    // The clock's own windows moving or being raised change nothing it has to answer.
    if (m_askedSinceRaise.count(changed) == 0) {
        m_askedSinceRaise.clear();
        if (m_changed) {
            m_changed(place);
        }
    }
    // News of the root's children comes only because this watch asked for it, and Qt takes a
    // configure notice reported on the root for the root's own: it would ask the X server about
    // every screen again each time any window on the desktop moved, and crash when the server
    // is closing. Such news stops here.
    return true;
}

} // namespace reloj
