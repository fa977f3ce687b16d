#include "app/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Parsed {
    int result;
    CommandOptions options;
    std::string output;
};

// Keeps the argument texts alive for the password references the parse hands back.
Parsed Parse(std::vector<std::string>& args) {
    args.insert(args.begin(), "VelorinBiosConfigTool.exe");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    Parsed parsed{};
    testing::internal::CaptureStdout();
    parsed.result = ParseCommandLine(static_cast<int>(args.size()), argv.data(), parsed.options);
    parsed.output = testing::internal::GetCapturedStdout();
    return parsed;
}

std::string OrEmpty(const char* text) { return text != nullptr ? text : "<none>"; }

struct AcceptedCase {
    std::vector<std::string> args;
    uint32_t flags;
    std::string input, output, item, value, current, next;
};

const AcceptedCase kAccepted[] = {
    {{}, 0, "", "", "", "", "<none>", "<none>"},
    {{"/H"}, FLAG_HELP, "", "", "", "", "<none>", "<none>"},
    {{"/GET", "/O", "out.txt"}, FLAG_GET | FLAG_OUTPUT, "", "out.txt", "", "", "<none>", "<none>"},
    {{"/get", "/o", "a", "/o", "b"}, FLAG_GET | FLAG_OUTPUT, "", "ab", "", "", "<none>", "<none>"},
    {{"/i", "/get"}, FLAG_GET | FLAG_ITEM, "", "", "", "", "<none>", "<none>"},
    {{"/get", "/i", "/pw"}, FLAG_GET | FLAG_ITEM, "", "", "/pw", "", "<none>", "<none>"},
    {{"/set", "c.txt", "/pw", "x", "/pw", ""},
     FLAG_SET | FLAG_PASSWORD,
     "c.txt",
     "",
     "",
     "",
     "",
     "<none>"},
    {{"/set", "/PW", "x"}, FLAG_SET | FLAG_PASSWORD, "", "", "", "", "x", "<none>"},
    {{"/set", "/F", "/pw", "x"},
     FLAG_SET | FLAG_FORCE | FLAG_PASSWORD,
     "",
     "",
     "",
     "",
     "x",
     "<none>"},
    {{"/set", "/i", "Boot", "UEFI", "/pw", "x"},
     FLAG_SET | FLAG_ITEM | FLAG_PASSWORD,
     "",
     "",
     "Boot",
     "UEFI",
     "x",
     "<none>"},
    {{"/ChangeUserPassword", "/pw", "/pw", "c"},
     FLAG_CHANGE_USER_PASSWORD | FLAG_PASSWORD,
     "",
     "",
     "",
     "",
     "c",
     "/pw"},
    {{"/changesupervisorpassword", "n", "/pw", "c", "/i"},
     FLAG_CHANGE_SUPERVISOR_PASSWORD | FLAG_PASSWORD | FLAG_ITEM,
     "",
     "",
     "",
     "",
     "c",
     "n"},
    {{"/f"}, FLAG_FORCE, "", "", "", "", "<none>", "<none>"},
};

TEST(AppCommandLine, AcceptedLinesFillTheRecord) {
    for (AcceptedCase c : kAccepted) {
        const std::string line = testing::PrintToString(c.args);
        const Parsed p = Parse(c.args);
        EXPECT_EQ(p.result, 0) << line;
        EXPECT_EQ(p.options.flags, c.flags) << line;
        EXPECT_EQ(p.options.inputFileName, c.input) << line;
        EXPECT_EQ(p.options.outputFileName, c.output) << line;
        EXPECT_EQ(p.options.itemName, c.item) << line;
        EXPECT_EQ(p.options.itemValue, c.value) << line;
        EXPECT_EQ(OrEmpty(p.options.currentPassword), c.current) << line;
        EXPECT_EQ(OrEmpty(p.options.newPassword), c.next) << line;
        EXPECT_EQ(p.output, "") << line;
    }
}

struct RejectedCase {
    std::vector<std::string> args;
    bool asksForPassword;
};

const RejectedCase kRejected[] = {
    {{"/?", "/h"}, false},
    {{"/get", "/?"}, false},
    {{"/get", "/GET"}, false},
    {{"/get", "/pw", "x"}, false},
    {{"/get", "/f"}, false},
    {{"/get", "/i"}, false},
    {{"/get", "/o"}, false},
    {{"/i", "Item", "/get"}, false},
    {{"/set"}, false},
    {{"/set", "c.txt"}, true},
    {{"/set", "c.txt", "/o", "x", "/pw", "y"}, false},
    {{"/set", "/f", "c.txt", "/pw", "x"}, false},
    {{"/set", "/o", "x", "/pw", "y"}, false},
    {{"/set", "/i", "Item"}, false},
    {{"/set", "c.txt", "/pw"}, false},
    {{"/ChangeUserPassword"}, false},
    {{"/ChangeUserPassword", "/pw", "cur"}, false},
    {{"/ChangeUserPassword", "new"}, true},
    {{"/ChangeSupervisorPassword", "n", "/pw", "x", "/o", "f"}, false},
    {{"/ChangeUserPassword", "n", "/pw", "x", "/f"}, false},
    {{"get"}, false},
    {{"/gets"}, false},
};

TEST(AppCommandLine, RejectedLinesFailAndAskForPasswordOnlyWhenItIsMissing) {
    for (RejectedCase c : kRejected) {
        const std::string line = testing::PrintToString(c.args);
        const Parsed p = Parse(c.args);
        EXPECT_EQ(p.result, -1) << line;
        EXPECT_EQ(p.output, c.asksForPassword ? "Need /pw input\n" : "") << line;
    }
}

TEST(AppCommandLine, ArgumentVectorEndsAtItsFirstNullEntry) {
    char program[] = "tool";
    char get[] = "/get";
    char* argv[] = {program, get, nullptr, nullptr};
    CommandOptions options;
    EXPECT_EQ(ParseCommandLine(4, argv, options), 0);
    EXPECT_EQ(options.flags, FLAG_GET);
}

TEST(AppCommandLine, UsageTextKeepsItsExactLengthAndLines) {
    const std::string usage = UsageText;
    EXPECT_EQ(usage.size(), 826u);
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 17);
    EXPECT_EQ(usage.find("=====================Dora Ruvoro Daru User Manual===================="
                         "\nUsage : \n  command /get is used to get curretn setting of bios\n"),
              0u);
    EXPECT_EQ(usage.substr(usage.size() - 2), "\n\n");
}

TEST(AppCommandLine, WidenArgumentKeepsEachByteAsOneUnit) {
    EXPECT_EQ(WidenArgument(""), L"");
    EXPECT_EQ(WidenArgument(nullptr), L"");
    EXPECT_EQ(WidenArgument("caf\xE9\x7F\xFF"), std::wstring({L'c', L'a', L'f', 0xE9, 0x7F, 0xFF}));
    EXPECT_EQ(WidenArgument("ab").c_str()[2], L'\0');
}

}  // namespace
