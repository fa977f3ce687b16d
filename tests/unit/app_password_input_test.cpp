#include "app/password_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velorin::tool::testing {

namespace {

const std::string kMark = "\xEF\xBB\xBF";

struct LineRead {
    std::string line;
    size_t consumed;
    bool unreadable = false;
};

// A source that gives the bytes of `input`, then `end` (the end, or a failure).
LineRead FirstLineOf(const std::string& input, bool skipMark = false, int end = STDIN_END) {
    size_t next = 0;
    const std::function<int()> source = [&] {
        return next < input.size() ? static_cast<unsigned char>(input[next++]) : end;
    };
    const StdinLine line =
        skipMark ? ReadFirstLine(WithoutByteOrderMark(source)) : ReadFirstLine(source);
    return {line.text, next, line.unreadable};
}

TEST(AppPasswordInput, FirstLineEndsAtLfOrEndAndDropsTheCrBeforeEither) {
    const struct {
        std::string input;
        std::string line;
        size_t consumed;
    } cases[] = {
        {"", "", 0},
        {"\n", "", 1},
        {"\r", "", 1},
        {"admin", "admin", 5},
        {"admin\nnext\n", "admin", 6},
        {"admin\r\nnext", "admin", 7},
        {"ad\rmin\r\r\n", "ad\rmin\r", 9},
        {"admin\r", "admin", 6},
        {"admin\r\r", "admin\r", 7},
        {"ad\tmin\x1B\n", "ad\tmin\x1B", 8},
        {std::string("a\0b\n", 4), std::string("a\0b", 3), 4},
        {"\xE9t\xE9\n", "\xE9t\xE9", 4},
        // Without the mark source, the mark is text like any other.
        {kMark + "admin\n", kMark + "admin", 9},
    };
    for (const auto& c : cases) {
        const LineRead read = FirstLineOf(c.input);
        EXPECT_EQ(read.line, c.line) << ::testing::PrintToString(c.input);
        EXPECT_EQ(read.consumed, c.consumed) << ::testing::PrintToString(c.input);
        EXPECT_FALSE(read.unreadable);
    }
}

// Only the whole mark at the very start goes; the bytes read to tell stay in the line, and
// nothing past the line's LF is asked for.
TEST(AppPasswordInput, ByteOrderMarkAtTheStartIsDropped) {
    const struct {
        std::string input;
        std::string line;
        size_t consumed;
    } cases[] = {
        {kMark + "admin\r\nnext\n", "admin", 10},
        {kMark, "", 3},
        {kMark + "\n" + kMark, "", 4},
        {kMark + kMark + "x", kMark + "x", 7},
        {"\xEF\xBB", "\xEF\xBB", 2},
        {"\xEF\n\n", "\xEF", 2},
        {"\xEF\xBB\n\n", "\xEF\xBB", 3},
        {"\xEF\xBBx\n", "\xEF\xBBx", 4},
        {"\xEFx\n", "\xEFx", 3},
        {"admin\nnext", "admin", 6},
        {"a" + kMark + "\n", "a" + kMark, 5},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        const LineRead read = FirstLineOf(c.input, true);
        EXPECT_EQ(read.line, c.line) << ::testing::PrintToString(c.input);
        EXPECT_EQ(read.consumed, c.consumed) << ::testing::PrintToString(c.input);
    }
}

// A failure anywhere in the line, the mark included, leaves no text: a half-read line is no
// password, and neither is an input that could not be read at all.
TEST(AppPasswordInput, FailedReadGivesNoLine) {
    for (const std::string& input :
         {std::string(), std::string("adm"), kMark.substr(0, 2), kMark + "admin"}) {
        for (const bool skipMark : {false, true}) {
            const LineRead read = FirstLineOf(input, skipMark, STDIN_UNREADABLE);
            EXPECT_TRUE(read.unreadable) << ::testing::PrintToString(input);
            EXPECT_EQ(read.line, "") << ::testing::PrintToString(input);
        }
    }
    // A failure after the LF is never asked for.
    const LineRead read = FirstLineOf("admin\n", true, STDIN_UNREADABLE);
    EXPECT_FALSE(read.unreadable);
    EXPECT_EQ(read.line, "admin");
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
    EXPECT_EQ(FirstLineOf(almost + "\r").line, almost);
}

TEST(AppPasswordInput, LineWithoutEndStopsAtTheReadBound) {
    size_t asked = 0;
    const std::string line = ReadFirstLine([&] {
                                 ++asked;
                                 return 'z';
                             }).text;
    EXPECT_EQ(line, std::string(MAX_STDIN_PASSWORD_BYTES, 'z'));
    EXPECT_EQ(asked, MAX_STDIN_PASSWORD_LINE);
}

#ifndef _WIN32
// With descriptor 0 closed, a file the process opens later would become standard input; held,
// the file gets another descriptor and the password read fails instead of reading the file.
TEST(AppPasswordInput, ClosedStandardInputIsNeverAFileOpenedLater) {
    const std::string path = ::testing::TempDir() + "/app-password-input-held.txt";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << "admin\n";
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(STDIN_FILENO);
        HoldClosedStandardInput();
        const int file = open(path.c_str(), O_RDONLY);
        const StdinPasswords read = ReadPasswordsFromStdin(true, false);
        _exit(file == STDIN_FILENO ? 2 : (!read.unreadable || !read.current.empty()) ? 3 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::remove(path.c_str());
}
#endif

}  // namespace

}  // namespace velorin::tool::testing
