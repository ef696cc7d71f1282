// The message box that closes the clock: its title and its ten lines of credits and help.
// The contact address and the two web addresses live here and nowhere else, so that a
// packager can change them in one place.
#pragma once

#include <string>

namespace reloj {

inline constexpr const char* kClosingTitle = "^Quorvix^ Velmaro....";

inline constexpr const char* kContactAddress = "reloj@example.org";
inline constexpr const char* kHomePage = "https://www.example.org/reloj/";
inline constexpr const char* kDownloadPage = "https://descargas.example.org/reloj/";

// Ten lines joined by single line feeds, none before the first or after the last.
std::string ClosingMessage();

} // namespace reloj
