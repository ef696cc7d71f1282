// The scale factors a desktop may state for Qt programs in the environment, read as Qt reads
// them: QT_SCALE_FACTOR, one number for every screen, and QT_SCREEN_SCALE_FACTORS, a list
// separated by ';' of numbers in the order of the screens or of name=number entries. The clock
// keeps Qt's own scaling off and scales itself instead; what counts as a usable factor is
// decided here, and what the clock does with it is the settings' business.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace reloj {

// The number a variable holds, when the whole text (blanks around it aside) is one finite
// number above zero; nothing for an empty text, garbage, zero, a negative number, an infinity
// or a number followed by anything else.
std::optional<double> ParseScaleFactor(std::string_view text);

// The entry of a QT_SCREEN_SCALE_FACTORS list for one screen: the entry that names it, or else
// the plain number at its place in the list; nothing when the list has no usable entry for it.
std::optional<double> ScreenScaleFactor(std::string_view list, std::string_view screenName,
                                        std::size_t screenIndex);

// The factor both variables state together for one screen, as Qt multiplies them; nothing when
// neither states a usable one.
std::optional<double> StatedScaleFactor(std::optional<double> everyScreen,
                                        std::optional<double> thisScreen);

} // namespace reloj
