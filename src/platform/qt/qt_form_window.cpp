#include "platform/qt/qt_form_window.h"

#include "common/numeric.h"
#include "display/ring_geometry.h"
#include "startup/settings.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>

namespace reloj {

namespace {

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

int16_t ButtonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return 0;
    }
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

QtFormWindow::QtFormWindow(const FormDesign& design, QWidget* owner, FormEvents& events,
                           int32_t twipsPerPixelX, int32_t twipsPerPixelY)
    : QWidget(owner), m_events(events), m_twipsPerPixelX(twipsPerPixelX),
      m_twipsPerPixelY(twipsPerPixelY), m_back(palette().color(QPalette::Button)) {
    if (design.clockWindow) {
        // Bare, kept out of the task bar, above ordinary windows, and never taking the focus.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    setWindowTitle(QString::fromStdString(design.title));
    // The back colour is painted by paintEvent; Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

float QtFormWindow::Twips(const std::optional<float>& set, int pixels,
                          int32_t twipsPerPixel) const {
    if (set && TwipsToPixel(*set, twipsPerPixel) == pixels) {
        return *set;
    }
    return static_cast<float>(pixels) * static_cast<float>(twipsPerPixel);
}

float QtFormWindow::TwipsX(double pixels) const {
    return Single(pixels * m_twipsPerPixelX);
}
float QtFormWindow::TwipsY(double pixels) const {
    return Single(pixels * m_twipsPerPixelY);
}
int QtFormWindow::PixelsX(float twips) const {
    return TwipsToPixel(twips, m_twipsPerPixelX);
}
int QtFormWindow::PixelsY(float twips) const {
    return TwipsToPixel(twips, m_twipsPerPixelY);
}

float QtFormWindow::Left() const {
    return Twips(m_left, x(), m_twipsPerPixelX);
}
float QtFormWindow::Top() const {
    return Twips(m_top, y(), m_twipsPerPixelY);
}
float QtFormWindow::Width() const {
    return Twips(m_width, width(), m_twipsPerPixelX);
}
float QtFormWindow::Height() const {
    return Twips(m_height, height(), m_twipsPerPixelY);
}

void QtFormWindow::SetLeft(float twips) {
    Move(twips, Top());
}
void QtFormWindow::SetTop(float twips) {
    Move(Left(), twips);
}
void QtFormWindow::SetWidth(float twips) {
    Move(Left(), Top(), twips, Height());
}
void QtFormWindow::SetHeight(float twips) {
    Move(Left(), Top(), Width(), twips);
}

void QtFormWindow::Move(float left, float top) {
    m_left = left;
    m_top = top;
    move(PixelsX(left), PixelsY(top));
}

void QtFormWindow::Move(float left, float top, float width, float height) {
    Move(left, top);
    m_width = width;
    m_height = height;
    // A size below one pixel cannot be given to a window; start-up never asks for one.
    resize(std::max(1, PixelsX(width)), std::max(1, PixelsY(height)));
}

void QtFormWindow::SetBackColor(Colour colour) {
    m_back = ToQColor(colour);
    m_circles.clear();
    update();
}

void QtFormWindow::SetFillColor(Colour colour) {
    m_fill = colour;
}

void QtFormWindow::Circle(int32_t centreX, int32_t centreY, int32_t radius, Colour outline) {
    m_circles.push_back({centreX, centreY, radius, outline, m_fill});
    update();
}

void QtFormWindow::Refresh() {
    repaint();
}

void QtFormWindow::SetWindowRgn(Region region) {
    setMask(ToQRegion(region));
    m_region = std::move(region);
}

WindowHandle QtFormWindow::hWnd() const {
    return static_cast<WindowHandle>(winId());
}

void QtFormWindow::Show() {
    show();
}

void QtFormWindow::Hide() {
    hide();
}

void QtFormWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_back);
    for (const DrawnCircle& c : m_circles) {
        painter.setPen(ToQColor(c.outline));
        painter.setBrush(ToQColor(c.fill));
        const QPointF centre(static_cast<double>(c.centreX) / m_twipsPerPixelX,
                             static_cast<double>(c.centreY) / m_twipsPerPixelY);
        painter.drawEllipse(centre, static_cast<double>(c.radius) / m_twipsPerPixelX,
                            static_cast<double>(c.radius) / m_twipsPerPixelY);
    }
}

void QtFormWindow::mousePressEvent(QMouseEvent* event) {
    m_events.Form_MouseDown(ButtonCode(event->button()), TwipsX(event->position().x()),
                            TwipsY(event->position().y()));
}

void QtFormWindow::mouseMoveEvent(QMouseEvent* event) {
    m_events.Form_MouseMove(ButtonsCode(event->buttons()), TwipsX(event->position().x()),
                            TwipsY(event->position().y()));
}

void QtFormWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_events.Form_MouseUp(ButtonCode(event->button()), TwipsX(event->position().x()),
                          TwipsY(event->position().y()));
    // A click is a press and a release of the left button on the window.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        m_events.Form_Click();
    }
}

void QtFormWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends the second press as a double-click; it is still a press for the hold count.
    m_events.Form_MouseDown(ButtonCode(event->button()), TwipsX(event->position().x()),
                            TwipsY(event->position().y()));
    if (event->button() == Qt::LeftButton) {
        m_events.Form_DblClick();
    }
}

} // namespace reloj
