#include "clock/window_place.h"

namespace reloj {

WindowPlace::WindowPlace(Window& window, const PixelScale& pixels)
    : m_window(window), m_pixels(pixels) {}

float WindowPlace::KeptX(const std::optional<float>& asked, int32_t pixels) const {
    return asked && m_pixels.DeviceX(*asked) == pixels ? *asked : m_pixels.TwipsX(pixels);
}

float WindowPlace::KeptY(const std::optional<float>& asked, int32_t pixels) const {
    return asked && m_pixels.DeviceY(*asked) == pixels ? *asked : m_pixels.TwipsY(pixels);
}

float WindowPlace::Left() const {
    return KeptX(m_left, m_window.Frame().left);
}

float WindowPlace::Top() const {
    return KeptY(m_top, m_window.Frame().top);
}

float WindowPlace::Width() const {
    const PixelRect frame = m_window.Frame();
    return KeptX(m_width, frame.right - frame.left);
}

float WindowPlace::Height() const {
    const PixelRect frame = m_window.Frame();
    return KeptY(m_height, frame.bottom - frame.top);
}

void WindowPlace::Move(float left, float top) {
    m_left = left;
    m_top = top;
    m_window.MoveTo({m_pixels.DeviceX(left), m_pixels.DeviceY(top)});
}

void WindowPlace::Move(float left, float top, float width, float height) {
    Move(left, top);
    m_width = width;
    m_height = height;
    m_window.Resize(m_pixels.DeviceX(width), m_pixels.DeviceY(height));
}

} // namespace reloj
