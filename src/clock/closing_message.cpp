#include "clock/closing_message.h"

#include <array>
#include <string_view>

namespace reloj {

namespace {
constexpr std::size_t kRuleLead = 43;
constexpr std::size_t kRuleTail = 47;
constexpr std::string_view kRuleWord = "A-----Y-----U-----D-----A";
} // namespace

std::string ClosingMessage() {
    const std::array<std::string, 10> lines{
        std::string("reloj ") + RELOJ_VERSION,
        std::string("Email: ") + kContactAddress + " Para Dudas",
        kHomePage,
        kDownloadPage,
        std::string(kRuleLead, '-') + std::string(kRuleWord) + std::string(kRuleTail, '-'),
        "1. Click En Boton Derecho En Centro Del Reloj; Cambia El Color Del Reloj.",
        "2. Doble Click En Centro Del Reloj Muestra El Tiempo Transcurrido De Una",
        "Fecha Dada A Fecha Actual.",
        "3. Boton De Ratón Pulsado En Centro De Reloj Durante 5 Segundos",
        "Sale Del Programa.",
    };
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) {
            text += '\n';
        }
        text += line;
    }
    return text;
}

} // namespace reloj
