// ParseColour turns the colour text of the command line into a colour 0x00BBGGRR. It knows
// hexadecimal (&h) and decimal numbers, the colour words of its table (English, German and
// constant names, and qbcolor(n)) and rgb triples; any other text gives -1, which is no colour.
// What the windows do with the result, 0 (automatic colour) and -1 included, is left to them.
#pragma once

#include "startup/clock_state.h"

#include <string_view>

namespace reloj {

enum class ColourError {
    None,
    NotHexadecimal, // "&h" followed by something that is not a hexadecimal number
    Overflow,       // a number that does not fit 32 bits
    NotFinite,      // a number too large to be represented at all
};

struct ColourResult {
    Colour value = kNoColour;
    ColourError error = ColourError::None;

    bool ok() const { return error == ColourError::None; }
};

ColourResult ParseColour(std::string_view text);

// A short Spanish phrase for a colour error.
std::string_view DescribeColourError(ColourError error);

} // namespace reloj
