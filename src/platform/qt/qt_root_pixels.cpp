#include "platform/qt/qt_root_pixels.h"

#include <cstdlib>

namespace reloj {

namespace {

// A true-colour screen of depth 24 stores a pixel as blue, green, red and a spare byte.
constexpr uint8_t kTrueColourDepth = 24;
constexpr int kBytesPerPixel = 4;

} // namespace

RootPixelReader::~RootPixelReader() {
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

// The connection is opened on the first read, so a clock with a chosen colour never opens it.
// It is not Qt's: Qt's reader thread would wake for every answer and wake the clock in turn.
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
    return true;
}

std::vector<xcb_get_image_cookie_t> RootPixelReader::Ask(const std::vector<PixelPoint>& points) {
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
        xcb_get_image_reply_t* reply = xcb_get_image_reply(m_connection, cookies[i], nullptr);
        if (reply == nullptr) {
            continue;
        }
        if (reply->depth == kTrueColourDepth &&
            xcb_get_image_data_length(reply) >= kBytesPerPixel) {
            const uint8_t* bytes = xcb_get_image_data(reply);
            colours[i] = static_cast<Colour>(bytes[2] | (bytes[1] << 8) | (bytes[0] << 16));
        }
        std::free(reply);
    }
    return colours;
}

std::vector<std::optional<Colour>> RootPixelReader::Read(const std::vector<PixelPoint>& points) {
    if (!Connect()) {
        return std::vector<std::optional<Colour>>(points.size());
    }
    // Answers to a question about other points are read and dropped: the clock has moved.
    std::vector<std::optional<Colour>> colours = Answers(m_asked);
    if (m_askedPoints != points) {
        colours = Answers(Ask(points));
    }
    m_asked = Ask(points);
    m_askedPoints = points;
    // A broken connection (the X server went away) answers nothing from now on, at no cost.
    if (xcb_connection_has_error(m_connection) != 0) {
        m_failed = true;
    }
    return colours;
}

} // namespace reloj
