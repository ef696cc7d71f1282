// Tells when the clock's windows may need raising again. The clock asks for its two windows to
// be put on top every second; on a quiet desktop nothing has changed since the last time, and
// sending the X server a restack anyway costs the clock a write and the server a wake-up every
// second. This watch asks the X server for the root window's structure events, notes when any
// other top-level window is mapped, moved, restacked or reparented, and answers whether a
// window must be raised now. As a safety net against an event missed (another part of the
// program resetting the root's event mask, say), every window is raised at least once in sixty
// askings. It also tells its owner when another window changed, so that a clock that sleeps
// between minutes wakes to raise itself. How to raise is left to the platform.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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
    // Calls `changed` after another top-level window was mapped, moved, restacked or
    // reparented, once the watch has started, with the window's place on the root when the
    // news gives it (a move or restack does; a map does not).
    using Changed = std::function<void(std::optional<QRect> place)>;
    void OnChange(Changed changed) { m_changed = std::move(changed); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    bool Start();

    bool m_started = false;
    bool m_watching = false;
    xcb_window_t m_root = 0;
    // The windows kept on top, and how many times each was asked about since it was last raised.
    std::map<xcb_window_t, int> m_askedSinceRaise;
    Changed m_changed;
};

} // namespace reloj
