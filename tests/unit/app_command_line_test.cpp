#include "app/command_line.h"
#include "report/text_conversion.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

// The whole outcome of a parse in one line: "fail" (with what it printed), or the flags in hex
// and every field that is set.
std::string ParseOutcome(std::vector<std::string> args) {
    args.insert(args.begin(), "VelorinBiosConfigTool.exe");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    CommandOptions o;
    int result = 0;
    const std::string printed = tool_fixture::CaptureOutput(
        [&] { result = ParseCommandLine(static_cast<int>(args.size()), argv.data(), o); });
    if (result != 0) return printed.empty() ? "fail" : "fail " + printed;
    std::ostringstream s;
    s << std::hex << o.flags << printed;
    for (const auto& [key, value] : {std::pair{" in=", o.inputFileName},
                                     {" out=", o.outputFileName},
                                     {" item=", o.itemName},
                                     {" value=", o.itemValue}}) {
        if (!value.empty()) s << key << value;
    }
    if (o.currentPassword.data() != nullptr) s << " pw=" << o.currentPassword;
    if (o.newPassword != nullptr) s << " new=" << o.newPassword;
    if (o.passwordFromStdin) s << " pwstdin";
    return s.str();
}

struct ParseCase {
    std::vector<std::string> args;
    std::string outcome;
};

void ExpectOutcomes(const std::vector<ParseCase>& cases) {
    for (const ParseCase& c : cases) {
        EXPECT_EQ(ParseOutcome(c.args), c.outcome) << ::testing::PrintToString(c.args);
    }
}

TEST(AppCommandLine, EachLineGivesItsFlagsFieldsOrFailure) {
    const std::string needPw = "fail Need /pw input\n";
    ExpectOutcomes({
        {{}, "0"},
        {{"/H"}, "1"},
        {{"/f"}, "40000"},
        {{"/GET", "/O", "out.txt"}, "20002 out=out.txt"},
        {{"/get", "/o", "a", "/o", "b"}, "20002 out=ab"},
        {{"/i", "/get"}, "80002"},
        {{"/get", "/i", "/pw"}, "80002 item=/pw"},
        {{"/set", "c.txt", "/pw", "x", "/pw", ""}, "10004 in=c.txt pw="},
        {{"/set", "/F", "/PW", "x"}, "50004 pw=x"},
        {{"/set", "/i", "Boot", "UEFI", "/pw", "x"}, "90004 item=Boot value=UEFI pw=x"},
        {{"/ChangeUserPassword", "/pw", "/pw", "c"}, "10008 pw=c new=/pw"},
        {{"/changesupervisorpassword", "n", "/pw", "c", "/i"}, "90010 pw=c new=n"},
        {{"/?", "/h"}, "fail"},
        {{"/get", "/?"}, "fail"},
        {{"/get", "/pw", "x"}, "fail"},
        {{"/get", "/f"}, "fail"},
        {{"/get", "/i"}, "fail"},
        {{"/i", "Item", "/get"}, "fail"},
        {{"/set"}, "fail"},
        {{"/set", "c.txt"}, needPw},
        {{"/set", "c.txt", "/o", "x", "/pw", "y"}, "fail"},
        {{"/set", "/f", "c.txt", "/pw", "x"}, "fail"},
        {{"/set", "/i", "Item"}, "fail"},
        {{"/set", "c.txt", "/pw"}, "fail"},
        {{"/ChangeUserPassword"}, "fail"},
        {{"/ChangeUserPassword", "/pw", "cur"}, "fail"},
        {{"/ChangeUserPassword", "new"}, needPw},
        {{"/ChangeSupervisorPassword", "n", "/pw", "x", "/o", "f"}, "fail"},
        {{"get"}, "fail"},
    });
}

// /check takes its file name unless an option follows, /i takes two arguments after it, and a
// password, an output file or a file beside /i fails it without the "Need /pw input" line.
TEST(AppCommandLine, CheckParsesAsAReadOnlyCommand) {
    ExpectOutcomes({
        {{"/check", "base.txt"}, "20 in=base.txt"},
        {{"/CHECK", "base.txt", "/F"}, "40020 in=base.txt"},
        {{"/check", "/f", "/i", "Boot", "UEFI"}, "c0020 item=Boot value=UEFI"},
        {{"/check", "/i", "Boot", "UEFI", "/i", "X", "Y"}, "80020 item=BootX value=UEFIY"},
        {{"/check", "/pw"}, "fail"},
        {{"/check", "/PWSTDIN"}, "fail"},
        {{"/check", "/o"}, "fail"},
        {{"/check", "/h"}, "fail"},
        {{"/check", "a.txt", "/i", "Boot", "UEFI"}, "fail"},
        {{"/check", "", "/f", "/i", "Boot", "UEFI"}, "fail"},
        {{"/check", "/i", "Boot", "UEFI", "a.txt"}, "fail"},
        {{"/set", "c.txt", "/i", "Boot", "UEFI", "/pw", "x"},
         "90004 in=c.txt item=Boot value=UEFI pw=x"},
        {{"/set", "/o", "/pw", "x"}, "10004 in=/o pw=x"},
        {{"/check"}, "fail"},
        {{"/check", "/i", "Boot"}, "fail"},
        {{"/check", "a.txt", "/pw", "x"}, "fail"},
        {{"/check", "a.txt", "/pwstdin"}, "fail"},
        {{"/check", "a.txt", "/o", "x"}, "fail"},
        {{"/check", "a.txt", "/set", "b.txt"}, "fail"},
        {{"/check", "/f", "a.txt"}, "fail"},
    });
}

// /pwstdin stands where /pw stands and counts as it for every rule; the last of them wins.
TEST(AppCommandLine, PwstdinCountsAsPw) {
    ExpectOutcomes({
        {{"/set", "c.txt", "/PWSTDIN"}, "10004 in=c.txt pwstdin"},
        {{"/set", "/pwstdin"}, "10004 pwstdin"},
        {{"/set", "/i", "Boot", "UEFI", "/pwstdin"}, "90004 item=Boot value=UEFI pwstdin"},
        {{"/set", "c.txt", "/pw", "x", "/pwstdin"}, "10004 in=c.txt pwstdin"},
        {{"/set", "c.txt", "/pwstdin", "/pw", "x"}, "10004 in=c.txt pw=x"},
        {{"/ChangeUserPassword", "n", "/pwstdin"}, "10008 new=n pwstdin"},
        {{"/ChangeSupervisorPassword", "/pwstdin", "/pw", "c"}, "10010 pw=c new=/pwstdin"},
        {{"/pwstdin"}, "10000 pwstdin"},
        {{"/get", "/pwstdin"}, "fail"},
        {{"/set", "c.txt", "/pwstdin", "x"}, "fail"},
    });
}

TEST(AppCommandLine, UsageTextKeepsItsExactLengthAndLines) {
    const std::string usage = UsageText;
    EXPECT_EQ(usage.size(), 826u);
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 17);
    EXPECT_EQ(usage.find("=====================Dora Ruvoro Daru User Manual===================="
                         "\nUsage : \n  command /get is used to get curretn setting of bios\n"),
              0u);
}

TEST(AppCommandLine, WidenArgumentKeepsEachByteAsOneUnit) {
    EXPECT_EQ(WidenArgument(""), WidenArgument(nullptr));
    EXPECT_EQ(WidenArgument("caf\xE9\x7F\xFF"), std::wstring({L'c', L'a', L'f', 0xE9, 0x7F, 0xFF}));
}

}  // namespace

}  // namespace velorin::tool::testing
