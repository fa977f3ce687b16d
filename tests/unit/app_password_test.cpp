#include "app/command_line.h"
#include "catalog/config_tool.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const std::string kAdmin = "supervisor-password \"admin\"\n";
const std::string kNoPassword = "supervisor-password \"\"\n";
const std::string k20 = "abcdefghijklmnopqrst";
const std::string k21 = k20 + "u";
const std::string kSetPasswordFails = "fault ExecMethod \"SetPassword\" hr=0x80041001\n";

std::unique_ptr<ConfigTool> ToolOn(const std::string& machineText) {
    std::string error;
    auto machine = velorin::sim::Machine::Parse(machineText, "app-password.machine", "", &error);
    EXPECT_EQ(error, "") << machineText;
    velorin::sim::Machine::SetCurrent(std::move(machine));
    return std::make_unique<ConfigTool>();
}

// Failed provider calls print the interface's own line first; only what follows is ours.
void ExpectOutput(const std::string& output, const std::string& expected, bool afterInterface,
                  const std::string& context) {
    if (!afterInterface) {
        EXPECT_EQ(output, expected) << context;
    } else {
        ASSERT_GE(output.size(), expected.size()) << context;
        EXPECT_EQ(output.substr(output.size() - expected.size()), expected) << context;
    }
}

struct CheckCase {
    std::string machine;
    std::string password;
    int result;
    std::string output;
    bool afterInterface;
};

TEST(AppPassword, SupervisorCheckLimitsLengthAndPassesTheProvidersAnswer) {
    const CheckCase cases[] = {
        {kAdmin, "admin", 0, "", false},
        {kAdmin, "Admin", 2, "", false},
        {"supervisor-password \"" + k20 + "\"\n", k20, 0, "", false},
        {kAdmin + kSetPasswordFails, k21, 11, "password length must be under 20\n", false},
        {kNoPassword, "", 0, "", false},
        {"supervisor-password \"caf\\xE9\"\n", "caf\xE9", 0, "", false},
        {kAdmin + "answer SetPassword retcode=10\n", "admin", 10, "", false},
        {kAdmin + kSetPasswordFails, "admin", 12, "Setpassword call failed\n", true},
    };
    for (const CheckCase& c : cases) {
        auto tool = ToolOn(c.machine);
        const std::wstring password = WidenArgument(c.password.c_str());
        testing::internal::CaptureStdout();
        EXPECT_EQ(tool->CheckSupervisorPassword(password.c_str()), c.result) << c.machine;
        ExpectOutput(testing::internal::GetCapturedStdout(), c.output, c.afterInterface, c.machine);
    }
}

struct ChangeCase {
    std::string machine;
    bool supervisor;
    std::string current;
    std::string next;
    int result;
    std::string output;
    bool afterInterface;
};

TEST(AppPassword, ChangeReportsRefusedCurrentPasswordAndRefusedSet) {
    const std::string wrong = "Incorrect Password\n";
    const ChangeCase cases[] = {
        {kAdmin, false, "admin", "user1", 0, "", false},
        {kAdmin, true, "admin", "", 0, "", false},
        {kAdmin, true, "wrong", "x", 2, wrong, false},
        {kAdmin, true, k21, "x", 2, "password length must be under 20\n" + wrong, false},
        {kAdmin + kSetPasswordFails, true, "admin", "x", 2, "Setpassword call failed\n" + wrong,
         true},
        {kAdmin + "answer SetPassword retcode=10\n", false, "admin", "x", 2, wrong, false},
        {kAdmin + "answer Set item=0x3001 retcode=11\n", false, "admin", "x", 11, "", false},
        {kAdmin + "answer Set item=0x3001 retcode=11\n", true, "admin", "x", 0, "", false},
        {kAdmin + "answer Set retcode=99\n", true, "admin", "x", 12, "", false},
        {kAdmin, true, "admin", k21, 11, "", false},
        {kNoPassword, false, "", "user", 10, "", false},
        {kAdmin + "fault ExecMethod \"Set\" hr=0x80041001\n", true, "admin", "x", 12,
         "Set call failed\n", true},
    };
    for (const ChangeCase& c : cases) {
        const std::string context = c.machine + " new=" + c.next;
        auto tool = ToolOn(c.machine);
        testing::internal::CaptureStdout();
        EXPECT_EQ(tool->ChangePassword(c.supervisor, c.current.c_str(), c.next.c_str()), c.result)
            << context;
        ExpectOutput(testing::internal::GetCapturedStdout(), c.output, c.afterInterface, context);
    }
}

}  // namespace
