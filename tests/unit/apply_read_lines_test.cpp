#include "apply/input_reader.h"

#include "apply_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const std::string k255(MAX_LINE_LENGTH, 'x');
const std::string kMegabyte(size_t{1} << 20, 'x');

struct ReadCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

class ApplyReadLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ApplyReadLines, SplitsIntoBoundedLines) {
    EXPECT_EQ(ReadLines(apply_test::WriteTempFile(GetParam().bytes)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ApplyReadLines,
    ::testing::Values(
        ReadCase{"CrLfAndLf", "+++A\r\n*B\n\r\n", {"+++A", "*B", "", ""}},
        ReadCase{"NoFinalLineFeed", "a\nb", {"a", "b"}}, ReadCase{"ZeroBytes", "", {""}},
        ReadCase{"NulEndsText", std::string("ab\0cd\n\0ef", 9), {"ab", ""}},
        ReadCase{"LoneCrIsText", "a\rb\r\r\n", {"a\rb\r", ""}},
        ReadCase{"Exactly255", k255 + "\r\nnext", {k255, "next"}},
        ReadCase{"LongLineTailPassedOver", k255 + "+++T\n*x", {k255, "*x"}},
        ReadCase{"MegabyteLines", kMegabyte + "\nnext\n" + kMegabyte, {k255, "next", k255}}),
    apply_test::CaseName());

TEST(ApplyReadLinesBytes, BinaryDataStaysWithinLimits) {
    std::string bytes;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    const Lines lines = ReadLines(apply_test::WriteTempFile(bytes));
    EXPECT_EQ(lines.size(), static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), MAX_LINE_LENGTH);
        EXPECT_EQ(line.find('\0'), std::string::npos);
    }
}

TEST(ApplyReadLinesBytes, MissingOrEmptyFiles) {
    EXPECT_TRUE(ReadLines(apply_test::TempPath() + ".absent").empty());
    EXPECT_FALSE(InputFileExists(apply_test::TempPath() + ".absent"));
    EXPECT_FALSE(InputFileExists(""));
    EXPECT_FALSE(InputFileExists(apply_test::WriteTempFile("")));
    EXPECT_TRUE(InputFileExists(apply_test::WriteTempFile("\n")));
}

}  // namespace
