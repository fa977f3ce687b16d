#include "app/password_input.h"

#include <gtest/gtest.h>

#include <string>

namespace velorin::tool::testing {

namespace {

struct LineRead {
    std::string line;
    size_t consumed;
};

LineRead FirstLineOf(const std::string& input) {
    size_t next = 0;
    std::string line = ReadFirstLine(
        [&] { return next < input.size() ? static_cast<unsigned char>(input[next++]) : -1; });
    return {line, next};
}

TEST(AppPasswordInput, FirstLineEndsAtLfOrEndAndDropsOnlyTheCrBeforeTheLf) {
    const struct {
        std::string input;
        std::string line;
        size_t consumed;
    } cases[] = {
        {"", "", 0},
        {"\n", "", 1},
        {"admin", "admin", 5},
        {"admin\nnext\n", "admin", 6},
        {"admin\r\nnext", "admin", 7},
        {"ad\rmin\r\r\n", "ad\rmin\r", 9},
        {"admin\r", "admin\r", 6},
        {std::string("a\0b\n", 4), std::string("a\0b", 3), 4},
        {"\xE9t\xE9\n", "\xE9t\xE9", 4},
    };
    for (const auto& c : cases) {
        const LineRead read = FirstLineOf(c.input);
        EXPECT_EQ(read.line, c.line) << ::testing::PrintToString(c.input);
        EXPECT_EQ(read.consumed, c.consumed) << ::testing::PrintToString(c.input);
    }
}

TEST(AppPasswordInput, LongLineKeeps255BytesAndReadsTheRestOfItsLineOnly) {
    const std::string kept(MAX_STDIN_PASSWORD_BYTES, 'k');
    LineRead read = FirstLineOf(kept + "dropped\r\nnext\n");
    EXPECT_EQ(read.line, kept);
    EXPECT_EQ(read.consumed, kept.size() + 9);

    // The CR that stands at the limit is kept only when no LF follows it.
    const std::string almost(MAX_STDIN_PASSWORD_BYTES - 1, 'k');
    EXPECT_EQ(FirstLineOf(almost + "\r\n").line, almost);
    EXPECT_EQ(FirstLineOf(almost + "\rx\n").line, almost + "\r");
}

TEST(AppPasswordInput, LineWithoutEndStopsAtTheReadBound) {
    size_t asked = 0;
    const std::string line = ReadFirstLine([&] {
        ++asked;
        return 'z';
    });
    EXPECT_EQ(line, std::string(MAX_STDIN_PASSWORD_BYTES, 'z'));
    EXPECT_EQ(asked, MAX_STDIN_PASSWORD_LINE);
}

}  // namespace

}  // namespace velorin::tool::testing
