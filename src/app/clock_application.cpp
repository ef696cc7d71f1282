#include "app/clock_application.h"

namespace reloj {

ClockApplication::ClockApplication(Platform& platform)
    : m_platform(platform), m_chimes(platform), m_calculator(platform, m_layout, m_chimesMuted),
      m_tick(m_layout, m_state, platform, m_chimes, m_calculator, m_chimesMuted) {}

StartupReport ClockApplication::Start(std::string_view commandLine) {
    Settings settings =
        ReadSettings(commandLine, ScreenTwipsPerPixel(m_platform.ScreenDotsPerInchX()),
                     ScreenTwipsPerPixel(m_platform.ScreenDotsPerInchY()),
                     m_platform.StatedScaleFactor());
    StartupReport report{std::move(settings.error), std::move(settings.warnings)};
    if (report.error) {
        return report;
    }
    m_layout = settings.layout;
    m_state = ClockState{.clockColour = m_layout.colour};
    m_platform.UseScale(m_layout.scale);
    m_tick.Start();
    return report;
}

} // namespace reloj
