#include "apply/input_reader.h"

#include "apply_test_support.h"
#include "report/console.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velorin::tool::testing {

namespace {

using Choices = std::vector<std::pair<int, int>>;

const std::string kForced = "Wrong description or input is included\n\nWrong Input\n";
const std::string kRefused = "Wrong description or input is included in inputFile\n\nWrong Input\n";
const std::string kForceHint = "\nif you want to force setting , enter force option\n";
const std::string kNoOption = " -> wrong option, no options match input\n";

struct ParseCase {
    const char* name;
    std::string lines;  // '|' between lines
    bool force;
    int result;
    Choices choices;
    uint32_t failedCount;
    std::string output;
};

ConfigLines SplitLines(const std::string& text) {
    std::string bytes;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line, '|');) {
        bytes += line + '\n';
    }
    if (!bytes.empty()) bytes.pop_back();
    return ConfigLines(bytes);
}

class ApplyParseConfig : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ApplyParseConfig, ChoosesStarredOptionPerBlock) {
    const ParseCase& c = GetParam();
    auto tool = apply_test::MakeTool();
    ParsedConfig parsed{};
    EXPECT_EQ(tool_fixture::CaptureOutput(
                  [&] { parsed = ParseConfigLines(*tool, SplitLines(c.lines), c.force); }),
              c.output);
    EXPECT_EQ(parsed.result, c.result);
    Choices choices;
    for (const SettingChoice& choice : parsed.choices) {
        choices.emplace_back(choice.itemCode, choice.optionIndex);
    }
    EXPECT_EQ(choices, c.choices);
    EXPECT_EQ(parsed.failedCount, c.failedCount);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, ApplyParseConfig, ::testing::Values(
    ParseCase{"LaterStarWinsAndBlocksEndAtItemLines", "||+++Fan Level|*Low| |*Nothing|*Auto|"
              "*auto|+++Wake On LAN(On/Off)|*Enabled|+++Fan Level|*High", false, RC_SUCCESS,
              {{0x102, 3}, {0x101, 1}, {0x102, 2}}, 0, ""},
    ParseCase{"ByteOrderMark", "\xEF\xBB\xBF+++Boot Mode|*UEFI", false,
              RC_INVALID_INPUT_FILE_FORMAT, {}, 0,
              "wrong input format in line 1-> \xEF\xBB\xBF+++Boot Mode\n"},
    ParseCase{"StarredItemLine", "+++Boot Mode|*UEFI|*+++Fan Level", false,
              RC_INVALID_INPUT_FILE_FORMAT, {}, 0,
              "wrong input format in line 3-> *+++Fan Level\n"},
    ParseCase{"StrayLineAfterUnknownBlock", "+++Nothing|*X||stray|+++Boot Mode", false,
              RC_INVALID_INPUT_FILE_FORMAT, {}, 1, "wrong input format in line 4-> stray\n"},
    ParseCase{"ForcedLinesReadAsItemLines", "Boot Mode|*UEFI|| ||+++Fan Level|*Low", true,
              RC_SUCCESS, {{-1, -1}, {-1, -1}, {0x102, 1}}, 2,
              "wrong input format in line 1-> Boot Mode\nwrong input format in line 4->  \n" +
              kForced + "t Mode -> wrong description\n -> wrong description\n\n"},
    ParseCase{"ItemOnLastLineRefusesFile", "+++Boot Mode|*UEFI||+++Fan Level", false,
              RC_WRONG_DESCRIPTION, {}, 1, kRefused + "Fan Level" + kNoOption + kForceHint},
    ParseCase{"NamesAreExactBytesBeforeParenthesis",
              "+++Power (AC)|*On|+++ Boot Mode||+++boot mode|*UEFI", true, RC_SUCCESS,
              {{-1, -1}, {-1, -1}, {-1, -1}}, 3,
              kForced + "Power  -> wrong description\n Boot Mode -> wrong description\n"
              "boot mode -> wrong description\n\n"},
    ParseCase{"OptionsAreExactBytes",
              "+++Boot Mode|UEFI|*uefi|*UEFI ||+++Asset Tag|*||+++Nothing||+++Fan Level", true,
              RC_SUCCESS, {{0x100, -1}, {0x200, -1}, {-1, -1}, {0x102, -1}}, 4,
              kForced + "Nothing -> wrong description\nBoot Mode" + kNoOption + "Asset Tag" +
              kNoOption + "Fan Level" + kNoOption + "\n"}),
    apply_test::CaseName());
// clang-format on

}  // namespace

}  // namespace velorin::tool::testing
