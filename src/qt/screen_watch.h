// Knows where the screens are and tells when that changes. Qt lists the monitors and reports
// monitors added, removed or resized; the X server's root window can also shrink under them
// (xrandr --fb, a virtual or nested server), and only the root's own structure events tell of
// that. The areas given are Qt's monitors cut to the root window, or the root itself when no
// monitor is known. What to do when the screens change is the caller's.
#pragma once

#include "core/region.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <functional>
#include <vector>
#include <xcb/xcb.h>

class QScreen;

namespace reloj {

class ScreenWatch final : public QAbstractNativeEventFilter {
  public:
    ScreenWatch() = default;
    ~ScreenWatch() override;
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    std::vector<PixelRect> Areas() const;
    // Calls `changed` after each change of the screens, once Qt's own news of it has been
    // handled; an empty function stops the calls. Starts watching on the first call.
    void Watch(std::function<void()> changed);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    void Start();
    void Follow(QScreen* screen);
    void Changed();

    bool m_started = false;
    bool m_filtering = false;
    xcb_window_t m_root = 0;
    PixelRect m_rootArea{};
    // What Qt's screen signals are connected to; they go with it.
    QObject m_connections;
    std::function<void()> m_changed;
    bool m_newsDue = false;
};

} // namespace reloj
