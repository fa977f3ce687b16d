#include "apply/input_reader.h"

#include "apply_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using apply_test::TempPath;
using apply_test::WriteTempFile;
using Lines = std::vector<std::string>;

const std::string kMax(MAX_LINE_LENGTH, 'x');
const std::string kMegabyte(size_t{1} << 20, 'm');
const std::string kMegabyteHead(MAX_LINE_LENGTH, 'm');

struct ReadCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

class ApplyReadLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ApplyReadLines, SplitsFileIntoBoundedLines) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(ReadLines(WriteTempFile("input.txt", c.bytes)), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ApplyReadLines,
    ::testing::Values(
        ReadCase{"CrLfEnds", "+++A\r\n*B\r\n\r\n", {"+++A", "*B", "", ""}},
        ReadCase{"LfEnds", "+++A\n*B\n\n", {"+++A", "*B", "", ""}},
        ReadCase{"MixedEnds", "a\r\nb\nc", {"a", "b", "c"}},
        ReadCase{"NoFinalLineFeed", "a\nb", {"a", "b"}},
        ReadCase{"FinalLineFeedGivesEmptyLine", "a\n", {"a", ""}},
        ReadCase{"ZeroBytesGiveOneEmptyLine", "", {""}}, ReadCase{"OnlyLineFeed", "\n", {"", ""}},
        ReadCase{"NulEndsText", std::string("ab\0cd\nef", 8), {"ab", "ef"}},
        ReadCase{"LeadingNul", std::string("\0+++A\nb", 7), {"", "b"}},
        ReadCase{"LoneCrIsText", "a\rb\r\n", {"a\rb", ""}},
        ReadCase{"CrAtEndIsText", "a\r", {"a\r"}}, ReadCase{"CrCrLf", "a\r\r\n", {"a\r", ""}},
        ReadCase{"Exactly255", kMax + "\nnext", {kMax, "next"}},
        ReadCase{"Exactly255CrLf", kMax + "\r\nnext", {kMax, "next"}},
        ReadCase{"Exactly255AtEnd", kMax, {kMax}},
        ReadCase{"Line256Truncated", kMax + "y\nnext", {kMax, "next"}},
        ReadCase{"TailIsNotALine", kMax + "+++Tail\n*x\n", {kMax, "*x", ""}},
        ReadCase{"NulThenLongTail", "a" + std::string(1, '\0') + kMax + "\nb", {"a", "b"}},
        ReadCase{"MegabyteLine", kMegabyte + "\r\nnext\r\n", {kMegabyteHead, "next", ""}},
        ReadCase{"MegabyteWithoutLineFeed", kMegabyte, {kMegabyteHead}}),
    apply_test::CaseName());

TEST(ApplyReadLinesRobustness, MissingFileGivesNoLines) {
    EXPECT_TRUE(ReadLines(TempPath("never-written.txt")).empty());
    EXPECT_TRUE(ReadLines("").empty());
}

TEST(ApplyReadLinesRobustness, BinaryBytesStayWithinLimits) {
    std::string bytes;
    uint32_t state = 12345;
    size_t lineFeeds = 0;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        const char c = static_cast<char>((state >> 16) & 0xFF);
        lineFeeds += c == '\n' ? 1 : 0;
        bytes.push_back(c);
    }
    const Lines lines = ReadLines(WriteTempFile("binary.bin", bytes));
    EXPECT_EQ(lines.size(), lineFeeds + 1);
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), MAX_LINE_LENGTH);
        EXPECT_EQ(line.find('\0'), std::string::npos);
    }
}

struct ExistsCase {
    const char* name;
    const char* bytes;  // null: the file is not written
    bool exists;
};

class ApplyInputFileExists : public ::testing::TestWithParam<ExistsCase> {};

TEST_P(ApplyInputFileExists, NeedsReadableNonEmptyFile) {
    const ExistsCase& c = GetParam();
    const std::string path =
        c.bytes == nullptr ? TempPath("absent.txt") : WriteTempFile("input.txt", c.bytes);
    EXPECT_EQ(InputFileExists(path), c.exists);
}

INSTANTIATE_TEST_SUITE_P(Files, ApplyInputFileExists,
                         ::testing::Values(ExistsCase{"Missing", nullptr, false},
                                           ExistsCase{"ZeroBytes", "", false},
                                           ExistsCase{"OneLineFeed", "\n", true},
                                           ExistsCase{"OneByteNoLineEnd", "x", true}),
                         apply_test::CaseName());

TEST(ApplyInputFileExistsName, EmptyNameIsNotAFile) { EXPECT_FALSE(InputFileExists("")); }

}  // namespace
