#include "qt/screen_watch.h"

#include "qt/xcb_reply.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace reloj {

namespace {

// The high bit of an event's type says only that another client sent it.
constexpr uint8_t kSentEventBit = 0x80;

PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const PixelRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

} // namespace

ScreenWatch::~ScreenWatch() {
    if (m_filtering && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

std::vector<PixelRect> ScreenWatch::Areas() const {
    std::vector<PixelRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        // Scaling is off: Qt's geometry is in device pixels.
        const QRect g = screen->geometry();
        PixelRect area{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        if (m_filtering) {
            area = Intersection(area, m_rootArea);
        }
        if (!IsEmpty(area)) {
            areas.push_back(area);
        }
    }
    if (areas.empty() && m_filtering && !IsEmpty(m_rootArea)) {
        areas.push_back(m_rootArea);
    }
    return areas;
}

void ScreenWatch::Watch(std::function<void()> changed) {
    m_changed = std::move(changed);
    if (!m_started && m_changed) {
        Start();
    }
}

// Qt's monitors, and the root window's own structure events added to those this connection
// already takes there (setting the mask outright would take away whatever Qt asked for).
void ScreenWatch::Start() {
    m_started = true;
    for (QScreen* screen : QGuiApplication::screens()) {
        Follow(screen);
    }
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &m_connections,
                     [this](QScreen* screen) {
                         Follow(screen);
                         Changed();
                     });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &m_connections,
                     [this] { Changed(); });

    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    m_root = screen->root;
    m_rootArea = {0, 0, screen->width_in_pixels, screen->height_in_pixels};
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, m_root), nullptr));
    if (!attributes) {
        return;
    }
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_filtering = true;
}

void ScreenWatch::Follow(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, &m_connections, [this] { Changed(); });
}

void ScreenWatch::Changed() {
    // A change of monitors arrives as several signals, some while Qt still updates its list of
    // screens: the caller hears of them once, from the event loop, when the list is whole.
    if (m_newsDue) {
        return;
    }
    m_newsDue = true;
    QMetaObject::invokeMethod(
        &m_connections,
        [this] {
            m_newsDue = false;
            if (m_changed) {
                m_changed();
            }
        },
        Qt::QueuedConnection);
}

bool ScreenWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~kSentEventBit) != XCB_CONFIGURE_NOTIFY) {
        return false;
    }
    const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
    if (configure->window == m_root && configure->event == m_root) {
        const PixelRect area{0, 0, configure->width, configure->height};
        if (area != m_rootArea) {
            m_rootArea = area;
            Changed();
        }
    }
    // Qt still handles every event itself.
    return false;
}

} // namespace reloj
