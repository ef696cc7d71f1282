#include "clock/closing_message.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace reloj {
namespace {

TEST(ClosingMessage, TenLinesJoinedByLineFeeds) {
    const std::string text = ClosingMessage();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        lines.push_back(text.substr(from, at - from));
    }
    lines.push_back(text.substr(from));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], std::string("reloj ") + RELOJ_VERSION);
    EXPECT_EQ(lines[1], "Email: reloj@example.org Para Dudas");
    EXPECT_NE(lines[2].find("example.org"), std::string::npos);
    EXPECT_NE(lines[3].find("example.org"), std::string::npos);
    EXPECT_EQ(lines[4].size(), 115u);
    EXPECT_EQ(lines[4].substr(43, 25), "A-----Y-----U-----D-----A");
    EXPECT_EQ(lines[4].find_first_not_of('-'), 43u);
    EXPECT_EQ(lines[9], "Sale Del Programa.");
}

} // namespace
} // namespace reloj
