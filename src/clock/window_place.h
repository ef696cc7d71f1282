// WindowPlace keeps a clock window's place and size in the clock's twips, over a window that
// the platform places in screen pixels. The twips asked for are kept as long as the window
// still stands on the pixel they give, so that a place such as 100 twips (6 pixels and a
// remainder at 15 twips a pixel) keeps its remainder through a drag; once the window stands
// elsewhere (a window manager moved it), the twips of the pixel it stands on count instead.
// What the window shows, and when it is moved, is its owner's business.
#pragma once

#include "core/twips.h"
#include "platform/platform.h"

#include <optional>

namespace reloj {

class WindowPlace {
  public:
    WindowPlace(Window& window, const PixelScale& pixels);

    float Left() const;
    float Top() const;
    float Width() const;
    float Height() const;

    void Move(float left, float top);
    void Move(float left, float top, float width, float height);

    // A position the window reports in screen pixels, in twips.
    float TwipsX(double pixels) const { return m_pixels.TwipsX(pixels); }
    float TwipsY(double pixels) const { return m_pixels.TwipsY(pixels); }

  private:
    float KeptX(const std::optional<float>& asked, int32_t pixels) const;
    float KeptY(const std::optional<float>& asked, int32_t pixels) const;

    Window& m_window;
    PixelScale m_pixels;
    std::optional<float> m_left, m_top, m_width, m_height;
};

} // namespace reloj
