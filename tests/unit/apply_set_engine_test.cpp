#include "apply/input_reader.h"

#include "app/console.h"
#include "apply_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHeading = "======================Set Command Result==================\n";
const std::string kFooter = "==========================================\n";
const std::string kSkippedHeading =
    "Skipped Item(Below items are skipeed because option is not selectable with this interface, "
    "Read Only value)\n";
const std::string kSetFailedLines =
    "ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=80041001\n"
    "ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=80041001\n"
    "ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=80041001\n"
    "Set call failed\n";

std::string Totals(int changed, int unchanged, int skipped, int failed) {
    return "Total " + std::to_string(changed + unchanged + skipped + failed) + " Items\n" +
           "\tItems changed successfully : " + std::to_string(changed) + "\n" +
           "\tItems not changed : " + std::to_string(unchanged) + "\n" +
           "\tItems skipped by property : " + std::to_string(skipped) + "\n" +
           "\tItems failed to set : " + std::to_string(failed) + "\n";
}

struct FileCase {
    const char* name;
    std::string rules;  // machine-file answer and fault rules
    std::string file;
    bool force;
    int result;
    std::string output;
};

class ApplyConfigFileReport : public ::testing::TestWithParam<FileCase> {};

TEST_P(ApplyConfigFileReport, SetsChoicesAndReports) {
    const FileCase& c = GetParam();
    auto tool = apply_test::MakeTool(c.rules);
    const std::string path = apply_test::WriteTempFile("set.txt", c.file);
    ::testing::internal::CaptureStdout();
    const int result = tool->ApplyConfigFile(path, c.force);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ApplyConfigFileReport,
    ::testing::Values(
        FileCase{"EmptyLinesOnly", "", "\r\n\r\n", false, RC_SUCCESS,
                 kHeading + Totals(0, 0, 0, 0)},
        FileCase{"EveryItemAtCurrentOption", "",
                 "+++Boot Mode\n*UEFI\n\n+++Wake On LAN\n*Disabled\n\n+++Fan Level\n*Auto\n\n",
                 false, RC_SUCCESS, kHeading + Totals(0, 3, 0, 0)},
        FileCase{"ChangedListKeepsFileOrder", "",
                 "+++Wake On LAN\r\n*Enabled\r\n\r\n+++Boot Mode\r\nUEFI\r\n*Legacy\r\n\r\n", false,
                 RC_SUCCESS,
                 kHeading + "Changed Item \n\tWake On LAN -> Enabled\n\tBoot Mode -> Legacy\n" +
                     Totals(2, 0, 0, 0)},
        FileCase{"SameItemComparedWithStartValue", "",
                 "+++Wake On LAN\n*Enabled\n\n+++Wake On LAN\n*Disabled\n", false, RC_SUCCESS,
                 kHeading + "Changed Item \n\tWake On LAN -> Enabled\n" + Totals(1, 1, 0, 0)},
        FileCase{"ReadOnlyOptionSkipped", "answer Set item=0x0102 retcode=7\n",
                 "+++Fan Level\n*High\n\n+++Boot Mode\n*Legacy\n", false, RC_SUCCESS,
                 kHeading + "Changed Item \n\tBoot Mode -> Legacy\n" + kSkippedHeading +
                     "\tFan Level -> High\n" + Totals(1, 0, 1, 0)},
        FileCase{"FirmwareFailureCounted", "answer Set item=0x0100 retcode=12\n",
                 "+++Boot Mode\n*Legacy\n\n+++Fan Level\n*Low\n", false, RC_SUCCESS,
                 kHeading + "Changed Item \n\tFan Level -> Low\n" + Totals(1, 0, 0, 1)},
        FileCase{"ProviderCallFailureCounted", "fault ExecMethod \"Set\" hr=0x80041001 times=3\n",
                 "+++Boot Mode\n*Legacy\n\n+++Fan Level\n*Low\n", false, RC_SUCCESS,
                 kHeading + kSetFailedLines + "Changed Item \n\tFan Level -> Low\n" +
                     Totals(1, 0, 0, 1)},
        FileCase{"ForcedSkipsUnmatchedAndSetsRest", "", "+++Nothing\n*On\n\n+++Fan Level\n*Low\n\n",
                 true, RC_SUCCESS,
                 kHeading + "Wrong description or input is included\n" +
                     "\nWrong Input\nNothing -> wrong description\n\n" +
                     "Changed Item \n\tFan Level -> Low\n" + Totals(1, 0, 0, 1)},
        FileCase{"NoSupervisorPasswordStops", "answer Set item=0x0101 retcode=10\n",
                 "+++Boot Mode\n*Legacy\n\n+++Wake On LAN\n*Enabled\n\n+++Fan Level\n*Low\n", false,
                 RC_NO_SUPERVISOR_PASSWORD, kHeading + "Please Set Supervisor password\n"},
        FileCase{"FormatErrorPrintsHeadingFirst", "", "Boot Mode\n*Legacy\n", false,
                 RC_INVALID_INPUT_FILE_FORMAT,
                 kHeading + "wrong input format in line 1-> Boot Mode\n"}),
    apply_test::CaseName());

// Positions of the standard items in the firmware's enumeration.
constexpr uint16_t kBootModePosition = 0;
constexpr uint16_t kFanLevelPosition = 2;

TEST(ApplyConfigFileFirmware, RefusedFileSetsNothing) {
    auto tool = apply_test::MakeTool();
    const std::string path =
        apply_test::WriteTempFile("set.txt", "+++Boot Mode\n*Legacy\n\n+++Nothing\n*X\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(tool->ApplyConfigFile(path, false), RC_WRONG_DESCRIPTION);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(apply_test::FirmwareCurrentOption(*tool, kBootModePosition), 1);
}

TEST(ApplyConfigFileFirmware, ItemsBeforeMissingPasswordStaySet) {
    auto tool = apply_test::MakeTool("answer Set item=0x0101 retcode=10\n");
    const std::string path = apply_test::WriteTempFile(
        "set.txt", "+++Boot Mode\n*Legacy\n\n+++Wake On LAN\n*Enabled\n\n+++Fan Level\n*Low\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(tool->ApplyConfigFile(path, false), RC_NO_SUPERVISOR_PASSWORD);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(apply_test::FirmwareCurrentOption(*tool, kBootModePosition), 2);
    EXPECT_EQ(apply_test::FirmwareCurrentOption(*tool, kFanLevelPosition), 3);
}

TEST(ApplyConfigFileFirmware, CurrentOptionIsStillSent) {
    auto tool = apply_test::MakeTool("answer Set item=0x0100 retcode=12\n");
    const std::string path = apply_test::WriteTempFile("set.txt", "+++Boot Mode\n*UEFI\n");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(tool->ApplyConfigFile(path, false), RC_SUCCESS);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kHeading + Totals(0, 0, 0, 1));
}

struct SingleCase {
    const char* name;
    std::string rules;
    std::string item;
    std::string value;
    int result;
    std::string output;
};

class ApplySingleItemBlock : public ::testing::TestWithParam<SingleCase> {};

TEST_P(ApplySingleItemBlock, PrintsOneBlock) {
    const SingleCase& c = GetParam();
    auto tool = apply_test::MakeTool(c.rules);
    ::testing::internal::CaptureStdout();
    const int result = tool->ApplySingleItem(c.item, c.value);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(result, c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ApplySingleItemBlock,
    ::testing::Values(
        SingleCase{"ChangedShowsCatalogueCase", "", "WAKE ON LAN", "enabled", RC_SUCCESS,
                   kHeading + "Item : Wake On LAN\nSuccessfully set to Enabled\n" + kFooter},
        SingleCase{"CurrentOptionNoChange", "", "fan level", "AUTO", RC_SUCCESS,
                   kHeading + "Item : Fan Level\nNo change\n" + kFooter},
        SingleCase{"ReadOnly", "answer Set item=0x0100 retcode=7\n", "Boot Mode", "Legacy",
                   RC_SUCCESS,
                   kHeading +
                       "Item : Boot Mode\nFailed to set to Legacy, this option is not "
                       "selectable with this interface, Read Only Value\n" +
                       kFooter},
        SingleCase{"FirmwareFailure", "answer Set item=0x0100 retcode=1\n", "Boot Mode", "Legacy",
                   RC_SUCCESS, kHeading + "Item : Boot Mode\nFailed to set to Legacy\n" + kFooter},
        SingleCase{
            "ProviderCallFailure", "fault ExecMethod \"Set\" hr=0x80041001\n", "Boot Mode",
            "Legacy", RC_SUCCESS,
            kHeading + kSetFailedLines + "Item : Boot Mode\nFailed to set to Legacy\n" + kFooter},
        SingleCase{"NoSupervisorPassword", "answer Set item=0x0100 retcode=10\n", "Boot Mode",
                   "Legacy", RC_NO_SUPERVISOR_PASSWORD,
                   kHeading + "Please Set Supervisor password\n"},
        SingleCase{"UnknownItemNoHeading", "", "Boot", "UEFI", RC_TARGET_ITEM_NOT_FOUND,
                   "\nWrong Input\nBoot -> wrong description\n\n"},
        SingleCase{"UnknownOptionNoHeading", "", "Boot Mode", "Fast", RC_TARGET_OPTION_NOT_FOUND,
                   "\nWrong Input\nFast -> wrong option, no options match input\n\n"}),
    apply_test::CaseName());

TEST(ApplySetItem, SendsOptionIndexAsDecimalText) {
    auto tool = apply_test::MakeTool();
    EXPECT_EQ(tool->SetItem(0x0102, 1), 0);
    EXPECT_EQ(apply_test::FirmwareCurrentOption(*tool, kFanLevelPosition), 1);
    EXPECT_EQ(tool->SetItem(0x0102, 9), 1);  // no such option: the firmware refuses it
    EXPECT_EQ(tool->SetItem(0x7777, 1), 1);  // no such item
}

TEST(ApplyDescribeSetting, GivesCatalogueTexts) {
    auto tool = apply_test::MakeTool("", false);
    using Described = std::pair<std::string, std::string>;
    EXPECT_EQ(tool->DescribeSetting(0x0102, 2), (Described{"Fan Level", "High"}));
    EXPECT_EQ(tool->DescribeSetting(0x0102, 7), (Described{"Fan Level", ""}));
    EXPECT_EQ(tool->DescribeSetting(0x7777, 1), (Described{"", ""}));
}

}  // namespace
