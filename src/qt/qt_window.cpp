#include "qt/qt_window.h"

#include "core/colour.h"
#include "core/numeric.h"
#include "core/twips.h"
#include "qt/server_backdrop.h"
#include "qt/window_manager_hints.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QScreen>
#include <algorithm>
#include <limits>
#include <xcb/xcb.h>

namespace reloj {

namespace {

// A tick comes this long after the wall-clock second begins, so that the second read by the
// handler is the one the tick belongs to even if the timer fires a little early.
constexpr int64_t kTickLateMs = 5;
constexpr int64_t kMsPerSecond = 1000;
// Letters and the check box's indicator in layout pixels, scaled with the rest of the window.
constexpr int kControlFontPixels = 12;
constexpr int kSmallestFontPixels = 7;
// A pixel left of and above every window's first pixel: a shape of it alone is empty.
const QRect kOutsideEveryWindow(-1, -1, 1, 1);
// A check box's box and tick, whatever the colour of its caption.
const QColor kCheckBoxGround(Qt::white);
const QColor kCheckBoxTick(Qt::black);
// A check box's caption shares its width with the box itself.
constexpr int kCheckIndicatorPixels = 20;
// How many times a clock window is put back where it was asked to stand, for each place asked:
// enough for a window manager that moves a window once as it takes it on, and no fight with
// one that insists.
constexpr int kPlaceCorrections = 3;

QColor ToQColor(Colour colour);

// How many regions are alive after each reshape, for soak tests and the curious:
// QT_LOGGING_RULES="reloj.regions=true". A count that grows is a leak.
Q_LOGGING_CATEGORY(lcRegions, "reloj.regions", QtWarningMsg)

void FlushWindowSystem() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_flush(x11->connection());
    }
}

// The largest letters, up to the window's own, in which the text fits the part of the control
// that lies inside the window: the controls keep the sizes they were laid out with, whatever
// font the desktop offers, and a control that reaches past the window's edge still shows its
// whole text.
void FitFont(QWidget* control, const QString& text, double scale) {
    const int reserved = qobject_cast<QCheckBox*>(control) != nullptr
                             ? ScaledPixel(kCheckIndicatorPixels, scale)
                             : 0;
    const QWidget* window = control->parentWidget();
    const int shownWidth = std::min(control->width(), window->width() - control->x());
    QFont letters = window->font();
    const int smallest = ScaledPixel(kSmallestFontPixels, scale);
    for (int pixels = ScaledPixel(kControlFontPixels, scale); pixels > smallest; --pixels) {
        letters.setPixelSize(pixels);
        const QFontMetrics metrics(letters);
        if (metrics.horizontalAdvance(text) + reserved <= shownWidth &&
            metrics.height() <= control->height() + 2) {
            break;
        }
    }
    control->setFont(letters);
}

// Text in the given colour on the window's black ground. A check box's own box is drawn in
// the colours of an input field, which would be black on black: it keeps a light box with a
// dark tick, as users know check boxes, and only its caption takes the colour.
void Colourise(QWidget* widget, Colour foreground) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, ToQColor(foreground));
    }
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        palette.setColor(role, Qt::black);
    }
    if (qobject_cast<QCheckBox*>(widget) != nullptr) {
        palette.setColor(QPalette::Base, kCheckBoxGround);
        palette.setColor(QPalette::Text, kCheckBoxTick);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor ToQColor(Colour colour) {
    const Colour shown = ShownColour(colour);
    return QColor(shown & 0xFF, (shown >> 8) & 0xFF, (shown >> 16) & 0xFF);
}

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
                           QWidget* owner, WindowEvents& events, const PixelScale& pixels)
    : QWidget(owner), m_events(&events), m_pixels(pixels),
      m_background(palette().color(QPalette::Button)) {
    if (description.clockWindow) {
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
    } else {
        // An ordinary window with a single fixed border, opening centred on the screen.
        setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
        KeepAboveWithOwner(*this, owner);
        setFixedSize(m_pixels.DeviceX(description.clientWidth),
                     m_pixels.DeviceY(description.clientHeight));
        m_centreWhenShown = true;
        // Small letters, so that the captions fit the boxes they were laid out in.
        QFont letters = font();
        letters.setPixelSize(ControlFontPixels());
        setFont(letters);
    }
    setWindowTitle(QString::fromStdString(description.title));
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
}

void WindowWidget::Detach() {
    m_events = nullptr;
    m_timer.stop();
    m_tickSecond.reset();
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
    m_tickSecond = epochSecond;
    AimTimer();
}

void WindowWidget::TimeChanged() {
    if (m_tickSecond) {
        TickAt(QDateTime::currentMSecsSinceEpoch() / kMsPerSecond + 1);
    }
}

// The timer counts on the monotonic clock, and is aimed afresh from the wall clock each time,
// a few milliseconds into the second asked for. A jump of the wall clock meanwhile is told by
// TimeChanged.
void WindowWidget::AimTimer() {
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const int64_t delay = std::max<int64_t>(0, *m_tickSecond * kMsPerSecond + kTickLateMs - now);
    m_timer.start(static_cast<int>(std::min<int64_t>(delay, std::numeric_limits<int>::max())));
}

void WindowWidget::Tick() {
    if (!m_tickSecond) {
        return;
    }
    // Early, when the wall clock went back while the timer ran: aimed again.
    if (QDateTime::currentMSecsSinceEpoch() / kMsPerSecond < *m_tickSecond) {
        AimTimer();
        return;
    }
    // The handler asks for the next tick, if any; it may open a modal message box, and the
    // clock goes on ticking under it.
    m_tickSecond.reset();
    if (m_events != nullptr) {
        m_events->OnTick();
    }
    // Qt sends a new shape or a raise only when it next has an X event to handle; a tick has
    // none, so the hands would wait for the pointer to move. Send them now.
    FlushWindowSystem();
}

int WindowWidget::ControlFontPixels() const {
    return ScaledPixel(kControlFontPixels, m_pixels.scale);
}

void WindowWidget::AddControl(const ControlDescription& description) {
    const QRect place(m_pixels.DeviceX(description.left), m_pixels.DeviceY(description.top),
                      m_pixels.DeviceX(description.width), m_pixels.DeviceY(description.height));
    const QString text = QString::fromStdString(description.text);
    QWidget* control = nullptr;
    switch (description.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(text, this);
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        control = label;
        break;
    }
    case ControlKind::TextBox: {
        auto* box = new QLineEdit(text, this);
        box->setAlignment(Qt::AlignCenter);
        box->setFrame(true);
        control = box;
        break;
    }
    case ControlKind::CheckBox: {
        auto* check = new QCheckBox(text, this);
        const std::string name = description.name;
        QObject::connect(check, &QCheckBox::clicked, this, [this, name] {
            if (m_events != nullptr) {
                m_events->OnControlToggled(name);
            }
        });
        control = check;
        break;
    }
    }
    control->setObjectName(QString::fromStdString(description.name));
    control->setAccessibleName(QString::fromStdString(description.name));
    control->setGeometry(place);
    Colourise(control, description.textColour);
    if (description.kind != ControlKind::TextBox) {
        FitFont(control, text, m_pixels.scale);
    }
    if (description.kind == ControlKind::Label) {
        control->setFocusPolicy(Qt::NoFocus);
    }
    // Keyboard focus moves through the controls in the order they were designed.
    QWidget* previous = nullptr;
    for (const auto& [name, widget] : m_controls) {
        if (widget->focusPolicy() != Qt::NoFocus) {
            previous = widget;
        }
    }
    m_controls.emplace_back(description.name, control);
    if (previous != nullptr && control->focusPolicy() != Qt::NoFocus) {
        QWidget::setTabOrder(previous, control);
    }
}

void WindowWidget::AddLine(float x1, float y1, float x2, float y2, int32_t widthPixels,
                           Colour colour) {
    m_lines.push_back({QLine(m_pixels.DeviceX(x1), m_pixels.DeviceY(y1), m_pixels.DeviceX(x2),
                             m_pixels.DeviceY(y2)),
                       m_pixels.Device(widthPixels), ToQColor(colour)});
    Changed();
}

QWidget* WindowWidget::Control(const std::string& name) const {
    for (const auto& [controlName, widget] : m_controls) {
        if (controlName == name) {
            return widget;
        }
    }
    return nullptr;
}

void WindowWidget::closeEvent(QCloseEvent* event) {
    // The logic decides: it closes the window, which then goes away.
    event->ignore();
    if (m_events != nullptr) {
        m_events->OnCloseRequested();
    }
}

void WindowWidget::showEvent(QShowEvent* event) {
    if (m_centreWhenShown) {
        m_centreWhenShown = false;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->geometry().center());
            move(frame.topLeft());
        }
    }
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
    for (const DrawnLine& l : m_lines) {
        painter.setPen(QPen(l.colour, l.width));
        painter.drawLine(l.line);
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
                   WindowEvents& events, const PixelScale& pixels)
    : m_widget(new WindowWidget(description, system, owner, events, pixels)), m_pixels(pixels) {}

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

void QtWindow::AddControl(const ControlDescription& control) {
    m_widget->AddControl(control);
}

void QtWindow::AddLine(float x1, float y1, float x2, float y2, int32_t widthPixels, Colour colour) {
    m_widget->AddLine(x1, y1, x2, y2, widthPixels, colour);
}

std::string QtWindow::Text(const std::string& control) const {
    QWidget* widget = m_widget->Control(control);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        return box->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        return check->text().toStdString();
    }
    return {};
}

void QtWindow::SetText(const std::string& control, const std::string& text) {
    QWidget* widget = m_widget->Control(control);
    const QString value = QString::fromStdString(text);
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        box->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        // Set once a second with the same text most of the time: repaint only on a change.
        if (label->text() != value) {
            FitFont(label, value, m_pixels.scale);
            label->setText(value);
            label->setAccessibleDescription(value);
        }
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        FitFont(check, value, m_pixels.scale);
        check->setText(value);
    }
}

bool QtWindow::Checked(const std::string& control) const {
    auto* check = qobject_cast<QCheckBox*>(m_widget->Control(control));
    return check != nullptr && check->isChecked();
}

void QtWindow::SetChecked(const std::string& control, bool checked) {
    if (auto* check = qobject_cast<QCheckBox*>(m_widget->Control(control))) {
        check->setChecked(checked);
    }
}

void QtWindow::SetFocus(const std::string& control) {
    if (QWidget* widget = m_widget->Control(control)) {
        widget->setFocus();
    }
}

} // namespace reloj
