#include "app/clock_application.h"

namespace reloj {

ClockApplication::ClockApplication(Platform& platform)
    : m_platform(platform), m_chimes(platform), m_calculator(platform, m_chimesMuted),
      m_gestures(m_state, {.hands = [this]() -> Window& { return m_hands.PlatformWindow(); },
                           .markers = [this]() -> Window& { return m_markers.PlatformWindow(); },
                           .released = [this] { m_markers.RecordCorners(); }}),
      m_hands(m_state, platform, m_markers, m_chimes, m_calculator, m_gestures, m_chimesMuted),
      m_markers(m_state, platform, m_hands) {}

StartupReport ClockApplication::Start(std::string_view commandLine) {
    Settings settings =
        ReadSettings(commandLine, m_platform.ScreenTwipsPerPixelX(),
                     m_platform.ScreenTwipsPerPixelY(), m_platform.StatedScaleFactor());
    StartupReport report{std::move(settings.error), std::move(settings.warnings)};
    if (report.error) {
        return report;
    }
    m_state = std::move(settings.state);
    m_platform.UsePixelScale(Pixels(m_state));
    m_markers.Show();
    return report;
}

} // namespace reloj
