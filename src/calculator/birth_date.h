// Reads the birth date typed into the calculator box and builds the caption
// that states the elapsed time in Spanish. The box is re-read every second,
// so a text that is not yet ten characters long is ignored rather than
// reported; computing the elapsed time itself is left to elapsed.h.
#pragma once

#include "calculator/elapsed.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace reloj {

struct BirthDateText {
    enum class Kind {
        Ignored, // not ten characters long: the caption is left as it was
        Invalid, // ten characters, but not a real day/month/year date
        Valid,
    };

    Kind kind = Kind::Ignored;
    // Meaningful only when kind is Valid.
    std::chrono::year_month_day date{};
    // Meaningful only when kind is Invalid: the 0-based character (code
    // point) position of the first offending character, or the first
    // character of the field at fault.
    std::size_t errorPosition = 0;
};

// Reads a UTF-8 text as "dd/mm/yyyy". Length is counted in characters, not
// bytes, so "2ñ/05/2000" is a ten-character text (and an invalid date).
// "-" and "." are accepted as separators as well as "/", but both separators
// must be the same character: "20/05-2000" is invalid at position 5.
// Every position must hold a digit or separator; then the month must be 1 to
// 12, the year 0001 to 9999, and the day must exist in that month and year
// (29/02/2000 is valid, 29/02/2001 is not). A day of 00 or above 31 is
// blamed on the day at once; a day missing only from that particular month
// is blamed on the day after the month and year have been checked.
// Malformed UTF-8 bytes count as one character each and are never valid.
BirthDateText ReadBirthDate(std::string_view utf8Text);

// "2 Años, 9 Meses Y 18 Días." Numbers are written in plain decimal, with
// a leading '-' when negative; the words never change with the number.
std::string ElapsedCaption(const Elapsed& elapsed);

inline constexpr std::string_view kInvalidDateCaption = "Fecha no válida.";

} // namespace reloj
