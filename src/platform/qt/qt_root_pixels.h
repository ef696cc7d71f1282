// Pixels of the X screen, read from the root window with a connection of their own. The clock
// with the automatic colour reads the same few points every second; to spare it a wait for the
// X server on every tick, each read also asks for the same points again, and the next read of
// those points takes that answer, which is already waiting in the socket. The colours a read
// returns are therefore those of about one tick earlier, or fresh when the points have changed
// (the clock was moved) or on the first read. Which points to read, and what the colours mean,
// is left to the clock.
#pragma once

#include "platform/platform.h"

#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace reloj {

class RootPixelReader {
  public:
    RootPixelReader() = default;
    ~RootPixelReader();
    RootPixelReader(const RootPixelReader&) = delete;
    RootPixelReader& operator=(const RootPixelReader&) = delete;

    // One colour per point, 0x00BBGGRR, or nothing where the X server gave no true-colour
    // pixel (the point is off the root, or the screen is not 24 bits deep).
    std::vector<std::optional<Colour>> Read(const std::vector<PixelPoint>& points);

  private:
    bool Connect();
    std::vector<xcb_get_image_cookie_t> Ask(const std::vector<PixelPoint>& points);
    std::vector<std::optional<Colour>> Answers(const std::vector<xcb_get_image_cookie_t>& cookies);

    xcb_connection_t* m_connection = nullptr;
    bool m_failed = false;
    xcb_window_t m_root = 0;
    // The points asked for ahead of the next read, and the requests still to be answered.
    std::vector<PixelPoint> m_askedPoints;
    std::vector<xcb_get_image_cookie_t> m_asked;
};

} // namespace reloj
