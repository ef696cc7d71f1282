// Tells when the clock's windows may need raising again. The clock asks for its two windows to
// be put on top every second; on a quiet desktop nothing has changed since the last time, and
// sending the X server a restack anyway costs the clock a write and the server a wake-up every
// second. This watch asks the X server for the root window's structure events, notes when any
// other top-level window is mapped, moved, restacked or reparented, and answers whether a
// window must be raised now. As a safety net against an event missed (another part of the
// program resetting the root's event mask, say), every window is raised at least once a minute
// of asking. How to raise is left to the platform.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <map>
#include <xcb/xcb.h>

namespace reloj {

class StackingWatch final : public QAbstractNativeEventFilter {
  public:
    StackingWatch() = default;
    ~StackingWatch() override;
    StackingWatch(const StackingWatch&) = delete;
    StackingWatch& operator=(const StackingWatch&) = delete;

    // Whether `window` must be raised now. Starts watching on the first call; without an X
    // connection the answer is always yes.
    bool NeedsRaise(xcb_window_t window);
    // The window has just been raised while shown; a raise before it is shown does not count.
    void Raised(xcb_window_t window);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    bool Start();

    bool m_started = false;
    bool m_watching = false;
    xcb_window_t m_root = 0;
    // The windows kept on top, and how many times each was asked about since it was last raised.
    std::map<xcb_window_t, int> m_askedSinceRaise;
};

} // namespace reloj
