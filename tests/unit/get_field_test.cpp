#include "startup/get_field.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct FieldRow {
    const char* name;
    std::string_view text;
    int32_t index;
    int32_t last;
    std::string_view expected;
    int32_t lastAfter;
};

TEST(GetField, Table) {
    const FieldRow rows[] = {
        {"first field", "a|b|c", 1, -1, "a", 1},
        {"middle field", "a|b|c", 2, -1, "b", 2},
        {"last field", "a|b|c", 3, -1, "c", 3},
        {"beyond the last", "a|b|c", 4, -1, "", 4},
        {"far beyond the last", "a|b|c", 40, -1, "", 40},
        {"empty between separators", "a||c", 2, -1, "", 2},
        {"trailing empty field", "100|50|200|2|0|", 6, -1, "", 6},
        {"absent sixth field", "100|50|200|2|0", 6, -1, "", 6},
        {"run of fields", "a|b|c|d", 1, 3, "b|c", 3},
        {"run back to front", "a|b|c|d", 3, 1, "", 1},
        {"run to the end", "a|b|c|d", 2, 9, "c|d", 9},
        {"empty text, first field", "", 1, -1, "", 1},
        {"empty text, third field", "", 3, -1, "", 3},
        {"index zero", "a|b", 0, -1, "", 0},
        {"negative index", "a|b", -3, -1, "", -3},
        {"multibyte text stays whole", "ñ|grün|x", 2, -1, "grün", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        int32_t last = row.last;
        EXPECT_EQ(GetField(row.text, "|", row.index, last), row.expected);
        EXPECT_EQ(last, row.lastAfter);
    }
}

TEST(GetField, LongerAndEmptySeparators) {
    int32_t last = -1;
    EXPECT_EQ(GetField("a<>b<>c", "<>", 2, last), "b");
    last = -1;
    EXPECT_EQ(GetField("abc", "", 1, last), "");
}

} // namespace
} // namespace reloj
