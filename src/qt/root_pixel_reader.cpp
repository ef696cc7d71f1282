#include "qt/root_pixel_reader.h"

#include "core/colour.h"
#include "qt/xcb_reply.h"

#include <algorithm>
#include <utility>

namespace reloj {

namespace {

// A true-colour screen of depth 24 stores a pixel as blue, green, red and a spare byte.
constexpr uint8_t kTrueColourDepth = 24;
constexpr int kBytesPerPixel = 4;
// The high bit of an event's type says only that another client sent it.
constexpr uint8_t kSentEventBit = 0x80;
constexpr uint32_t kDamageMajor = 1;
constexpr uint32_t kDamageMinor = 1;
// Regions, to fetch what was drawn, came with XFixes 2.
constexpr uint32_t kXFixesMajor = 2;
constexpr uint32_t kXFixesMinor = 0;

bool Inside(const PixelPoint& p, const xcb_rectangle_t& r) {
    return p.x >= r.x && p.y >= r.y && p.x < r.x + r.width && p.y < r.y + r.height;
}

} // namespace

RootPixelReader::~RootPixelReader() {
    m_reports.reset();
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

// The connection is opened on the first read or watch, so a clock with a chosen colour never
// opens it. It is not Qt's: Qt's reader thread would wake for every answer and every report,
// and wake the clock in turn; here only a report that may matter costs the clock any work.
bool RootPixelReader::Connect() {
    if (m_connection != nullptr || m_failed) {
        return !m_failed;
    }
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection) != 0) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        m_failed = true;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) {
        xcb_screen_next(&screens);
    }
    m_root = screens.data->root;
    if (RootRefusesReads()) {
        m_rootRefused = true;
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        m_failed = true;
        return false;
    }
    WatchDamage();
    return true;
}

// The root's first pixel always lies on the screen, so a refusal of it is no stray point's.
bool RootPixelReader::RootRefusesReads() {
    xcb_generic_error_t* error = nullptr;
    const XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, 0, 0, 1, 1, ~0u), &error));
    const XcbReply<xcb_generic_error_t> refusal(error);
    return refusal && refusal->error_code == XCB_MATCH;
}

bool RootPixelReader::ScreenReadable() {
    Connect();
    return !m_rootRefused;
}

// Damage on the root window covers whatever is drawn on the screen, the windows over it
// included. Reported whenever the bounding box of what was drawn since the last subtraction
// grows.
void RootPixelReader::WatchDamage() {
    const xcb_query_extension_reply_t* damage =
        xcb_get_extension_data(m_connection, &xcb_damage_id);
    const xcb_query_extension_reply_t* xfixes =
        xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (damage == nullptr || damage->present == 0 || xfixes == nullptr || xfixes->present == 0) {
        return;
    }
    const XcbReply<xcb_xfixes_query_version_reply_t> xfixesVersion(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, kXFixesMajor, kXFixesMinor), nullptr));
    const XcbReply<xcb_damage_query_version_reply_t> version(xcb_damage_query_version_reply(
        m_connection, xcb_damage_query_version(m_connection, kDamageMajor, kDamageMinor), nullptr));
    if (!version || !xfixesVersion || xfixesVersion->major_version < kXFixesMajor) {
        return;
    }
    m_drawn = xcb_generate_id(m_connection);
    xcb_xfixes_create_region(m_connection, m_drawn, 0, nullptr);
    m_damage = xcb_generate_id(m_connection);
    xcb_damage_create(m_connection, m_damage, m_root, XCB_DAMAGE_REPORT_LEVEL_BOUNDING_BOX);
    m_damageEvent = static_cast<uint8_t>(damage->first_event + XCB_DAMAGE_NOTIFY);
    xcb_flush(m_connection);
}

void RootPixelReader::Watch(std::vector<PixelPoint> points, std::function<void()> changed) {
    if (points.empty() || !changed) {
        m_watched.clear();
        m_changed = {};
        m_reports.reset();
        return;
    }
    m_watched = std::move(points);
    m_changed = std::move(changed);
    if (!Connect() || m_damage == 0 || m_reports != nullptr) {
        return;
    }
    m_reports = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection),
                                                  QSocketNotifier::Read);
    QObject::connect(m_reports.get(), &QSocketNotifier::activated, [this] { TakeReports(); });
}

bool RootPixelReader::BoxHoldsWatchedPoint(const xcb_rectangle_t& box) const {
    return std::any_of(m_watched.begin(), m_watched.end(),
                       [&](const PixelPoint& p) { return Inside(p, box); });
}

void RootPixelReader::TakeReports() {
    for (;;) {
        bool mayTouch = false;
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(m_connection)}) {
            if ((event->response_type & ~kSentEventBit) == m_damageEvent) {
                const auto* report =
                    reinterpret_cast<const xcb_damage_notify_event_t*>(event.get());
                mayTouch = mayTouch || BoxHoldsWatchedPoint(report->area);
            }
        }
        if (xcb_connection_has_error(m_connection) != 0) {
            // The X server went away: nothing more will come from it.
            m_reports.reset();
            return;
        }
        // Once told, nothing is fetched until the clock has looked: however busy the screen
        // is there, the reports stop while the box stays as it is.
        if (!mayTouch || m_told) {
            return;
        }
        if (DrawnAtWatchedPoint()) {
            m_told = true;
            if (m_changed) {
                m_changed();
            }
            return;
        }
        // Reports that came while the drawn region was awaited wait in the connection's queue,
        // where the socket's notifier does not see them: they are taken in the next round.
    }
}

bool RootPixelReader::DrawnAtWatchedPoint() {
    xcb_damage_subtract(m_connection, m_damage, XCB_NONE, m_drawn);
    const XcbReply<xcb_xfixes_fetch_region_reply_t> drawn(xcb_xfixes_fetch_region_reply(
        m_connection, xcb_xfixes_fetch_region(m_connection, m_drawn), nullptr));
    if (!drawn) {
        return true;
    }
    const xcb_rectangle_t* parts = xcb_xfixes_fetch_region_rectangles(drawn.get());
    const int count = xcb_xfixes_fetch_region_rectangles_length(drawn.get());
    return std::any_of(parts, parts + count,
                       [&](const xcb_rectangle_t& part) { return BoxHoldsWatchedPoint(part); });
}

std::vector<xcb_get_image_cookie_t> RootPixelReader::Ask(const std::vector<PixelPoint>& points) {
    // What is drawn from here on will be reported again.
    if (m_damage != 0) {
        xcb_damage_subtract(m_connection, m_damage, XCB_NONE, XCB_NONE);
        m_told = false;
    }
    std::vector<xcb_get_image_cookie_t> cookies;
    cookies.reserve(points.size());
    for (const PixelPoint& p : points) {
        cookies.push_back(xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root,
                                        static_cast<int16_t>(p.x), static_cast<int16_t>(p.y), 1, 1,
                                        ~0u));
    }
    xcb_flush(m_connection);
    return cookies;
}

std::vector<std::optional<Colour>>
RootPixelReader::Answers(const std::vector<xcb_get_image_cookie_t>& cookies) {
    std::vector<std::optional<Colour>> colours(cookies.size());
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const XcbReply<xcb_get_image_reply_t> reply(
            xcb_get_image_reply(m_connection, cookies[i], nullptr));
        if (!reply) {
            continue;
        }
        if (reply->depth == kTrueColourDepth &&
            xcb_get_image_data_length(reply.get()) >= kBytesPerPixel) {
            const uint8_t* bytes = xcb_get_image_data(reply.get());
            colours[i] = PackColour(bytes[2], bytes[1], bytes[0]);
        }
    }
    return colours;
}

std::vector<std::optional<Colour>> RootPixelReader::Read(const std::vector<PixelPoint>& points) {
    if (!Connect()) {
        return std::vector<std::optional<Colour>>(points.size());
    }
    std::vector<std::optional<Colour>> colours = Answers(Ask(points));
    // A broken connection (the X server went away) answers nothing from now on, at no cost.
    if (xcb_connection_has_error(m_connection) != 0) {
        m_failed = true;
        m_reports.reset();
        colours.assign(points.size(), std::nullopt);
        return colours;
    }
    // Reports that came in while the answers were awaited wait in the connection's queue,
    // where the socket's notifier does not see them.
    if (m_reports != nullptr) {
        TakeReports();
    }
    return colours;
}

} // namespace reloj
