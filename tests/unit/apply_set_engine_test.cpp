#include "apply/input_reader.h"

#include "apply_test_support.h"
#include "report/console.h"

#include <gtest/gtest.h>

#include <string>

namespace velorin::tool::testing {

namespace {

const std::string kHeading = "======================Set Command Result==================\n";
const std::string kFooter = "==========================================\n";
const std::string kExecFailed =
    "ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=80041001\n";
const std::string kCallFailed = kExecFailed + kExecFailed + kExecFailed + "Set call failed\n";
const std::string kFailSets = "fault ExecMethod \"Set\" hr=0x80041001\n";

std::string Totals(int changed, int unchanged, int skipped, int failed) {
    return "Total " + std::to_string(changed + unchanged + skipped + failed) + " Items\n" +
           "\tItems changed successfully : " + std::to_string(changed) + "\n" +
           "\tItems not changed : " + std::to_string(unchanged) + "\n" +
           "\tItems skipped by property : " + std::to_string(skipped) + "\n" +
           "\tItems failed to set : " + std::to_string(failed) + "\n";
}

// A file set when `file` is given, else the single item typed as `item` and `value`.
struct SetCase {
    const char* name;
    std::string rules;  // machine-file answer and fault rules
    std::string file;
    bool force;
    std::string item;
    std::string value;
    int result;
    std::string output;
};

class ApplySetCommand : public ::testing::TestWithParam<SetCase> {};

TEST_P(ApplySetCommand, ReportsEveryItem) {
    const SetCase& c = GetParam();
    auto tool = apply_test::MakeTool(c.rules);
    const ConfigLines lines(c.file);
    int result = -1;
    EXPECT_EQ(tool_fixture::CaptureOutput([&] {
                  result = c.file.empty() ? tool->ApplySingleItem(c.item, c.value)
                                          : tool->ApplyConfigFile(lines, c.force);
              }),
              c.output);
    EXPECT_EQ(result, c.result);
}

TEST(ApplyMatchTypedSetting, GivesCodeAndIndex) {
    auto tool = apply_test::MakeTool();
    const TypedSetting typed = MatchTypedSetting(*tool, "WAKE ON lan", "disabled");
    EXPECT_EQ(typed.result, RC_SUCCESS);
    EXPECT_EQ(typed.itemCode, 0x101);
    EXPECT_EQ(typed.optionIndex, 2);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, ApplySetCommand, ::testing::Values(
    SetCase{"EmptyLinesOnly", "", "\r\n\r\n", false, "", "", RC_SUCCESS,
            kHeading + Totals(0, 0, 0, 0)},
    // An item named twice ends with its last option: an earlier changed line is struck.
    SetCase{"ReportsWhatIsSaved", "", "+++Wake On LAN\r\n*Enabled\r\n\r\n+++Boot Mode\r\n"
            "*UEFI\r\n\r\n+++Fan Level\n*Low\n\n+++Wake On LAN\n*Disabled\n", false, "", "",
            RC_SUCCESS, kHeading + "Changed Item \n\tFan Level -> Low\n" + Totals(1, 3, 0, 0)},
    SetCase{"LastSetOfAnItemIsListed", "answer Set item=0x0102 after=1 times=1 retcode=7\n",
            "+++Fan Level\n*Low\n\n+++Boot Mode\n*Legacy\n\n+++Fan Level\n*High\n\n"
            "+++Fan Level\n*Low\n\n+++Boot Mode\n*Legacy\n", false, "", "", RC_SUCCESS,
            kHeading + "Changed Item \n\tFan Level -> Low\n\tBoot Mode -> Legacy\n"
            "Skipped Item(Below items are skipeed because option is not selectable with this "
            "interface, Read Only value)\n\tFan Level -> High\n" + Totals(2, 2, 1, 0)},
    // The item at its current option is still sent: its failure shows it.
    SetCase{"SkippedAndFailed", "fault ExecMethod \"Set\" hr=0x80041001 times=3\n"
            "answer Set item=0x0101 retcode=12\nanswer Set item=0x0102 retcode=7\n"
            "answer Set item=0x0104 retcode=12\n", "+++Boot Mode\n*Legacy\n\n+++Wake On LAN\n"
            "*Enabled\n\n+++Fan Level\n*High\n\n+++Caf\xC9\n*Oui\n", false, "", "", RC_INTERNAL_ERROR,
            kHeading + kCallFailed + "Skipped Item(Below items are skipeed because option is not "
            "selectable with this interface, Read Only value)\n\tFan Level -> High\n" +
            Totals(0, 0, 1, 3)},
    SetCase{"ForcedSkipsUnmatched", "", "+++Nothing\n*On\n\n+++Boot Mode\n*Fast\n\n"
            "+++Fan Level\n*Low\n", true, "", "", RC_SUCCESS, kHeading +
            "Wrong description or input is included\n\nWrong Input\nNothing -> wrong description\n"
            "Boot Mode -> wrong option, no options match input\n\n"
            "Changed Item \n\tFan Level -> Low\n" + Totals(1, 0, 0, 2)},
    SetCase{"NoPasswordStopsAfterEarlierSets", "fault ExecMethod \"Set\" hr=0x80041003 times=1\n"
            "answer Set item=0x0101 retcode=10\n", "+++Boot Mode\n*Legacy\n\n+++Wake On LAN\n"
            "*Enabled\n\n+++Fan Level\n*Low\n", false, "", "", RC_NO_SUPERVISOR_PASSWORD,
            kHeading + "ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=80041003\n"
            "Set call failed\nPlease Set Supervisor password\n"},
    SetCase{"FormatErrorSetsNothing", kFailSets, "+++Boot Mode\n*Legacy\n\nstray\n", false, "",
            "", RC_INVALID_INPUT_FILE_FORMAT,
            kHeading + "wrong input format in line 4-> stray\n"},
    SetCase{"WrongDescriptionSetsNothing", kFailSets, "+++Boot Mode\n*Legacy\n\n+++Nothing\n",
            false, "", "", RC_WRONG_DESCRIPTION, kHeading +
            "Wrong description or input is included in inputFile\n\nWrong Input\n"
            "Nothing -> wrong description\n\nif you want to force setting , enter force option\n"}),
    apply_test::CaseName());

INSTANTIATE_TEST_SUITE_P(SingleItems, ApplySetCommand, ::testing::Values(
    SetCase{"ChangedIgnoringCase", "", "", false, "POWER (ac)", "oFF", RC_SUCCESS,
            kHeading + "Item : Power (AC)\nSuccessfully set to Off\n" + kFooter},
    SetCase{"AlreadyCurrent", "", "", false, "caf\xC9", "OUI", RC_SUCCESS,
            kHeading + "Item : Caf\xC9\nNo change\n" + kFooter},
    SetCase{"ReadOnly", "answer Set item=0x0100 retcode=7\n", "", false, "Boot Mode", "Legacy",
            RC_SUCCESS, kHeading + "Item : Boot Mode\nFailed to set to Legacy, this option is "
            "not selectable with this interface, Read Only Value\n" + kFooter},
    SetCase{"CallFailed", kFailSets, "", false, "Boot Mode", "Legacy", RC_INTERNAL_ERROR,
            kHeading + kCallFailed + "Item : Boot Mode\nFailed to set to Legacy\n" + kFooter},
    SetCase{"RefusedByFirmware", "answer Set item=0x0100 retcode=5\n", "", false, "Boot Mode",
            "Legacy", RC_INTERNAL_ERROR,
            kHeading + "Item : Boot Mode\nFailed to set to Legacy\n" + kFooter},
    SetCase{"NoPassword", "answer Set item=0x0100 retcode=10\n", "", false, "Boot Mode", "UEFI",
            RC_NO_SUPERVISOR_PASSWORD, kHeading + "Please Set Supervisor password\n"},
    SetCase{"NonAsciiNotFolded", kFailSets, "", false, "caf\xE9", "oui",
            RC_TARGET_ITEM_NOT_FOUND, "\nWrong Input\ncaf\xE9 -> wrong description\n\n"},
    SetCase{"UntrimmedOption", kFailSets, "", false, "Boot Mode", "UEFI ",
            RC_TARGET_OPTION_NOT_FOUND,
            "\nWrong Input\nUEFI  -> wrong option, no options match input\n\n"}),
    apply_test::CaseName());
// clang-format on

}  // namespace

}  // namespace velorin::tool::testing
