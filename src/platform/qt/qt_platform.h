// The platform on Qt with the xcb (X11) backend: screen ratios from the logical dots per inch,
// windows as QtFormWindow, topmost placement by raising the window. It holds no clock logic.
#pragma once

#include "platform/platform.h"

namespace reloj {

class QtPlatform final : public Platform {
  public:
    float ScreenTwipsPerPixelX() const override;
    float ScreenTwipsPerPixelY() const override;
    std::unique_ptr<FormWindow> CreateForm(const FormDesign& design, FormWindow* owner,
                                           FormEvents& events) override;
    void KeepOnTop(WindowHandle window) override;
};

} // namespace reloj
