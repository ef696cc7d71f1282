// Pixels of the X screen, read from the root window with a connection of their own, and the
// news that pixels at some points may have changed. The clock sleeps until something is due, so
// it must be told when to look: the X server's damage reports on the root cover whatever is
// drawn on the screen, the windows over it included, and are asked by bounding box, so that a
// window redrawing away from the points costs one report and then none while its drawing stays
// inside the box already reported. Only a box that takes in a watched point costs a look at
// what was really drawn (one region fetched); when a watched point was drawn on, the watch says
// so once and waits for the next read, which starts the reports afresh. A read always asks the
// server. Without the damage extension every read is told as a change. Which points to read,
// and what their colours mean, is left to the clock.
#pragma once

#include "platform/platform.h"

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

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

    // Calls `changed` once when something is drawn on the screen at one of `points`, and again
    // only after the next read. No points, or an empty function, stops the watch.
    void Watch(std::vector<PixelPoint> points, std::function<void()> changed);

  private:
    bool Connect();
    void WatchDamage();
    bool RootRefusesReads();
    // Takes the waiting reports, and tells of a watched point drawn on.
    void TakeReports();
    // Whether what was drawn since the reports started takes in a watched point; the reports
    // start afresh.
    bool DrawnAtWatchedPoint();
    bool BoxHoldsWatchedPoint(const xcb_rectangle_t& box) const;
    std::vector<xcb_get_image_cookie_t> Ask(const std::vector<PixelPoint>& points);
    std::vector<std::optional<Colour>> Answers(const std::vector<xcb_get_image_cookie_t>& cookies);

    xcb_connection_t* m_connection = nullptr;
    bool m_failed = false;
    bool m_rootRefused = false;
    xcb_window_t m_root = 0;
    // The damage object on the root and the type of its reports; none without the extension.
    xcb_damage_damage_t m_damage = 0;
    uint8_t m_damageEvent = 0;
    // A region of the connection's own, into which what was drawn is fetched.
    xcb_xfixes_region_t m_drawn = 0;
    std::unique_ptr<QSocketNotifier> m_reports;
    std::vector<PixelPoint> m_watched;
    std::function<void()> m_changed;
    // A change was told, and no read has come since.
    bool m_told = false;
};

} // namespace reloj
