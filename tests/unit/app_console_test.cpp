#include "report/console.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

namespace velorin::tool::testing {

namespace {

using tool_fixture::CaptureOutput;

TEST(AppConsole, CommandFailReportIsTwoLinesWithTheStoredMessage) {
    const struct {
        int code;
        const char* secondLine;
    } cases[] = {
        {1, "Return Code : 1 Error Message : Invalid command or option\n"},
        {11, "Return Code : 11 Error Message : invalid password length to set\n"},
        {12, "Return Code : 12 Error Message : Internal error\n"},
        {13, "Return Code : 13 Error Message : Settings differ from the input file\n"},
        {14, "Return Code : 14 Error Message : Unknown result code\n"},
        {-1, "Return Code : -1 Error Message : Unknown result code\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaptureOutput([&] { ReportCommandFail(c.code); }),
                  std::string("*******COMMAND FAIL******\n") + c.secondLine);
    }
}

// 13 is an outcome of /check, not a failure: nothing may hand it back as one.
TEST(AppConsole, OnlyCodesOneToTwelveAreFailures) {
    EXPECT_FALSE(IsFailureCode(RC_SUCCESS));
    EXPECT_TRUE(IsFailureCode(RC_INVALID_COMMAND));
    EXPECT_TRUE(IsFailureCode(RC_INTERNAL_ERROR));
    EXPECT_FALSE(IsFailureCode(RC_SETTINGS_DIFFER));
    EXPECT_FALSE(IsFailureCode(-1));
}

TEST(AppConsole, VersionLineSpacesNumbersAndMarksTheRevisionWithALetter) {
    const std::string banner = "======================VelorinBiosConfigTool==================\n";
    EXPECT_EQ(CaptureOutput([] { PrintVersionLines(0x00010001, 0x00010000); }),
              banner + "Tool version :  1.  1.  1.  0(@)\n");
    EXPECT_EQ(CaptureOutput([] { PrintVersionLines(0x000A0003, 0x01000001); }),
              banner + "Tool version :  10.  3.  256.  1(A)\n");
    // The test program carries the version resource of this build, as the tool does.
    EXPECT_EQ(CaptureOutput(PrintBanner), CaptureOutput([] {
                  PrintVersionLines((VELORIN_VERSION_MAJOR << 16) | VELORIN_VERSION_MINOR,
                                    (VELORIN_VERSION_PATCH << 16) | VELORIN_VERSION_TWEAK);
              }));
}

TEST(AppConsole, FileNamesWithAForbiddenCharacterAreRefused) {
    const struct {
        const char* name;
        bool valid;
    } cases[] = {
        {"", true},           {"my cfg.txt", true}, {"caf\xE9.txt", true}, {"sub\\cfg.txt", false},
        {"D:cfg.txt", false}, {"cfg?.txt", false},  {"a|b", false},        {"dir/cfg", false},
        {"*.txt", false},     {"\"q\"", false},     {"<a", false},         {"a>", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidFileName(c.name), c.valid) << c.name;
}

TEST(AppConsole, ThreeWritersKeepTheOrderOfTheCalls) {
    const std::string out = CaptureOutput([] {
        ConsolePrint("set failed\n");
        std::cout << "report" << std::endl;
        ConsolePrintW(L"wide %ls %d\n", L"text", 20);
        ConsolePrint("%s", "end\n");
    });
    EXPECT_EQ(out, "set failed\nreport\nwide text 20\nend\n");
}

TEST(AppConsole, LongWideMessagesArePrintedWhole) {
    const std::wstring wide(5000, L'x');
    EXPECT_EQ(CaptureOutput([&] { ConsolePrintW(L"%ls!", wide.c_str()); }),
              std::string(5000, 'x') + "!");
}

}  // namespace

}  // namespace velorin::tool::testing
