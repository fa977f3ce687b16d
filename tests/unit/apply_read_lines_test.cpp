#include "apply/input_reader.h"

#include "apply_test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

using Lines = std::vector<std::string>;

const std::string k255(MAX_LINE_LENGTH, 'x');
const std::string kMegabyte(size_t{1} << 20, 'x');

Lines TextsOf(const ConfigLines& lines) {
    Lines texts;
    for (size_t i = 0; i < lines.size(); ++i) texts.emplace_back(lines[i].text);
    return texts;
}

struct ReadCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

class ApplyReadLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ApplyReadLines, SplitsIntoBoundedLines) {
    const InputFile input = ReadInputFile(apply_test::WriteTempFile(GetParam().bytes));
    EXPECT_EQ(input.status, InputFileStatus::Read);
    EXPECT_EQ(TextsOf(input.lines), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ApplyReadLines,
    ::testing::Values(
        ReadCase{"CrLfAndLf", "+++A\r\n*B\n\r\n", {"+++A", "*B", "", ""}},
        ReadCase{"NoFinalLineFeed", "a\nb", {"a", "b"}}, ReadCase{"OneLineFeed", "\n", {"", ""}},
        ReadCase{"NulEndsText", std::string("ab\0cd\n\0ef", 9), {"ab", ""}},
        ReadCase{"LoneCrIsText", "a\rb\r\r\n\r", {"a\rb\r", "\r"}},
        ReadCase{"Exactly255", k255 + "\r\nnext", {k255, "next"}},
        ReadCase{"LongLineTailPassedOver", k255 + "+++T\n*x", {k255, "*x"}},
        ReadCase{"MegabyteLines", kMegabyte + "\nnext\n" + kMegabyte, {k255, "next", k255}}),
    apply_test::CaseName());

// Only a line that fits the limit is whole: a cut line must not be taken for a shorter text.
TEST(ApplyReadLinesBytes, CutLinesAreMarked) {
    const ConfigLines lines(k255 + "\r\n" + k255 + "y\n" + k255 + "\r\r\nlast");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].whole);
    EXPECT_FALSE(lines[1].whole);
    EXPECT_FALSE(lines[2].whole);
    EXPECT_EQ(lines[2].text, k255);
    EXPECT_TRUE(ConfigLines("").operator[](0).whole);
}

TEST(ApplyReadLinesBytes, BinaryDataStaysWithinLimits) {
    std::string bytes;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    const ConfigLines lines(bytes);
    EXPECT_EQ(lines.size(), static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].text.size(), MAX_LINE_LENGTH);
        EXPECT_EQ(lines[i].text.find('\0'), std::string::npos);
    }
}

TEST(ApplyInputFile, MissingOrEmptyIsNotFound) {
    EXPECT_EQ(ReadInputFile(apply_test::TempPath() + ".absent").status, InputFileStatus::NotFound);
    EXPECT_EQ(ReadInputFile("").status, InputFileStatus::NotFound);
    EXPECT_EQ(ReadInputFile(apply_test::WriteTempFile("")).status, InputFileStatus::NotFound);
}

TEST(ApplyInputFile, SizeLimitIsInclusive) {
    EXPECT_EQ(
        ReadInputFile(apply_test::WriteTempFile(std::string(MAX_INPUT_FILE_BYTES, '\n'))).status,
        InputFileStatus::Read);
    EXPECT_EQ(
        ReadInputFile(apply_test::WriteTempFile(std::string(MAX_INPUT_FILE_BYTES + 1, 'x'))).status,
        InputFileStatus::TooLarge);
}

#ifndef _WIN32
// Devices and pipes would block or never end; they are refused before anything is read.
TEST(ApplyInputFile, NotRegularIsNotFound) {
    const std::string base = apply_test::TempPath();
    std::filesystem::remove_all(base + ".dir");
    std::filesystem::create_directory(base + ".dir");
    std::filesystem::remove(base + ".fifo");
    ASSERT_EQ(mkfifo((base + ".fifo").c_str(), 0600), 0);
    std::filesystem::remove(base + ".zero");
    std::filesystem::create_symlink("/dev/zero", base + ".zero");
    for (const std::string& path :
         {base + ".dir", base + ".fifo", base + ".zero", std::string("/dev/urandom")}) {
        EXPECT_EQ(ReadInputFile(path).status, InputFileStatus::NotFound) << path;
    }
}

TEST(ApplyInputFile, LinkToRegularFileIsRead) {
    const std::string target = apply_test::WriteTempFile("+++A\n");
    const std::string link = target + ".link";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
    const InputFile input = ReadInputFile(link);
    EXPECT_EQ(input.status, InputFileStatus::Read);
    EXPECT_EQ(TextsOf(input.lines), (Lines{"+++A", ""}));
}

#endif

}  // namespace

}  // namespace velorin::tool::testing
