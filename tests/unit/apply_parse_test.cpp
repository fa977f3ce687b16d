#include "apply/input_reader.h"

#include "app/console.h"
#include "apply_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Choices = std::vector<std::pair<int, int>>;

constexpr bool kForce = true;
constexpr bool kStrict = false;

const char kRefusedHead[] = "Wrong description or input is included in inputFile\n";
const char kRefusedTail[] = "if you want to force setting , enter force option\n";
const char kForcedHead[] = "Wrong description or input is included\n";

struct ParseCase {
    const char* name;
    std::vector<std::string> lines;
    bool force;
    int result;
    Choices choices;
    uint32_t failedCount;
    std::string output;
};

class ApplyParseConfig : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ApplyParseConfig, ChoosesStarredOptionsPerBlock) {
    const ParseCase& c = GetParam();
    auto tool = apply_test::MakeTool("", false);
    ::testing::internal::CaptureStdout();
    const ParsedConfig parsed = ParseConfigLines(*tool, c.lines, c.force);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(parsed.result, c.result);
    Choices choices;
    for (const SettingChoice& choice : parsed.choices) {
        choices.emplace_back(choice.itemCode, choice.optionIndex);
    }
    EXPECT_EQ(choices, c.choices);
    EXPECT_EQ(parsed.failedCount, c.failedCount);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ApplyParseConfig,
    ::testing::Values(ParseCase{"ExportedFile",
                                {"+++Boot Mode", "UEFI", "*Legacy", "", "+++Wake On LAN",
                                 "*Enabled", "Disabled", "", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x100, 2}, {0x101, 1}},
                                0,
                                ""},
                      ParseCase{"EmptyLineRunsAndBlockEndingAtItemLine",
                                {"", "", "+++Boot Mode", "*UEFI", "+++Fan Level", "*High", "", "",
                                 "", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x100, 1}, {0x102, 2}},
                                0,
                                ""},
                      ParseCase{"NoLinesAtAll", {}, kStrict, RC_SUCCESS, {}, 0, ""},
                      ParseCase{"LaterMatchingStarWins",
                                {"+++Fan Level", "*Low", "*Nothing", "*Auto", "*auto", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x102, 3}},
                                0,
                                ""},
                      ParseCase{"UnstarredLinesAndBlankLinesInsideBlock",
                                {"+++Boot Mode", "Legacy", " ", "anything*", "*UEFI", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x100, 1}},
                                0,
                                ""},
                      ParseCase{"ParenthesisEndsName",
                                {"+++Wake On LAN(Enabled/Disabled)", "*Enabled"},
                                kStrict,
                                RC_SUCCESS,
                                {{0x101, 1}},
                                0,
                                ""},
                      ParseCase{"SameItemTwice",
                                {"+++Boot Mode", "*UEFI", "", "+++Boot Mode", "*Legacy", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x100, 1}, {0x100, 2}},
                                0,
                                ""},
                      ParseCase{"NonAsciiNameMatchesBytes",
                                {"+++Caf\xC9", "*Non", ""},
                                kStrict,
                                RC_SUCCESS,
                                {{0x104, 2}},
                                0,
                                ""}),
    apply_test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    FormatErrors, ApplyParseConfig,
    ::testing::Values(ParseCase{"FirstLineWithoutMarker",
                                {"Boot Mode", "*UEFI", ""},
                                kStrict,
                                RC_INVALID_INPUT_FILE_FORMAT,
                                {},
                                0,
                                "wrong input format in line 1-> Boot Mode\n"},
                      ParseCase{"ByteOrderMark",
                                {"\xEF\xBB\xBF+++Boot Mode", "*UEFI", ""},
                                kStrict,
                                RC_INVALID_INPUT_FILE_FORMAT,
                                {},
                                0,
                                "wrong input format in line 1-> \xEF\xBB\xBF+++Boot Mode\n"},
                      ParseCase{"BlankLineBetweenBlocks",
                                {"+++Boot Mode", "*UEFI", "", " ", "+++Fan Level"},
                                kStrict,
                                RC_INVALID_INPUT_FILE_FORMAT,
                                {},
                                0,
                                "wrong input format in line 4->  \n"},
                      ParseCase{"StarredItemLineEndsBlock",
                                {"+++Boot Mode", "*UEFI", "*+++Fan Level", ""},
                                kStrict,
                                RC_INVALID_INPUT_FILE_FORMAT,
                                {},
                                0,
                                "wrong input format in line 3-> *+++Fan Level\n"},
                      // An unknown block is passed over only up to its empty line; what follows
                      // must be an item line again.
                      ParseCase{"StrayLineAfterUnknownBlock",
                                {"+++Nothing", "*X", "", "stray", "+++Boot Mode"},
                                kStrict,
                                RC_INVALID_INPUT_FILE_FORMAT,
                                {},
                                1,
                                "wrong input format in line 4-> stray\n"},
                      ParseCase{"ForcedLineReadAsItemLine",
                                {"Boot Mode", "*UEFI", "", "+++Fan Level", "*Low"},
                                kForce,
                                RC_SUCCESS,
                                {{-1, -1}, {0x102, 1}},
                                1,
                                std::string("wrong input format in line 1-> Boot Mode\n") +
                                    kForcedHead + "\nWrong Input\nt Mode -> wrong description\n\n"},
                      ParseCase{"ForcedShortLine",
                                {"ab"},
                                kForce,
                                RC_SUCCESS,
                                {{-1, -1}},
                                1,
                                std::string("wrong input format in line 1-> ab\n") + kForcedHead +
                                    "\nWrong Input\n -> wrong description\n\n"}),
    apply_test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Unmatched, ApplyParseConfig,
    ::testing::Values(
        ParseCase{"UnknownNameRefusesFile",
                  {"+++Nothing", "*X", "", "+++Boot Mode", "*UEFI", ""},
                  kStrict,
                  RC_WRONG_DESCRIPTION,
                  {},
                  1,
                  std::string(kRefusedHead) + "\nWrong Input\nNothing -> wrong description\n\n" +
                      kRefusedTail},
        ParseCase{"NameWithParenthesisNeverMatches",
                  {"+++Power (AC)", "*On", ""},
                  kForce,
                  RC_SUCCESS,
                  {{-1, -1}},
                  1,
                  std::string(kForcedHead) + "\nWrong Input\nPower  -> wrong description\n\n"},
        ParseCase{"BlankAfterMarker",
                  {"+++ Boot Mode", "*UEFI", ""},
                  kForce,
                  RC_SUCCESS,
                  {{-1, -1}},
                  1,
                  std::string(kForcedHead) + "\nWrong Input\n Boot Mode -> wrong description\n\n"},
        ParseCase{"NameCaseCounts",
                  {"+++boot mode", "*UEFI", ""},
                  kForce,
                  RC_SUCCESS,
                  {{-1, -1}},
                  1,
                  std::string(kForcedHead) + "\nWrong Input\nboot mode -> wrong description\n\n"},
        ParseCase{"UnknownBlockEndsAtItemLine",
                  {"+++Nothing", "*X", "+++Boot Mode", "*UEFI"},
                  kForce,
                  RC_SUCCESS,
                  {{-1, -1}, {0x100, 1}},
                  1,
                  std::string(kForcedHead) + "\nWrong Input\nNothing -> wrong description\n\n"},
        ParseCase{"NoStarredLine",
                  {"+++Boot Mode", "UEFI", ""},
                  kStrict,
                  RC_WRONG_DESCRIPTION,
                  {},
                  1,
                  std::string(kRefusedHead) +
                      "\nWrong Input\nBoot Mode -> wrong option, no options match input\n\n" +
                      kRefusedTail},
        ParseCase{"OptionCaseAndBlanksCount",
                  {"+++Boot Mode", "*uefi", "*UEFI ", ""},
                  kForce,
                  RC_SUCCESS,
                  {{0x100, -1}},
                  1,
                  std::string(kForcedHead) +
                      "\nWrong Input\nBoot Mode -> wrong option, no options match input\n\n"},
        ParseCase{"ItemWithoutOptions",
                  {"+++Asset Tag", "*", ""},
                  kForce,
                  RC_SUCCESS,
                  {{0x200, -1}},
                  1,
                  std::string(kForcedHead) +
                      "\nWrong Input\nAsset Tag -> wrong option, no options match input\n\n"},
        ParseCase{"ItemLineIsLastLine",
                  {"+++Boot Mode", "*UEFI", "", "+++Fan Level"},
                  kStrict,
                  RC_WRONG_DESCRIPTION,
                  {},
                  1,
                  std::string(kRefusedHead) +
                      "\nWrong Input\nFan Level -> wrong option, no options match input\n\n" +
                      kRefusedTail},
        ParseCase{"ItemLineIsLastLineForced",
                  {"+++Boot Mode", "*UEFI", "", "+++Fan Level"},
                  kForce,
                  RC_SUCCESS,
                  {{0x100, 1}, {0x102, -1}},
                  1,
                  std::string(kForcedHead) +
                      "\nWrong Input\nFan Level -> wrong option, no options match input\n\n"},
        ParseCase{"DescriptionsListedBeforeOptions",
                  {"+++Boot Mode", "", "+++Nothing", "", "+++Fan Level", "*Low", ""},
                  kForce,
                  RC_SUCCESS,
                  {{0x100, -1}, {-1, -1}, {0x102, 1}},
                  2,
                  std::string(kForcedHead) +
                      "\nWrong Input\nNothing -> wrong description\n"
                      "Boot Mode -> wrong option, no options match input\n\n"}),
    apply_test::CaseName());

TEST(ApplyParseConfigLists, UnmatchedEntriesAccumulateOnTool) {
    auto tool = apply_test::MakeTool("", false);
    ::testing::internal::CaptureStdout();
    ParseConfigLines(*tool, {"+++Nothing", "", "+++Boot Mode", ""}, kForce);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(tool->wrongDescriptions, std::vector<std::string>{"Nothing"});
    EXPECT_EQ(tool->wrongOptions, std::vector<std::string>{"Boot Mode"});
}

struct TypedCase {
    const char* name;
    std::string item;
    std::string value;
    int result;
    int itemCode;
    int optionIndex;
    std::string output;
};

class ApplyMatchTypedSetting : public ::testing::TestWithParam<TypedCase> {};

TEST_P(ApplyMatchTypedSetting, IgnoresAsciiCaseOnly) {
    const TypedCase& c = GetParam();
    auto tool = apply_test::MakeTool("", false);
    ::testing::internal::CaptureStdout();
    const TypedSetting typed = MatchTypedSetting(*tool, c.item, c.value);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(typed.result, c.result);
    EXPECT_EQ(typed.itemCode, c.itemCode);
    EXPECT_EQ(typed.optionIndex, c.optionIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, ApplyMatchTypedSetting,
    ::testing::Values(
        TypedCase{"AsStored", "Boot Mode", "Legacy", RC_SUCCESS, 0x100, 2, ""},
        TypedCase{"AllCapitals", "BOOT MODE", "UEFI", RC_SUCCESS, 0x100, 1, ""},
        TypedCase{"AllSmall", "wake on lan", "disabled", RC_SUCCESS, 0x101, 2, ""},
        TypedCase{"ParenthesisIsPartOfName", "power (ac)", "OFF", RC_SUCCESS, 0x103, 2, ""},
        TypedCase{"NonAsciiByteMustMatch", "caf\xC9", "oui", RC_SUCCESS, 0x104, 1, ""},
        TypedCase{"NonAsciiByteNotFolded", "caf\xE9", "oui", RC_TARGET_ITEM_NOT_FOUND, -1, -1,
                  "\nWrong Input\ncaf\xE9 -> wrong description\n\n"},
        TypedCase{"NotTrimmed", " Boot Mode", "UEFI", RC_TARGET_ITEM_NOT_FOUND, -1, -1,
                  "\nWrong Input\n Boot Mode -> wrong description\n\n"},
        TypedCase{"EmptyItem", "", "", RC_TARGET_ITEM_NOT_FOUND, -1, -1,
                  "\nWrong Input\n -> wrong description\n\n"},
        TypedCase{"UnknownOptionShownAsTyped", "boot mode", "LEGACY ", RC_TARGET_OPTION_NOT_FOUND,
                  0x100, -1, "\nWrong Input\nLEGACY  -> wrong option, no options match input\n\n"},
        TypedCase{"ItemWithoutOptions", "Asset Tag", "", RC_TARGET_OPTION_NOT_FOUND, 0x200, -1,
                  "\nWrong Input\n -> wrong option, no options match input\n\n"}),
    apply_test::CaseName());

}  // namespace
