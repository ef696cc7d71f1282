#include "startup/module1.h"

namespace reloj {

Module1::Module1(Platform& platform) : m_platform(platform), m_form2(m_state, platform) {}

StartupReport Module1::Main(std::string_view commandLine) {
    Settings settings = ReadSettings(commandLine, m_platform.ScreenTwipsPerPixelX(),
                                     m_platform.ScreenTwipsPerPixelY());
    StartupReport report{std::move(settings.error), std::move(settings.warnings)};
    if (report.error) {
        return report;
    }
    m_state = std::move(settings.state);
    m_form2.Show();
    return report;
}

} // namespace reloj
