#include "app/command_line.h"
#include "catalog/config_tool.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

std::string Report(int code, const std::string& message) {
    return "*******COMMAND FAIL******\nReturn Code : " + std::to_string(code) +
           " Error Message : " + message + "\n";
}

// Each run sees its own machine in a scratch working directory that holds a directory named
// "taken", which no export can replace. The output is judged by how it ends.
TEST(AppRunTool, MendedRoadsEndWithTheirLinesAndExitCode) {
    const std::filesystem::path work = std::filesystem::path(VELORIN_TEST_TMP) / "app_run_tool";
    std::filesystem::create_directories(work / "taken");
    std::ofstream(work / "taken" / "keep").put('x');
    const tool_fixture::ScopedWorkingDirectory inside(work);
    const std::string admin = "supervisor-password \"admin\"\n";
    const std::vector<std::string> user = {"/ChangeUserPassword", "n", "/pw", "admin"};
    const std::vector<std::string> supervisor = {"/ChangeSupervisorPassword", "n", "/pw", "admin"};
    const struct {
        std::string machine;
        std::vector<std::string> args;
        int exitCode;
        std::string tail;
    } cases[] = {
        {"", {}, 0, std::string("Invalid Command (null), check help guide below\n") + UsageText},
        {admin + "answer Set item=0x3001 retcode=11\n", user, 11,
         "set userPassword fail\n" + Report(11, "invalid password length to set")},
        {admin + "answer Set item=0x3000 retcode=10\nanswer Save retcode=12\n", supervisor, 12,
         "set supervisorpassword fail\n" + Report(10, "There is no supervisor password set") +
             Report(12, "Internal error")},
        {"item 0x0100 \"Boot Mode\" current 1\noption \"UEFI\"\n",
         {"/get", "/o", "taken"},
         12,
         Report(12, "Internal error")},
    };
    for (auto c : cases) {
        tool_fixture::UseMachine(c.machine, "app-run.machine");
        ConfigTool tool;
        c.args.insert(c.args.begin(), "VelorinBiosConfigTool.exe");
        std::vector<char*> argv;
        for (std::string& arg : c.args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int exitCode = -1;
        const std::string output = tool_fixture::CaptureOutput(
            [&] { exitCode = RunTool(tool, static_cast<int>(c.args.size()), argv.data()); });
        EXPECT_EQ(exitCode, c.exitCode) << c.machine;
        EXPECT_EQ(output.substr(output.size() - std::min(output.size(), c.tail.size())), c.tail);
    }
}

}  // namespace

}  // namespace velorin::tool::testing
