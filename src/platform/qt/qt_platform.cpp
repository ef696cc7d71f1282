#include "platform/qt/qt_platform.h"

#include "common/numeric.h"
#include "platform/qt/qt_form_window.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>

namespace reloj {

namespace {

constexpr double kTwipsPerInch = 1440.0;

// A screen that reports no sensible density is taken as an ordinary 96 dpi one, and no screen
// is taken as denser than one pixel per twip, so that every ratio can divide.
float TwipsPerPixel(double dotsPerInch) {
    constexpr double kOrdinaryDpi = 96.0;
    if (!(dotsPerInch > 0.0)) {
        dotsPerInch = kOrdinaryDpi;
    }
    return static_cast<float>(std::max(1.0, kTwipsPerInch / dotsPerInch));
}

} // namespace

float QtPlatform::ScreenTwipsPerPixelX() const {
    return TwipsPerPixel(QGuiApplication::primaryScreen()->logicalDotsPerInchX());
}

float QtPlatform::ScreenTwipsPerPixelY() const {
    return TwipsPerPixel(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

std::unique_ptr<FormWindow> QtPlatform::CreateForm(const FormDesign& design, FormWindow* owner,
                                                   FormEvents& events) {
    // The window converts with the same whole ratios the clock's geometry was derived with.
    return std::make_unique<QtFormWindow>(design, dynamic_cast<QtFormWindow*>(owner), events,
                                          RoundToInt32(ScreenTwipsPerPixelX()).value,
                                          RoundToInt32(ScreenTwipsPerPixelY()).value);
}

void QtPlatform::KeepOnTop(WindowHandle window) {
    if (QWidget* widget = QWidget::find(static_cast<WId>(window))) {
        widget->raise();
    }
}

} // namespace reloj
