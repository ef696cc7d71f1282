#include "qt/qt_platform.h"

#include "core/colour.h"
#include "core/numeric.h"
#include "core/scale_factor.h"
#include "core/twips.h"
#include "qt/qt_calculator.h"
#include "qt/qt_window.h"
#include "qt/second_timer.h"
#include "qt/xcb_reply.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <xcb/xcb.h>

namespace reloj {

namespace {

// The clock's two windows are its only tool windows; the calculator and the closing box are
// ordinary ones.
bool IsClockWindow(const QWidget& window) {
    return window.windowType() == Qt::Tool;
}

constexpr const char* kSoundPath = "/../share/reloj/sonidos/";
constexpr const char* kScaleFactorVariable = "QT_SCALE_FACTOR";
constexpr const char* kScreenScaleFactorsVariable = "QT_SCREEN_SCALE_FACTORS";
// Points are 1/72 inch; a scale of 1 stands for a 96 dpi screen.
constexpr double kPixelsPerPointUnscaled = 96.0 / 72.0;

bool OnAnyScreen(int32_t x, int32_t y) {
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [x, y](const QScreen* screen) { return screen->geometry().contains(x, y); });
}

// A pixel through Qt, for a screen the X server's own image cannot describe.
Colour GrabbedPixel(PixelPoint p) {
    QScreen* screen = QGuiApplication::screenAt(QPoint(p.x, p.y));
    if (screen == nullptr) {
        return kNoColour;
    }
    const QPoint origin = screen->geometry().topLeft();
    const QImage image = screen->grabWindow(0, p.x - origin.x(), p.y - origin.y(), 1, 1).toImage();
    if (image.isNull()) {
        return kNoColour;
    }
    const QRgb rgb = image.pixel(0, 0);
    return PackColour(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

} // namespace

QtScaleVariables TakeQtScaleVariables() {
    QtScaleVariables taken;
    for (auto [name, text] : {std::pair{kScaleFactorVariable, &taken.everyScreen},
                              std::pair{kScreenScaleFactorsVariable, &taken.screens}}) {
        if (const char* value = std::getenv(name)) {
            *text = value;
            unsetenv(name);
        }
    }
    return taken;
}

QtPlatform::QtPlatform(QtScaleVariables scaleVariables)
    : m_scaleVariables(std::move(scaleVariables)) {
    m_clockSet.Watch([this] { TimeChanged(); });
    m_zone.Watch([this] { TimeChanged(); });
}

void QtPlatform::TimeChanged() {
    for (const QPointer<QWidget>& window : m_windows) {
        if (window != nullptr) {
            for (SecondTimer* timer :
                 window->findChildren<SecondTimer*>(Qt::FindDirectChildrenOnly)) {
                timer->TimeChanged();
            }
        }
    }
}

double QtPlatform::ScreenDotsPerInchX() const {
    return QGuiApplication::primaryScreen()->logicalDotsPerInchX();
}

double QtPlatform::ScreenDotsPerInchY() const {
    return QGuiApplication::primaryScreen()->logicalDotsPerInchY();
}

std::optional<double> QtPlatform::StatedScaleFactor() const {
    const std::optional<double> everyScreen = m_scaleVariables.everyScreen
                                                  ? ParseScaleFactor(*m_scaleVariables.everyScreen)
                                                  : std::nullopt;
    std::optional<double> thisScreen;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (m_scaleVariables.screens && primary != nullptr) {
        const auto index = QGuiApplication::screens().indexOf(primary);
        thisScreen = ScreenScaleFactor(*m_scaleVariables.screens, primary->name().toStdString(),
                                       static_cast<std::size_t>(std::max<qsizetype>(index, 0)));
    }
    return reloj::StatedScaleFactor(everyScreen, thisScreen);
}

// Text in points is as large as the desktop makes it at that scale: at 200 % the letters of
// a 192 dpi screen, whichever way the desktop said so.
void QtPlatform::UseScale(double scale) {
    if (scale == 1.0) {
        return;
    }
    QFont letters = QApplication::font();
    if (letters.pointSizeF() > 0) {
        letters.setPixelSize(
            std::max(1, ScaledPixel(letters.pointSizeF() * kPixelsPerPointUnscaled, scale)));
        QApplication::setFont(letters);
    }
}

void QtPlatform::Track(QWidget* window) {
    std::erase_if(m_windows, [](const QPointer<QWidget>& gone) { return gone == nullptr; });
    m_windows.emplace_back(window);
}

std::unique_ptr<Window> QtPlatform::CreateWindow(const WindowDescription& description,
                                                 Window* owner, WindowEvents& events) {
    auto* ownerWindow = dynamic_cast<QtWindow*>(owner);
    if (!m_windowSystem) {
        m_windowSystem = ProbeWindowSystem();
    }
    auto window = std::make_unique<QtWindow>(
        description, *m_windowSystem, ownerWindow != nullptr ? ownerWindow->Widget() : nullptr,
        events);
    Track(window->Widget());
    return window;
}

std::unique_ptr<CalculatorView> QtPlatform::CreateCalculator(Window& owner,
                                                             const CalculatorLayout& layout,
                                                             CalculatorEvents& events) {
    auto* ownerWindow = dynamic_cast<QtWindow*>(&owner);
    auto calculator = std::make_unique<QtCalculator>(
        ownerWindow != nullptr ? ownerWindow->Widget() : nullptr, layout, events);
    Track(calculator->Widget());
    return calculator;
}

// Asked again only when the windows owned change: a window manager frames windows when they are
// first shown, not later.
bool QtPlatform::SiblingsUnderRoot(xcb_connection_t* connection, const QWidget* window,
                                   const std::vector<QWidget*>& owned) {
    std::vector<WId> ownedIds;
    for (const QWidget* child : owned) {
        ownedIds.push_back(child->winId());
    }
    SiblingCheck& check = m_siblingChecks[window->winId()];
    if (check.owned == ownedIds) {
        return check.siblings;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::vector<xcb_query_tree_cookie_t> asked;
    asked.push_back(xcb_query_tree(connection, static_cast<xcb_window_t>(window->winId())));
    for (WId id : ownedIds) {
        asked.push_back(xcb_query_tree(connection, static_cast<xcb_window_t>(id)));
    }
    bool siblings = true;
    for (xcb_query_tree_cookie_t cookie : asked) {
        const XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, cookie, nullptr));
        siblings = siblings && tree && tree->parent == root;
    }
    check = {std::move(ownedIds), siblings};
    return siblings;
}

// The dots own the hands, which own the calculator and the closing box. The hands go on top
// first, with what they own above them, and then the dots go just below the hands: so no
// window of the clock ever passes over one it owns, not even between two requests.
void QtPlatform::KeepOnTop(WindowHandle window) {
    QWidget* widget = QWidget::find(static_cast<WId>(window));
    if (widget == nullptr) {
        return;
    }
    const std::vector<QWidget*> owned = ShownOwnedWindows(widget);
    if (!owned.empty() && IsClockWindow(*owned.front())) {
        RaiseWithOwned(*owned.front(), ShownOwnedWindows(owned.front()));
    }
    RaiseWithOwned(*widget, owned);
}

void QtPlatform::RaiseWithOwned(QWidget& raised, const std::vector<QWidget*>& owned) {
    QWidget* widget = &raised;
    const auto window = static_cast<WindowHandle>(widget->winId());
    if (!m_stacking.NeedsRaise(static_cast<xcb_window_t>(window))) {
        return;
    }
    if (widget->isVisible()) {
        // Raising the windows it owns moves them too; that is the clock's doing, not another
        // program's, and must not call for a raise on the next tick.
        m_stacking.Raised(static_cast<xcb_window_t>(window));
        for (QWidget* child : owned) {
            m_stacking.Raised(static_cast<xcb_window_t>(child->winId()));
        }
    }
    if (owned.empty()) {
        widget->raise();
        return;
    }
    // An owned window stays above its owner: the hands above the dots, the calculator and the
    // closing box above the hands. Where no window manager has framed them, they are restacked
    // directly so that the owner never passes over what it owns, not even between two
    // requests: a clock window raised over the calculator is painted at once from the copy the
    // X server keeps of it, and the calculator would show the hands until it had repainted.
    // KeepOnTop puts the hands on top, with whatever they own above them, just before the
    // dots; so the dots only go just below the hands, in one request, which the X server
    // ignores when the order is already right.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && SiblingsUnderRoot(x11->connection(), widget, owned)) {
        // The calculator and the closing box stay on top as well, but are raised here.
        const bool ownsClockWindow = IsClockWindow(*owned.front());
        if (!ownsClockWindow) {
            for (QWidget* child : owned) {
                child->raise();
            }
        }
        const uint32_t values[] = {static_cast<uint32_t>(owned.front()->winId()),
                                   XCB_STACK_MODE_BELOW};
        xcb_configure_window(x11->connection(), static_cast<xcb_window_t>(widget->winId()),
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
        return;
    }
    // A window manager restacks framed windows as it is asked, and keeps a window it knows to
    // belong to another above that one.
    widget->raise();
    for (QWidget* child : owned) {
        child->raise();
    }
}

Colour QtPlatform::ScreenPixel(int32_t x, int32_t y) {
    return ScreenPixels({{x, y}}).front();
}

std::vector<Colour> QtPlatform::ScreenPixels(const std::vector<PixelPoint>& points) {
    const auto read = m_rootPixels.Read(points);
    std::vector<Colour> colours;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PixelPoint& p = points[i];
        // Off every screen the X server would refuse the request, and Qt's grab would say
        // black: such a point cannot be read.
        if (!OnAnyScreen(p.x, p.y)) {
            colours.push_back(kNoColour);
        } else if (read[i]) {
            colours.push_back(*read[i]);
        } else {
            colours.push_back(GrabbedPixel(p));
        }
    }
    return colours;
}

std::optional<ColourScheme> QtPlatform::ColourSchemeInsteadOfPixels() {
    if (m_rootPixels.ScreenReadable()) {
        return std::nullopt;
    }
    m_portalScheme.Follow();
    return m_portalScheme.Scheme().value_or(ColourScheme::NoPreference);
}

void QtPlatform::WatchDesktop(const std::vector<PixelPoint>& points,
                              std::function<void(DesktopChange)> changed) {
    m_desktopChanged = std::move(changed);
    const bool watching = static_cast<bool>(m_desktopChanged);
    // A window that moves or is restacked away from the clock cannot cover it: another
    // clock that keeps itself on top elsewhere on the screen must not wake this one each time.
    m_stacking.OnChange(watching ? StackingWatch::Changed([this](std::optional<QRect> place) {
        if (!place || MayCoverAWindow(*place)) {
            TellDesktopChange(DesktopChange::Stacking);
        }
    })
                                 : nullptr);
    const auto look = [this] { TellDesktopChange(DesktopChange::Look); };
    if (!watching || points.empty()) {
        m_rootPixels.Watch({}, {});
        m_portalScheme.OnChange({});
    } else if (m_rootPixels.ScreenReadable()) {
        m_rootPixels.Watch(points, look);
    } else {
        m_portalScheme.Follow();
        m_portalScheme.OnChange(look);
    }
}

bool QtPlatform::MayCoverAWindow(const QRect& place) const {
    return std::any_of(m_windows.begin(), m_windows.end(), [&](const QPointer<QWidget>& w) {
        return w != nullptr && w->isVisible() && w->frameGeometry().intersects(place);
    });
}

void QtPlatform::TellDesktopChange(DesktopChange change) {
    if (m_desktopChanged) {
        m_desktopChanged(change);
    }
}

// Straight from the C library, which QDateTime would consult anyway: the clock asks every
// second, and the shorter path is a good part of what a tick costs.
LocalTime QtPlatform::Now() const {
    constexpr int kTmYearBase = 1900;
    // localtime_r alone would keep the zone it first read; tzset reads it again, and is called
    // only when the zone file may have changed, sparing a look at the file every second.
    if (m_zone.TakeChange()) {
        tzset();
    }
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return {};
    }
    return {local.tm_year + kTmYearBase,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int64_t>(seconds)};
}

// A dialog of our own rather than QMessageBox, which wraps any text wider than half the
// screen and so broke the closing message's long rule in two.
std::vector<PixelRect> QtPlatform::ScreenAreas() const {
    return m_screens.Areas();
}

void QtPlatform::WatchScreens(std::function<void()> changed) {
    m_screens.Watch(std::move(changed));
}

void QtPlatform::MessageBox(Window& owner, const std::string& title, const std::string& text) {
    auto* ownerWindow = dynamic_cast<QtWindow*>(&owner);
    QWidget* ownerWidget = ownerWindow != nullptr ? ownerWindow->Widget() : nullptr;
    QDialog box(ownerWidget);
    KeepAboveWithOwner(box, ownerWidget);
    box.setWindowTitle(QString::fromStdString(title));
    auto* label = new QLabel(QString::fromStdString(text), &box);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(label);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.exec();
}

void QtPlatform::Quit(int status) {
    QCoreApplication::exit(status);
}

void QtPlatform::PlaySound(const std::string& path, const std::string& title) {
    m_sounds.Play(path, title);
}

std::string QtPlatform::SoundDirectory() const {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + kSoundPath).toStdString() + "/";
}

} // namespace reloj
