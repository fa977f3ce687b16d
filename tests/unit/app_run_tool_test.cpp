#include "app/command_line.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kAdmin = "supervisor-password \"admin\"\n";

std::string Report(int code, const std::string& message) {
    return "*******COMMAND FAIL******\nReturn Code : " + std::to_string(code) +
           " Error Message : " + message + "\n";
}

struct RunCase {
    std::string machine;
    std::vector<std::string> args;
    int exitCode;
    std::string tail;
};

// Each run sees its own machine; the output is judged by how it ends.
void ExpectRun(RunCase c) {
    std::string error;
    velorin::sim::Machine::SetCurrent(
        velorin::sim::Machine::Parse(c.machine, "app-run.machine", "", &error));
    ASSERT_EQ(error, "");
    const std::string line = testing::PrintToString(c.args);
    c.args.insert(c.args.begin(), "VelorinBiosConfigTool.exe");
    std::vector<char*> argv;
    for (std::string& arg : c.args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunTool(static_cast<int>(c.args.size()), argv.data()), c.exitCode) << line;
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_GE(output.size(), c.tail.size()) << line << "\n" << output;
    EXPECT_EQ(output.substr(output.size() - c.tail.size()), c.tail) << line;
}

TEST(AppRunTool, NoArgumentsNamesNullAndPrintsTheUsage) {
    ExpectRun(
        {"", {}, 0, std::string("Invalid Command (null), check help guide below\n") + UsageText});
}

TEST(AppRunTool, RevisionIsCheckedBeforeTheCommandLine) {
    ExpectRun({"revision 5\n",
               {"/?"},
               3,
               "Your current revision : 5\n" + Report(3, "Not supported revision")});
    ExpectRun({"fault ExecMethod \"GetRevision\" hr=0x80041001\n",
               {"/h"},
               12,
               "GetRivision call failed\n" + Report(12, "Internal error")});
}

TEST(AppRunTool, PasswordChangeRefusedByTheProviderFailsWithItsCode) {
    const RunCase cases[] = {
        {kAdmin + "answer Set item=0x3001 retcode=11\n",
         {"/ChangeUserPassword", "n", "/pw", "admin"},
         11,
         "set userPassword fail\n" + Report(11, "invalid password length to set")},
        {kAdmin + "answer Set item=0x3000 retcode=10\nanswer Save retcode=12\n",
         {"/ChangeSupervisorPassword", "n", "/pw", "admin"},
         12,
         "set supervisorpassword fail\n" + Report(10, "There is no supervisor password set") +
             Report(12, "Internal error")},
        {kAdmin,
         {"/ChangeSupervisorPassword", "n", "/pw", "admin"},
         0,
         "supervisor password is successfully set to n\n"},
    };
    for (const RunCase& c : cases) ExpectRun(c);
}

TEST(AppRunTool, FailedExportWriteReportsInternalError) {
    const std::filesystem::path work = std::filesystem::path(VELORIN_TEST_TMP) / "app_run_tool";
    std::filesystem::create_directories(work / "taken");
    std::ofstream(work / "taken" / "keep").put('x');
    std::filesystem::current_path(work);
    ExpectRun({"item 0x0100 \"Boot Mode\" current 1\noption \"UEFI\"\n",
               {"/get", "/o", "taken"},
               12,
               Report(12, "Internal error")});
}

}  // namespace
