#include "settings/parse_colour.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct ColourRow {
    const char* name;
    std::string_view text;
    Colour expected;
    ColourError error = ColourError::None;
};

TEST(ParseColour, Table) {
    const ColourRow rows[] = {
        // Words, in any case, with blanks around.
        {"English word", "Red", 255},
        {"German word", "rot", 255},
        {"upper case with blanks", " ROT ", 255},
        {"umlaut upper case", "GRÜN", 65280},
        {"umlaut spelled out", "gruen", 65280},
        {"sharp s", "Weiß", 16579836},
        {"WEISS", "WEISS", 16579836},
        {"white is not full white", "white", 16579836},
        {"constant name", "vbMagenta", 16711935},
        {"black word", "black", 0},
        {"black in German", "schwarz", 0},
        {"tab is not trimmed", "\tred", -1},
        // qbcolor(n) is the table's, not the right-button palette.
        {"qbcolor 8 is black", "qbcolor(8)", 0},
        {"qbcolor 9 is red", "qbcolor(9)", 255},
        {"qbcolor 12 is blue", "qbcolor(12)", 16711680},
        {"qbcolor 11 is yellow", "qbcolor(11)", 65535},
        {"qbcolor 14 is cyan", "qbcolor(14)", 16776960},
        {"qbcolor 15 is full white", "QBColor(15)", 16777215},
        {"qbcolor with blanks inside", "qbcolor( 9 )", -1},
        {"qbcolor out of range", "qbcolor(16)", -1},
        {"unknown word", "purple", -1},
        {"unknown constant", "vbgrey", -1},
        {"ampersand alone", "&", -1},
        {"not a number, not a word", "inf", -1},
        // Numbers.
        {"zero", "0", 0},
        {"number with trailing ampersand", "255&", 255},
        {"half to even down", "12.5", 12},
        {"half to even up", "13.5", 14},
        {"negative passes", "-1", -1},
        {"blanks around a number", " 42 ", 42},
        {"exponent", "1e3", 1000},
        {"too large", "2147483648", -1, ColourError::Overflow},
        {"far too large", "1e99", -1, ColourError::Overflow},
        {"not finite", "1e999", -1, ColourError::NotFinite},
        // Hexadecimal.
        {"hexadecimal with trailing ampersand", "&HFF&", 255},
        {"hexadecimal green", "&h00ff00", 65280},
        {"six digits", "&hFFFFFF", 16777215},
        {"seven digits", "&hFFFFFFF", 268435455},
        {"eight digits wrap", "&hFFFFFFFF", -1},
        {"sign bit", "&h80000000", -2147483647 - 1},
        {"leading zeros do not count", "&h00000000FF", 255},
        {"nine digits", "&h100000000", -1, ColourError::Overflow},
        {"no digits", "&h", -1, ColourError::NotHexadecimal},
        {"no digits after dropping the ampersand", "&h&", -1, ColourError::NotHexadecimal},
        {"not hexadecimal", "&hzz", -1, ColourError::NotHexadecimal},
        {"hexadecimal then junk", "&h12g", -1, ColourError::NotHexadecimal},
        {"blank before &h is no hexadecimal", " &hff", -1},
        // Triples: each component is the number between its delimiters, held to 0-255.
        {"triple", "rgb(255,128,064)", 4227327},
        {"triple upper case", "RGB(000,128,255)", 16744448},
        {"regression: two-digit red", "rgb(64,128,255)", 16744512},
        {"blank before red", "rgb( 64,128,255)", 16744512},
        {"regression: blanks after commas", "rgb(255, 128, 0)", 33023},
        {"no blue", "rgb(255,0)", 255},
        {"red held to 255", "rgb(300,0,0)", 255},
        {"regression: huge component", "rgb(9e9,0,0)", 255},
        {"negative held to 0", "rgb(-5,7,0)", 7 * 256},
        {"halves to even", "rgb(2.5,3.5,0)", 2 + 4 * 256},
        {"without parenthesis", "rgb 1,2,3", 1 + 2 * 256 + 3 * 65536},
        {"hexadecimal component", "rgb(&hff,0,0)", 255},
        {"extra component ignored", "rgb(1,2,3,4)", 1 + 2 * 256 + 3 * 65536},
        {"regression: no comma", "rgb", -1},
        {"regression: no comma, blanks", "rgb 255 0 0", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = ParseColour(row.text);
        EXPECT_EQ(result.error, row.error);
        if (row.error == ColourError::None) {
            EXPECT_EQ(result.value, row.expected);
        }
    }
}

struct FormRow {
    const char* name;
    std::string_view text;
    Colour expected;
    ColourForm form;
};

// How a text was read, so that start-up can tell a number that is no colour from a text it
// could not read at all: both can give -1.
TEST(ParseColour, HowTheTextWasRead) {
    const FormRow rows[] = {
        {"issue: typed -1", "-1", -1, ColourForm::Decimal},
        {"issue: eight hexadecimal digits", "&hFFFFFFFF", -1, ColourForm::Hexadecimal},
        {"eight digits with trailing ampersand", "&HFFFFFFFF&", -1, ColourForm::Hexadecimal},
        {"fraction rounding to -1", "-0.6", -1, ColourForm::Decimal},
        {"fraction rounding to black", "-0.4", 0, ColourForm::Decimal},
        {"one above full white", "16777216", 16777216, ColourForm::Decimal},
        {"half rounding above full white", "16777215.5", 16777216, ColourForm::Decimal},
        {"seven hexadecimal digits", "&h1000000", 16777216, ColourForm::Hexadecimal},
        {"full white in hexadecimal", "&hFFFFFF", 16777215, ColourForm::Hexadecimal},
        {"word", "Rot", 255, ColourForm::Word},
        {"palette index", "qbcolor(15)", 16777215, ColourForm::Word},
        {"component held to 255", "rgb(300,0,0)", 255, ColourForm::Triple},
        {"no triple without a comma", "rgb 255 0 0", -1, ColourForm::Unrecognised},
        {"unknown word", "purple", -1, ColourForm::Unrecognised},
        {"ampersand alone", "&", -1, ColourForm::Unrecognised},
        {"not a number", "nan", -1, ColourForm::Unrecognised},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = ParseColour(row.text);
        EXPECT_TRUE(result.ok());
        EXPECT_EQ(result.value, row.expected);
        EXPECT_EQ(result.form, row.form);
    }
}

TEST(ParseColour, InvalidUtf8IsUnrecognised) {
    EXPECT_EQ(ParseColour("\xff\xfe").value, -1);
    EXPECT_EQ(ParseColour("rgb(\xc3,1,2)").value, 1 * 256 + 2 * 65536);
}

} // namespace
} // namespace reloj
