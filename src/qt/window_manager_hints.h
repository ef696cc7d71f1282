// What the clock asks of an X window manager for its two windows, beyond what Qt's window
// flags say: kept out of task bars and pagers, on every workspace, above ordinary windows, and
// never demanding attention. It writes the requests onto a window before it is first mapped,
// asks again once the manager has taken the window on, and takes back what a manager adds on
// its own (mutter marks a window that was not given the focus as demanding attention).
// Placing the windows and keeping them on top are left to qt_window.h and qt_platform.h; the
// reasons each manager forced are in docs/desktops.md.
#pragma once

#include <QAbstractNativeEventFilter>
#include <map>
#include <xcb/xcb.h>

class QWidget;

namespace reloj {

class ClockWindowHints final : public QAbstractNativeEventFilter {
  public:
    // The one watch of the program, made and installed on first use.
    static ClockWindowHints& Instance();

    // Writes the requests onto a clock window that is not yet mapped, and follows what the
    // window manager makes of them from then on. `owned` is true for a window that another
    // clock window owns (the hands).
    void Prepare(QWidget& window, bool owned);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    ClockWindowHints() = default;
    // The manager wrote the window's state: asks for what is missing, once each, and takes
    // back what must not be there.
    void StateChanged(xcb_window_t window);

    struct Followed {
        // The states a window lacks were asked for by request since the manager took it on.
        bool askedOnceManaged = false;
        // The manager's last word on the window had it demanding attention: the mark is taken
        // back once each time it is added, so that a manager that keeps it is not asked for
        // ever.
        bool demandedAttention = false;
    };
    std::map<xcb_window_t, Followed> m_followed;
};

} // namespace reloj
