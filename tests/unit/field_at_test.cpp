#include "settings/field_at.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct FieldRow {
    const char* name;
    std::string_view text;
    int32_t index;
    std::string_view expected;
};

TEST(FieldAt, Table) {
    const FieldRow rows[] = {
        {"first field", "a|b|c", 1, "a"},
        {"middle field", "a|b|c", 2, "b"},
        {"last field", "a|b|c", 3, "c"},
        {"beyond the last", "a|b|c", 4, ""},
        {"far beyond the last", "a|b|c", 40, ""},
        {"empty between separators", "a||c", 2, ""},
        {"trailing empty field", "100|50|200|2|0|", 6, ""},
        {"absent sixth field", "100|50|200|2|0", 6, ""},
        {"empty text, first field", "", 1, ""},
        {"empty text, third field", "", 3, ""},
        {"index zero", "a|b", 0, ""},
        {"negative index", "a|b", -3, ""},
        {"multibyte text stays whole", "ñ|grün|x", 2, "grün"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FieldAt(row.text, "|", row.index), row.expected);
    }
}

TEST(FieldAt, LongerAndEmptySeparators) {
    EXPECT_EQ(FieldAt("a<>b<>c", "<>", 2), "b");
    EXPECT_EQ(FieldAt("abc", "", 1), "");
}

} // namespace
} // namespace reloj
