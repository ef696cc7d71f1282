// The Window port on Qt. WindowWidget is the QWidget on screen: it paints its face colour and
// the disc over it, takes a Region as its X11 shape, and turns Qt's mouse events and its
// timer into the logic's handlers. QtWindow is the handle the logic holds; letting it go hides
// the widget and deletes it later, so that a window may be closed from inside one of its own
// events.
#pragma once

#include "platform/platform.h"
#include "qt/second_timer.h"
#include "qt/window_system.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

namespace reloj {

// The shown windows a window owns, each followed by those it owns in turn: the order from the
// bottom up in which they must stand above it (the hands above the dots; the calculator and
// the closing box above the hands).
std::vector<QWidget*> ShownOwnedWindows(const QWidget* widget);

// An ordinary window owned by one kept above others (the calculator and the closing box of the
// clock's hands) is kept above others as well: a window manager that keeps such windows in a
// layer of their own would otherwise leave it under its owner (KWin on X11 does).
void KeepAboveWithOwner(QWidget& window, const QWidget* owner);

class WindowWidget final : public QWidget {
  public:
    WindowWidget(const WindowDescription& description, const WindowSystem& system, QWidget* owner,
                 WindowEvents& events);

    void SetColours(Colour face, std::optional<Disc> disc);
    void SetShape(Region region);
    // Moves the window to a place on the screen, and keeps it there if a window manager puts
    // it elsewhere.
    void PlaceAt(QPoint place);
    void TickAt(int64_t epochSecond);
    // No more events reach the logic from here on.
    void Detach();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void Tick();
    void Paint(QPainter& painter, const QRegion& shown) const;
    // What the window shows changed: repaint it, and give the X server a new copy.
    void Changed();
    void KeepBackdrop();
    void StopExposuresOncePainted();

    WindowEvents* m_events;
    QColor m_background;
    std::optional<Disc> m_disc;
    // A clock window that a window manager takes on (not under XWayland): it is told what the
    // clock is (window_manager_hints.h) and put back where it was asked to stand.
    bool m_askWindowManager = false;
    std::optional<QPoint> m_askedPlace;
    int m_placeCorrections = 0;
    std::optional<Region> m_region;
    // The shape a translucent window paints, as Qt takes it.
    QRegion m_paintedShape;
    // An opaque clock window keeps a copy of its square in the X server (server_backdrop.h),
    // while the server can take one.
    bool m_keepsBackdrop = false;
    bool m_backdropChecked = false;
    bool m_backdropDue = false;
    bool m_backdropKept = false;
    bool m_paintedOnce = false;
    bool m_exposuresStopped = false;
    // Told of jumps of the wall clock by the platform, which finds it among the window's
    // children.
    SecondTimer* m_timer = new SecondTimer(this, [this] { Tick(); });
    // The release that ends a double-click is no click of its own.
    bool m_releaseEndsDoubleClick = false;
};

class QtWindow final : public Window {
  public:
    QtWindow(const WindowDescription& description, const WindowSystem& system, QWidget* owner,
             WindowEvents& events);
    ~QtWindow() override;

    PixelRect Frame() const override;
    void MoveTo(PixelPoint topLeft) override;
    void Resize(int32_t width, int32_t height) override;
    void SetColours(Colour face, std::optional<Disc> disc) override;
    void SetShape(Region region) override;
    WindowHandle Handle() const override;
    void Show() override;
    void Hide() override;
    void TickAt(int64_t epochSecond) override;

    WindowWidget* Widget() const { return m_widget; }

  private:
    QPointer<WindowWidget> m_widget;
};

} // namespace reloj
