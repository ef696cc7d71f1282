// The X server's own copy of an opaque window's whole square, for a server without a
// compositing manager. Given as the window's background pixmap, it lets the server paint
// whatever the window's shape uncovers, or another window leaves, at once and without a word
// to the program: a new shape of the hands costs one request and no exposure, so the clock is
// woken once as the minute turns, not three times (its timer, then Qt's X reader with the
// exposures, then its own thread again to paint them).
//
// The window paints the square itself (WindowWidget); this unit only hands the server a copy
// and stops the exposures it then no longer needs. A window under a compositor keeps Qt's
// usual painting: its pixels go to the compositor, not to the screen.
#pragma once

#include <QImage>
#include <QWindow>

namespace reloj {

class ServerBackdrop {
  public:
    // Whether the server can take the window's pixels as Qt paints them (a 24-bit visual in
    // 32-bit pixels); if not, the window goes on with Qt's exposures alone.
    static bool CanKeep(const QWindow& window);

    // Gives the server a copy of the window's whole square, painted in `square` at the
    // window's size in device pixels, and shows it at once.
    static void Keep(const QWindow& window, const QImage& square);

    // Asks the server to send the window no more exposures: Qt has painted it once, and from
    // now on the server paints every part of it that comes into view from the copy.
    static void StopExposures(const QWindow& window);
};

} // namespace reloj
