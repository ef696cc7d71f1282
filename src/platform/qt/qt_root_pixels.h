// Pixels of the X screen, read from the root window with a connection of their own. The clock
// with the automatic colour asks for the same few points every second, and on a quiet desktop
// their colours do not change: the X server's damage reports say when anything on the screen
// has been drawn since the last read, and until then a read gives the colours it gave before,
// without asking the server. The points are read afresh when they change (the clock was moved),
// after a report, and on every read where the server has no damage extension. Which points to
// read, and what their colours mean, is left to the clock.
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

  private:
    bool Connect();
    void WatchDamage();
    // Whether the screen may have changed since the last read: takes the waiting reports.
    bool ScreenChanged();
    std::vector<std::optional<Colour>> ReadNow(const std::vector<PixelPoint>& points);

    xcb_connection_t* m_connection = nullptr;
    bool m_failed = false;
    xcb_window_t m_root = 0;
    // The damage object on the root and the type of its reports; none without the extension.
    xcb_damage_damage_t m_damage = 0;
    uint8_t m_damageEvent = 0;
    // The last read, given again while nothing has been drawn.
    std::optional<std::vector<PixelPoint>> m_readPoints;
    std::vector<std::optional<Colour>> m_colours;
};

} // namespace reloj
