// Pixels of the X screen, read from the root window with a connection of their own. The clock
// with the automatic colour asks for the same few points every second, and on a quiet desktop
// their colours do not change: the X server's damage reports say when anything on the screen
// has been drawn since the last read, and until then a read gives the colours it gave before,
// without asking the server. After a report, the read asks for the points again and the next
// read takes the answers, which are waiting by then, so the clock never waits for the server
// on a tick; a change of the desktop shows one read later. New points (the first read, or the
// clock has moved) are asked and awaited at once. Without the damage extension every read asks
// for the next. Which points to read, and what their colours mean, is left to the clock.
#pragma once

#include "platform/platform.h"

#include <optional>
#include <vector>
#include <xcb/damage.h>
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

    // Whether the root window shows the screen at all. Where a compositor outside the X server
    // draws the screen (XWayland), the root has no pixels of its own and the server refuses
    // every read of it; asked once, and the connection is not kept for reads that cannot be.
    bool ScreenReadable();

  private:
    bool Connect();
    void WatchDamage();
    bool RootRefusesReads();
    // Whether the screen may have changed since the last read: takes the waiting reports.
    bool ScreenChanged();
    std::vector<xcb_get_image_cookie_t> Ask(const std::vector<PixelPoint>& points);
    std::vector<std::optional<Colour>> Answers(const std::vector<xcb_get_image_cookie_t>& cookies);

    xcb_connection_t* m_connection = nullptr;
    bool m_failed = false;
    bool m_rootRefused = false;
    xcb_window_t m_root = 0;
    // The damage object on the root and the type of its reports; none without the extension.
    xcb_damage_damage_t m_damage = 0;
    uint8_t m_damageEvent = 0;
    // The last read, given again while nothing has been drawn, and the requests still owed.
    std::optional<std::vector<PixelPoint>> m_readPoints;
    std::vector<std::optional<Colour>> m_colours;
    std::vector<xcb_get_image_cookie_t> m_asked;
};

} // namespace reloj
