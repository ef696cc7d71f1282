#include "qt/root_pixel_reader.h"

#include "qt/xcb_reply.h"

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

} // namespace

RootPixelReader::~RootPixelReader() {
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

// The connection is opened on the first read, so a clock with a chosen colour never opens it.
// It is not Qt's: Qt's reader thread would wake for every answer and every report, and wake the
// clock in turn; here the reports wait in the socket until the next read takes them.
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
// included. Reported once when it starts to accumulate, until the next read takes it away.
void RootPixelReader::WatchDamage() {
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(m_connection, &xcb_damage_id);
    if (extension == nullptr || extension->present == 0) {
        return;
    }
    const XcbReply<xcb_damage_query_version_reply_t> version(xcb_damage_query_version_reply(
        m_connection, xcb_damage_query_version(m_connection, kDamageMajor, kDamageMinor), nullptr));
    if (!version) {
        return;
    }
    m_damage = xcb_generate_id(m_connection);
    xcb_damage_create(m_connection, m_damage, m_root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    m_damageEvent = static_cast<uint8_t>(extension->first_event + XCB_DAMAGE_NOTIFY);
}

bool RootPixelReader::ScreenChanged() {
    if (m_damage == 0) {
        return true;
    }
    bool changed = false;
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(m_connection)}) {
        changed = changed || (event->response_type & ~kSentEventBit) == m_damageEvent;
    }
    return changed;
}

std::vector<xcb_get_image_cookie_t> RootPixelReader::Ask(const std::vector<PixelPoint>& points) {
    // What is drawn from here on will be reported again.
    if (m_damage != 0) {
        xcb_damage_subtract(m_connection, m_damage, XCB_NONE, XCB_NONE);
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
            colours[i] = static_cast<Colour>(bytes[2] | (bytes[1] << 8) | (bytes[0] << 16));
        }
    }
    return colours;
}

std::vector<std::optional<Colour>> RootPixelReader::Read(const std::vector<PixelPoint>& points) {
    if (!Connect()) {
        return std::vector<std::optional<Colour>>(points.size());
    }
    if (m_readPoints != points) {
        // New points (the first read, or the clock has moved): asked and awaited now. Answers
        // still owed for the old points are taken and dropped.
        Answers(std::exchange(m_asked, {}));
        ScreenChanged();
        m_colours = Answers(Ask(points));
        m_readPoints = points;
    } else if (!m_asked.empty()) {
        // Asked on the last read: the answers have long been waiting in the socket.
        m_colours = Answers(std::exchange(m_asked, {}));
    }
    // Something drawn since: asked now, taken on the next read, without waiting for them here.
    if (ScreenChanged()) {
        m_asked = Ask(points);
    }
    // A broken connection (the X server went away) answers nothing from now on, at no cost.
    if (xcb_connection_has_error(m_connection) != 0) {
        m_failed = true;
        m_colours.assign(points.size(), std::nullopt);
    }
    return m_colours;
}

} // namespace reloj
