#include "core/scale_factor.h"

#include <charconv>
#include <cmath>

namespace reloj {

namespace {

constexpr char kEntrySeparator = ';';
constexpr char kNameSeparator = '=';
constexpr std::string_view kBlanks = " \t\n\r\f\v";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

std::optional<double> ParseScaleFactor(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || !std::isfinite(value) ||
        !(value > 0.0)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ScreenScaleFactor(std::string_view list, std::string_view screenName,
                                        std::size_t screenIndex) {
    std::optional<double> byPlace;
    std::size_t index = 0;
    while (true) {
        const std::size_t end = list.find(kEntrySeparator);
        const std::string_view entry = list.substr(0, end);
        const std::size_t equals = entry.find(kNameSeparator);
        if (equals != std::string_view::npos) {
            if (!screenName.empty() && Trimmed(entry.substr(0, equals)) == screenName) {
                return ParseScaleFactor(entry.substr(equals + 1));
            }
        } else if (index == screenIndex) {
            byPlace = ParseScaleFactor(entry);
        }
        if (end == std::string_view::npos) {
            return byPlace;
        }
        list.remove_prefix(end + 1);
        ++index;
    }
}

std::optional<double> StatedScaleFactor(std::optional<double> everyScreen,
                                        std::optional<double> thisScreen) {
    if (!everyScreen && !thisScreen) {
        return std::nullopt;
    }
    return everyScreen.value_or(1.0) * thisScreen.value_or(1.0);
}

} // namespace reloj
