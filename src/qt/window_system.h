// What the X server the clock shows on is like, as far as the clock's own windows care, read
// once before the first window is made: whether a compositing manager draws the screen, and
// whether the server is XWayland, a guest of a Wayland compositor. The windows decide what to
// make of it (qt_window.h); the reasons each compositor forced are in docs/desktops.md.
#pragma once

namespace reloj {

struct WindowSystem {
    // A compositing manager owns the screen's selection: it shows a window's transparent
    // pixels as transparent, so a window with an alpha channel can be cut to shape by its
    // pixels as well as by its X shape.
    bool compositing = false;
    // The X server is XWayland: the Wayland compositor places, stacks and draws the X windows,
    // and draws the lock screen itself.
    bool xwayland = false;
};

// Asks the X server Qt is connected to; a plain X11 server without Qt's xcb platform answers
// with neither.
WindowSystem ProbeWindowSystem();

} // namespace reloj
