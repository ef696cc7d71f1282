#include "qt/qt_window.h"

#include "core/colour.h"
#include "core/numeric.h"
#include "core/twips.h"
#include "qt/qt_colour.h"
#include "qt/server_backdrop.h"
#include "qt/window_manager_hints.h"

#include <QCloseEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <algorithm>

namespace reloj {

namespace {

// A pixel left of and above every window's first pixel: a shape of it alone is empty.
const QRect kOutsideEveryWindow(-1, -1, 1, 1);
// How many times a clock window is put back where it was asked to stand, for each place asked:
// enough for a window manager that moves a window once as it takes it on, and no fight with
// one that insists.
constexpr int kPlaceCorrections = 3;

// How many regions are alive after each reshape, for soak tests and the curious:
// QT_LOGGING_RULES="reloj.regions=true". A count that grows is a leak.
Q_LOGGING_CATEGORY(lcRegions, "reloj.regions", QtWarningMsg)

QRegion ToQRegion(const Region& region) {
    QRegion result;
    for (const auto& shape : region.Shapes()) {
        if (const auto* ellipse = std::get_if<Region::Ellipse>(&shape)) {
            for (const PixelRect& row : EllipseRows(ellipse->bounds)) {
                result += QRect(row.left, row.top, row.right - row.left, 1);
            }
        } else if (const auto* polygon = std::get_if<Region::Polygon>(&shape)) {
            QPolygon points;
            for (const PixelPoint& p : polygon->vertices) {
                points << QPoint(p.x, p.y);
            }
            result += QRegion(points, Qt::WindingFill);
        }
    }
    return result;
}

MouseButton ButtonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return kOtherButton;
    }
}

MousePoint At(const QMouseEvent& event) {
    return {event.position().x(), event.position().y()};
}

int16_t ButtonsCode(Qt::MouseButtons buttons) {
    int16_t code = 0;
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        if (buttons & b) {
            code = static_cast<int16_t>(code + ButtonCode(b));
        }
    }
    return code;
}

} // namespace

std::vector<QWidget*> ShownOwnedWindows(const QWidget* widget) {
    std::vector<QWidget*> owned;
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() && child->isVisible()) {
            owned.push_back(child);
            const std::vector<QWidget*> theirs = ShownOwnedWindows(child);
            owned.insert(owned.end(), theirs.begin(), theirs.end());
        }
    }
    return owned;
}

void KeepAboveWithOwner(QWidget& window, const QWidget* owner) {
    if (owner != nullptr && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        window.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
}

WindowWidget::WindowWidget(const WindowDescription& description, const WindowSystem& system,
                           QWidget* owner, WindowEvents& events)
    : QWidget(owner), m_events(&events),
      m_background(palette().color(QPalette::Button)) {
    // Bare, kept out of the task bar, above ordinary windows, and never taking the focus.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus;
    // A Wayland compositor places XWayland's managed windows where it likes (sway centres
    // them and will not let them move), and may hide a tool window whose owner is never
    // active (KWin): the clock places and stacks its windows itself there. On an X server
    // the window manager keeps them, and draws the lock screen above them.
    if (system.xwayland) {
        flags |= Qt::X11BypassWindowManagerHint;
    } else {
        m_askWindowManager = true;
    }
    setWindowFlags(flags);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (system.compositing) {
        // A compositor may show a shaped window's whole square (wlroots does): with an
        // alpha channel the pixels outside the shape are transparent there as well. Qt
        // clears what it repaints to transparent, and paintEvent fills only the shape.
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // The background is painted by paintEvent; Qt need not clear first.
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_keepsBackdrop = true;
    }
    setWindowTitle(QString::fromStdString(description.title));
}

void WindowWidget::Detach() {
    m_events = nullptr;
    m_timer->Stop();
}

void WindowWidget::SetColours(Colour face, std::optional<Disc> disc) {
    m_background = ToQColor(face);
    m_disc = disc;
    Changed();
}

void WindowWidget::Changed() {
    update();
    if (m_keepsBackdrop && !m_backdropDue) {
        // Once for all the changes made in this turn of the event loop.
        m_backdropDue = true;
        QMetaObject::invokeMethod(
            this, [this] { KeepBackdrop(); }, Qt::QueuedConnection);
    }
}

void WindowWidget::KeepBackdrop() {
    m_backdropDue = false;
    // A window not yet made gets its copy when it is shown.
    if (!m_keepsBackdrop || !testAttribute(Qt::WA_WState_Created) || windowHandle() == nullptr) {
        return;
    }
    if (!m_backdropChecked) {
        m_backdropChecked = true;
        m_keepsBackdrop = ServerBackdrop::CanKeep(*windowHandle());
        if (!m_keepsBackdrop) {
            return;
        }
    }
    const qreal ratio = devicePixelRatioF();
    QImage square((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
    if (square.isNull()) {
        return;
    }
    square.setDevicePixelRatio(ratio);
    QPainter painter(&square);
    Paint(painter, QRegion(rect()));
    painter.end();
    ServerBackdrop::Keep(*windowHandle(), square);
    m_backdropKept = true;
    StopExposuresOncePainted();
}

void WindowWidget::StopExposuresOncePainted() {
    if (m_backdropKept && m_paintedOnce && !m_exposuresStopped) {
        m_exposuresStopped = true;
        ServerBackdrop::StopExposures(*windowHandle());
    }
}

void WindowWidget::SetShape(Region region) {
    QRegion shape = ToQRegion(region);
    if (shape.isEmpty()) {
        // Qt takes an empty mask for no mask at all, which would show the whole square. A
        // shape made only of a pixel outside the window shows nothing and takes no clicks,
        // and a later shape that is not empty shows again.
        shape = QRegion(kOutsideEveryWindow);
    }
    m_region = std::move(region);
    if (testAttribute(Qt::WA_TranslucentBackground)) {
        // A compositor may show the whole square, transparent outside the shape, so the old
        // shape's pixels must be cleared as the new one's are painted. Qt paints only inside
        // the mask: for the one repaint the mask takes in both shapes.
        m_paintedShape = shape;
        setMask(mask().united(shape));
        repaint();
    }
    // Otherwise only the shape is seen, and the X server holds a copy of the whole square
    // (server_backdrop.h) from which it paints what the new shape uncovers: nothing is painted
    // now, and no exposure comes back. Where the server cannot keep one, Qt's copy serves the
    // exposures instead.
    setMask(shape);
    qCInfo(lcRegions, "regions %lld", static_cast<long long>(Region::LiveCount()));
}

void WindowWidget::TickAt(int64_t epochSecond) {
    m_timer->TickAt(epochSecond);
}

void WindowWidget::Tick() {
    if (m_events != nullptr) {
        m_events->OnTick();
    }
}

void WindowWidget::closeEvent(QCloseEvent* event) {
    // A clock window closes only as the clock does (a button held on the hands), never at a
    // window manager's request.
    event->ignore();
}

void WindowWidget::showEvent(QShowEvent* event) {
    if (m_askWindowManager) {
        // Before Qt maps the window, so that the manager takes it on as a clock window.
        ClockWindowHints::Instance().Prepare(*this, parentWidget() != nullptr);
    }
    QWidget::showEvent(event);
    if (m_keepsBackdrop) {
        Changed();
    }
}

void WindowWidget::PlaceAt(QPoint place) {
    m_askedPlace = place;
    m_placeCorrections = 0;
    move(place);
}

// A window manager may place a new window elsewhere than asked (i3 leaves room for a title bar
// the clock does not have); it moves a window that asks again once it manages it.
void WindowWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_askWindowManager && event->spontaneous() && m_askedPlace && pos() != *m_askedPlace &&
        m_placeCorrections < kPlaceCorrections) {
        ++m_placeCorrections;
        move(*m_askedPlace);
    }
}

void WindowWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_keepsBackdrop) {
        Changed();
    }
}

void WindowWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // A translucent window is cleared to transparent first, and only its shape is painted; an
    // opaque one is painted whole, so that a later shape finds its pixels ready.
    const bool translucent = testAttribute(Qt::WA_TranslucentBackground) && m_region.has_value();
    Paint(painter, translucent ? event->region() & m_paintedShape : event->region());
    m_paintedOnce = true;
    StopExposuresOncePainted();
}

void WindowWidget::Paint(QPainter& painter, const QRegion& shown) const {
    painter.setClipRegion(shown);
    for (const QRect& part : shown) {
        painter.fillRect(part, m_background);
    }
    if (m_disc) {
        // Outlined in its own colour, as the pen adds a pixel's ring around the filled area.
        painter.setPen(ToQColor(m_disc->colour));
        painter.setBrush(ToQColor(m_disc->colour));
        painter.drawEllipse(QPointF(m_disc->centreX, m_disc->centreY), m_disc->radiusX,
                            m_disc->radiusY);
    }
}

void WindowWidget::mousePressEvent(QMouseEvent* event) {
    if (m_events != nullptr) {
        m_events->OnMousePress(ButtonCode(event->button()), At(*event));
    }
}

void WindowWidget::mouseMoveEvent(QMouseEvent* event) {
    if (m_events != nullptr) {
        m_events->OnMouseMove(ButtonsCode(event->buttons()), At(*event));
    }
}

void WindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QPointer<WindowWidget> alive(this);
    if (m_events != nullptr) {
        m_events->OnMouseRelease(ButtonCode(event->button()), At(*event));
    }
    // A click is the left button pressed and released on the window; the release that ends a
    // double-click has had its double-click instead.
    const bool doubleClickEnd = m_releaseEndsDoubleClick;
    m_releaseEndsDoubleClick = false;
    if (alive && m_events != nullptr && event->button() == Qt::LeftButton && !doubleClickEnd) {
        m_events->OnClick();
    }
}

void WindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is still a press for the hold count and the drag.
    if (m_events != nullptr) {
        m_events->OnMousePress(ButtonCode(event->button()), At(*event));
    }
    if (m_events != nullptr && event->button() == Qt::LeftButton) {
        m_releaseEndsDoubleClick = true;
        m_events->OnDoubleClick();
    }
}

QtWindow::QtWindow(const WindowDescription& description, const WindowSystem& system, QWidget* owner,
                   WindowEvents& events)
    : m_widget(new WindowWidget(description, system, owner, events)) {}

QtWindow::~QtWindow() {
    if (m_widget) {
        m_widget->Detach();
        m_widget->hide();
        m_widget->deleteLater();
    }
}

PixelRect QtWindow::Frame() const {
    const QWidget& w = *m_widget;
    return {w.x(), w.y(), w.x() + w.width(), w.y() + w.height()};
}

void QtWindow::MoveTo(PixelPoint topLeft) {
    m_widget->PlaceAt(QPoint(topLeft.x, topLeft.y));
}

void QtWindow::Resize(int32_t width, int32_t height) {
    m_widget->resize(std::max(1, width), std::max(1, height));
}

void QtWindow::SetColours(Colour face, std::optional<Disc> disc) {
    m_widget->SetColours(face, disc);
}

void QtWindow::SetShape(Region region) {
    m_widget->SetShape(std::move(region));
}
WindowHandle QtWindow::Handle() const {
    return static_cast<WindowHandle>(m_widget->winId());
}
void QtWindow::Show() {
    m_widget->show();
    // A window shown after the windows it owns comes up on top of them; they go back above it.
    for (QWidget* owned : ShownOwnedWindows(m_widget)) {
        owned->raise();
    }
}
void QtWindow::Hide() {
    m_widget->hide();
}
void QtWindow::TickAt(int64_t epochSecond) {
    m_widget->TickAt(epochSecond);
}

} // namespace reloj
