// ParseColour turns the colour text of the command line into a colour 0x00BBGGRR. It knows
// hexadecimal (&h) and decimal numbers, the colour words of its table (English, German and
// constant names, and qbcolor(n)) and rgb triples; any other text gives -1, which is no colour.
// The result also says how the text was read, since a number such as -1 is read and yet no
// colour. What the windows do with the result, 0 (automatic colour) and -1 included, is left
// to them.
#pragma once

#include "settings/clock_state.h"

#include <string_view>

namespace reloj {

enum class ColourError {
    None,
    NotHexadecimal, // "&h" followed by something that is not a hexadecimal number
    Overflow,       // a number that does not fit 32 bits
    NotFinite,      // a number too large to be represented at all
};

// How the text was read. Only numbers can give a value outside 0 to 0xFFFFFF: words are
// colours, and a triple holds its components to 0-255.
enum class ColourForm {
    Unrecognised, // none of the forms below; the value is -1
    Hexadecimal,  // "&h" and hexadecimal digits
    Decimal,      // a plain number
    Word,         // a word of the colour table, qbcolor(n) included
    Triple,       // "rgb" with red, green and blue
};

struct ColourResult {
    Colour value = kNoColour;
    ColourError error = ColourError::None;
    ColourForm form = ColourForm::Unrecognised;

    bool ok() const { return error == ColourError::None; }
};

ColourResult ParseColour(std::string_view text);

// A short Spanish phrase for a colour error.
std::string_view DescribeColourError(ColourError error);

} // namespace reloj
