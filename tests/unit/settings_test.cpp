#include "settings/settings.h"

#include <gtest/gtest.h>
#include <limits>

namespace reloj {
namespace {

struct GeometryRow {
    const char* name;
    std::string_view commandLine;
    float ratio;
    int32_t startLeft, startTop;
    float radius;
    int32_t dotRadius, formSize, centre;
    float handReach, hourReach, tailLength, handWidth, halfHandWidth;
    int32_t handStyle;
    bool movable;
    Colour colour;
};

TEST(ReadSettings, Geometry) {
    const GeometryRow rows[] = {
        {"defaults at 15", "", 15, 10770, 75, 525, 3, 1140, 570, 30.5f, 24.399999618530273f,
         3.049999952316284f, 5.320000171661377f, 2.6600000858306885f, 1, true, 255},
        {"defaults at 12", "", 12, 8616, 60, 420, 2, 888, 444, 32, 25.600000381469727f,
         3.200000047683716f, 5.179999828338623f, 2.5899999141693115f, 1, true, 255},
        {"large clock at 15", "100|50|200|2|0|", 15, 1500, 750, 1500, 8, 3240, 1620, 88, 70.4f,
         8.8f, 15.12f, 7.56f, 2, false, 255},
        {"large clock at 12", "100|50|200|2|0|", 12, 1200, 600, 1200, 6, 2544, 1272, 91, 72.8f,
         9.1f, 14.84f, 7.42f, 2, false, 255},
        {"five fields keep the colour", "100|50|200|2|0", 15, 1500, 750, 1500, 8, 3240, 1620, 88,
         70.4f, 8.8f, 15.12f, 7.56f, 2, false, 255},
        {"zero position is kept as zero", "0|0|70|1|1|", 15, 0, 0, 525, 3, 1140, 570, 30.5f, 24.4f,
         3.05f, 5.32f, 2.66f, 1, true, 255},
        {"diameter rounds half to even", "0|0|70.5|1|1", 15, 0, 0, 529, 3, 1148, 574, 30.5f, 24.4f,
         3.05f, 5.32f, 2.66f, 1, true, 255},
        {"odd diameter halves truncate", "0|0|69|1|1", 15, 0, 0, 517, 3, 1124, 562, 29.5f, 23.6f,
         2.95f, 5.18f, 2.59f, 1, true, 255},
        {"style 1.5 is 2", "1|1|70|1.5|1", 15, 15, 15, 525, 3, 1140, 570, 30.5f, 24.4f, 3.05f,
         5.32f, 2.66f, 2, true, 255},
        {"style 2.5 is 2", "1|1|70|2.5|1", 15, 15, 15, 525, 3, 1140, 570, 30.5f, 24.4f, 3.05f,
         5.32f, 2.66f, 2, true, 255},
        {"negative position passes", "-10|-3.5|70|7|-1", 15, -150, -52, 525, 3, 1140, 570, 30.5f,
         24.4f, 3.05f, 5.32f, 2.66f, 7, true, 255},
        {"colour text", "1|1|70|1|0.1|rgb(0,0,255)", 15, 15, 15, 525, 3, 1140, 570, 30.5f, 24.4f,
         3.05f, 5.32f, 2.66f, 1, true, 0xFF0000},
        {"automatic colour", "1|1|70|1|0.0|0", 15, 15, 15, 525, 3, 1140, 570, 30.5f, 24.4f, 3.05f,
         5.32f, 2.66f, 1, false, 0},
        {"units after numbers", "100px|50px|200px|2|abc|blue", 15, 1500, 750, 1500, 8, 3240, 1620,
         88, 70.4f, 8.8f, 15.12f, 7.56f, 2, false, 0xFF0000},
        {"a clock X11 can still show", "0|0|30000|1|1", 15, 0, 0, 225000, 1125, 483750, 241875,
         13312.5f, 10650, 1331.25f, 2257.5f, 1128.75f, 1, true, 255},
        {"ratio 13", "", 13, 9334, 65, 455, 2, 962, 481, 32, 25.6f, 3.2f, 5.18f, 2.59f, 1, true,
         255},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Settings settings = ReadSettings(row.commandLine, row.ratio, row.ratio);
        ASSERT_FALSE(settings.error) << settings.error->Message();
        const ClockLayout& s = settings.layout;
        EXPECT_EQ(s.twipsPerPixelX, static_cast<int32_t>(row.ratio));
        EXPECT_EQ(s.startLeft, row.startLeft);
        EXPECT_EQ(s.startTop, row.startTop);
        EXPECT_EQ(s.radius, row.radius);
        EXPECT_EQ(s.dotRadius, row.dotRadius);
        EXPECT_EQ(s.windowSize, row.formSize);
        EXPECT_EQ(s.centreOffset, row.centre);
        EXPECT_EQ(s.handReach, row.handReach);
        EXPECT_EQ(s.hourReach, row.hourReach);
        EXPECT_EQ(s.tailLength, row.tailLength);
        EXPECT_EQ(s.handWidth, row.handWidth);
        EXPECT_EQ(s.halfHandWidth, row.halfHandWidth);
        EXPECT_EQ(s.handStyle, row.handStyle);
        EXPECT_EQ(s.movable, row.movable);
        EXPECT_EQ(s.colour, row.colour);
        EXPECT_TRUE(settings.warnings.empty());
    }
}

TEST(ReadSettings, ScreenRatioIsRounded) {
    EXPECT_EQ(ReadSettings("", 13.09f, 14.5f).layout.twipsPerPixelX, 13);
    EXPECT_EQ(ReadSettings("", 13.09f, 14.5f).layout.twipsPerPixelY, 14);
}

struct ErrorRow {
    const char* name;
    std::string_view commandLine;
    std::string_view message;
};

TEST(ReadSettings, ErrorsNameTheField) {
    const ErrorRow rows[] = {
        {"overflowing left", "1e99|0",
         "reloj: campo 1 (izquierda) «1e99»: desbordamiento: el número es demasiado grande"},
        {"infinite top", "0|1e999", "reloj: campo 2 (arriba) «1e999»: el número no es finito"},
        {"infinite movable flag", "1|1|70|1|-1e999",
         "reloj: campo 5 (movible) «-1e999»: el número no es finito"},
        {"overflowing style", "1|1|70|3e9",
         "reloj: campo 4 (estilo de las agujas) «3e9»: desbordamiento: el número es demasiado "
         "grande"},
        {"hexadecimal beyond 32 bits", "&H1FFFFFFFF",
         "reloj: campo 1 (izquierda) «&H1FFFFFFFF»: desbordamiento: el número es demasiado "
         "grande"},
        {"diameter overflowing the window size", "1|1|286331153",
         "reloj: campo 3 (diámetro) «286331153»: desbordamiento: el número es demasiado grande"},
        {"regression: no diameter", "300|20",
         "reloj: campo 3 (diámetro) «»: el reloj mediría menos de un píxel de ancho; dé un "
         "diámetro mayor"},
        {"regression: negative diameter", "0|0|-200|1|1|",
         "reloj: campo 3 (diámetro) «-200»: el reloj mediría menos de un píxel de ancho; dé "
         "un diámetro mayor"},
        {"regression: diameter of one pixel", "100|100|1|1|1|",
         "reloj: campo 3 (diámetro) «1»: el reloj mediría menos de un píxel de ancho; dé un "
         "diámetro mayor"},
        {"regression: only a left edge", "5|",
         "reloj: campo 3 (diámetro) «»: el reloj mediría menos de un píxel de ancho; dé un "
         "diámetro mayor"},
        {"regression: wider than X11 allows", "0|0|32500|1|1|",
         "reloj: campo 3 (diámetro) «32500»: el reloj mediría más de 32767 píxeles de ancho, "
         "más de lo que admite X11; dé un diámetro menor"},
        {"malformed hexadecimal colour", "1|1|70|1|1|&hzz",
         "reloj: campo 6 (color) «&hzz»: tras «&h» debe venir un número hexadecimal"},
        {"long text is cut on a character", "1|1|70|1|1|&hññññññññññññññññññññññññññññ",
         "reloj: campo 6 (color) «&hñññññññññññññññññññ…»: tras «&h» debe venir un número "
         "hexadecimal"},
        {"line feed shown as a blank", "1|1|70|1|1|&h\nz",
         "reloj: campo 6 (color) «&h z»: tras «&h» debe venir un número hexadecimal"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Settings settings = ReadSettings(row.commandLine, 15, 15);
        ASSERT_TRUE(settings.error);
        EXPECT_EQ(settings.error->Message(), row.message);
    }
}

struct LayoutRow {
    const char* name;
    float ratio; // the screen's twips per pixel: 1440 / dpi
    std::optional<double> stated;
    ScreenLayout layout;
};

TEST(ChooseLayout, DenseScreensAreLaidOutAt96DpiAndScaled) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const LayoutRow rows[] = {
        {"96 dpi", 15, std::nullopt, {15, 15, 1.0}},
        {"120 dpi: the densest screen with its own ratio", 12, std::nullopt, {12, 12, 1.0}},
        {"110 dpi keeps its ratio unrounded", 13.09f, std::nullopt, {13.09f, 13.09f, 1.0}},
        {"144 dpi", 10, std::nullopt, {15, 15, 1.5}},
        {"192 dpi", 7.5f, std::nullopt, {15, 15, 2.0}},
        {"240 dpi", 6, std::nullopt, {15, 15, 2.5}},
        {"just above 120 dpi", 11.9f, std::nullopt, {15, 15, 15.0 / 11.9f}},
        {"absurd dpi is at most 8 times", 1, std::nullopt, {15, 15, kLargestScale}},
        {"Qt's factor 2 at 96 dpi", 15, 2.0, {15, 15, 2.0}},
        {"Qt's factor 1.5 at 96 dpi", 15, 1.5, {15, 15, 1.5}},
        {"Qt's factor 2 at 120 dpi", 12, 2.0, {15, 15, 2.0}},
        {"Qt's factor is not multiplied by the dpi's", 7.5f, 2.0, {15, 15, 2.0}},
        {"Qt's factor 1 at 192 dpi: the 96 dpi clock", 7.5f, 1.0, {15, 15, 1.0}},
        {"Qt's factor 1.25 at 96 dpi changes nothing", 15, 1.25, {15, 15, 1.0}},
        {"Qt's factor 1.25 at 120 dpi changes nothing", 12, 1.25, {12, 12, 1.0}},
        {"Qt's factor below 1 does not shrink a dense clock", 7.5f, 0.5, {15, 15, 1.0}},
        {"Qt's factor below 1 leaves a plain screen alone", 15, 0.5, {15, 15, 1.0}},
        {"a huge factor is at most 8", 15, 1e300, {15, 15, kLargestScale}},
        {"a factor that is not a number is none", 7.5f, nan, {15, 15, 1.0}},
    };
    for (const LayoutRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ChooseLayout(row.ratio, row.ratio, row.stated), row.layout);
    }
    // One dense axis is enough, and the denser one gives the factor.
    EXPECT_EQ(ChooseLayout(15, 7.5f, std::nullopt), (ScreenLayout{15, 15, 2.0}));
}

// At 144 and 192 dpi, or with Qt's factor, the clock's twips are exactly those of the 96 dpi
// clock; only the scale differs.
TEST(ReadSettings, DenseScreenGeometryIsThe96DpiOne) {
    for (const std::string_view line : {"", "100|50|200|2|0|", "0|0|70.5|1|1"}) {
        const ClockLayout plain = ReadSettings(line, 15, 15).layout;
        const struct {
            const char* name;
            float ratio;
            std::optional<double> stated;
            double scale;
        } rows[] = {{"144 dpi", 10, std::nullopt, 1.5},
                    {"192 dpi", 7.5f, std::nullopt, 2.0},
                    {"QT_SCALE_FACTOR 2", 15, 2.0, 2.0}};
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(line) + " at " + row.name);
            const Settings dense = ReadSettings(line, row.ratio, row.ratio, row.stated);
            ASSERT_FALSE(dense.error) << dense.error->Message();
            const ClockLayout& s = dense.layout;
            EXPECT_EQ(s.scale, row.scale);
            EXPECT_EQ(s.twipsPerPixelX, 15);
            EXPECT_EQ(s.twipsPerPixelY, 15);
            EXPECT_EQ(s.startLeft, plain.startLeft);
            EXPECT_EQ(s.startTop, plain.startTop);
            EXPECT_EQ(s.radius, plain.radius);
            EXPECT_EQ(s.dotRadius, plain.dotRadius);
            EXPECT_EQ(s.windowSize, plain.windowSize);
            EXPECT_EQ(s.handReach, plain.handReach);
            EXPECT_EQ(s.hourReach, plain.hourReach);
            EXPECT_EQ(s.handWidth, plain.handWidth);
        }
    }
    EXPECT_EQ(ReadSettings("", 12, 12).layout.scale, 1.0);
}

TEST(ReadSettings, TheWidthLimitIsInTheScreensPixels) {
    // 30000 pixels fit at 96 dpi, not at 200 %.
    EXPECT_FALSE(ReadSettings("0|0|30000|1|1", 15, 15).error);
    const Settings dense = ReadSettings("0|0|30000|1|1", 7.5f, 7.5f);
    ASSERT_TRUE(dense.error);
    EXPECT_EQ(dense.error->field, kDiameterField);
    EXPECT_FALSE(ReadSettings("0|0|15000|1|1", 7.5f, 7.5f).error);
}

TEST(ReadSettings, ScreenTooDenseForTheDefaults) {
    const Settings settings = ReadSettings("", 3e6f, 15);
    ASSERT_TRUE(settings.error);
    EXPECT_EQ(settings.error->field, kScreenField);
}

TEST(ReadSettings, UnrecognisedColourWarnsAndShowsRed) {
    const Settings settings = ReadSettings("1|1|70|1|1|purple", 15, 15);
    ASSERT_FALSE(settings.error);
    EXPECT_EQ(settings.layout.colour, -1);
    ASSERT_EQ(settings.warnings.size(), 1u);
    EXPECT_EQ(settings.warnings[0],
              "reloj: aviso: color «purple» no reconocido; se muestra el rojo");
    EXPECT_EQ(ShownColour(settings.layout.colour), 255);
}

struct ColourWarningRow {
    const char* name;
    const char* colourText;
    Colour clockColour;
    const char* warning; // nullptr: none
};

// A colour that cannot be shown is a warning, never an error: the clock shows red and runs.
TEST(ReadSettings, ColourWarnings) {
    const ColourWarningRow rows[] = {
        {"unknown word", "purple", -1,
         "reloj: aviso: color «purple» no reconocido; se muestra el rojo"},
        {"ampersand alone", "&", -1, "reloj: aviso: color «&» no reconocido; se muestra el rojo"},
        {"rgb without a comma", "rgb", -1,
         "reloj: aviso: color «rgb» no reconocido; se muestra el rojo"},
        {"regression: typed -1 was called unrecognised", "-1", -1,
         "reloj: aviso: el valor «-1» no es un color (los colores van de 0 a &HFFFFFF); se "
         "muestra el rojo"},
        {"regression: &hFFFFFFFF was called unrecognised", "&hFFFFFFFF", -1,
         "reloj: aviso: el valor «&hFFFFFFFF» no es un color (los colores van de 0 a "
         "&HFFFFFF); se muestra el rojo"},
        {"value named as typed", "&HFFFFFFFF&", -1,
         "reloj: aviso: el valor «&HFFFFFFFF&» no es un color (los colores van de 0 a "
         "&HFFFFFF); se muestra el rojo"},
        {"other negative", "-2", -2,
         "reloj: aviso: el valor «-2» no es un color (los colores van de 0 a &HFFFFFF); se "
         "muestra el rojo"},
        {"one above full white", "16777216", 16777216,
         "reloj: aviso: el valor «16777216» no es un color (los colores van de 0 a &HFFFFFF); "
         "se muestra el rojo"},
        {"seven hexadecimal digits", "&h1000000", 16777216,
         "reloj: aviso: el valor «&h1000000» no es un color (los colores van de 0 a "
         "&HFFFFFF); se muestra el rojo"},
        {"sign bit", "&h80000000", -2147483647 - 1,
         "reloj: aviso: el valor «&h80000000» no es un color (los colores van de 0 a "
         "&HFFFFFF); se muestra el rojo"},
        {"full white", "&hFFFFFF", 16777215, nullptr},
        {"fraction rounding to black is the automatic colour", "-0.4", 0, nullptr},
        {"component above 255 counts as 255", "rgb(300,0,0)", 255, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Settings settings = ReadSettings(std::string("1|1|70|1|1|") + row.colourText, 15, 15);
        ASSERT_FALSE(settings.error);
        EXPECT_EQ(settings.layout.colour, row.clockColour);
        if (row.warning == nullptr) {
            EXPECT_TRUE(settings.warnings.empty());
        } else {
            ASSERT_EQ(settings.warnings.size(), 1u);
            EXPECT_EQ(settings.warnings[0], row.warning);
            EXPECT_EQ(ShownColour(settings.layout.colour), kDefaultColour);
        }
    }
}

TEST(ShownColour, OnlyRgbValuesShowAsThemselves) {
    EXPECT_EQ(ShownColour(0), 0);
    EXPECT_EQ(ShownColour(0xFFFFFF), 0xFFFFFF);
    EXPECT_EQ(ShownColour(0x1000000), 255);
    EXPECT_EQ(ShownColour(-1), 255);
}

} // namespace
} // namespace reloj
