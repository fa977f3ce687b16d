#include "app/command_line.h"
#include "catalog/config_tool.h"
#include "sim/machine.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace velorin::tool::testing {

namespace {

const std::string kAdmin = "supervisor-password \"admin\"\n";
const std::string k20 = "abcdefghijklmnopqrst";
const std::string k21 = k20 + "u";
const std::string kSetPasswordFails = "fault ExecMethod \"SetPassword\" hr=0x80041001\n";
const std::string kIncorrect = "Incorrect Password\n";

std::unique_ptr<ConfigTool> ToolOn(const std::string& machineText) {
    tool_fixture::UseMachine(machineText, "app-password.machine");
    return std::make_unique<ConfigTool>();
}

// A failed provider call prints the interface's own line first; the tool's lines end it.
bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct PasswordCase {
    std::string machine;
    std::string current;
    int result;
    std::string tail;
    bool supervisor;
    std::string next;
};

// The tool's own refusals (length, a NUL, a failed call) stay apart from the provider's
// answers, also where both have the same number.
TEST(AppPassword, SupervisorCheckLimitsLengthAndPassesTheProvidersAnswer) {
    struct CheckCase {
        std::string machine;
        std::string current;
        int result;
        std::optional<ResultCode> answer;
        std::string tail;
    };
    const std::string kAnswers = kAdmin + "answer SetPassword retcode=";
    const CheckCase cases[] = {
        {kAdmin, "admin", RC_SUCCESS, RC_SUCCESS, ""},
        {kAdmin, "wrong", RC_SUCCESS, RC_WRONG_PASSWORD, ""},
        {"supervisor-password \"" + k20 + "\"\n", k20, RC_SUCCESS, RC_SUCCESS, ""},
        {kAdmin + kSetPasswordFails, k21, RC_INVALID_PASSWORD_LENGTH, std::nullopt,
         "password length must be under 20\n"},
        {"supervisor-password \"\"\n", "", RC_SUCCESS, RC_SUCCESS, ""},
        {"supervisor-password \"caf\\xE9\"\n", "caf\xE9", RC_SUCCESS, RC_SUCCESS, ""},
        {kAnswers + "10\n", "admin", RC_SUCCESS, RC_NO_SUPERVISOR_PASSWORD, ""},
        {kAnswers + "11\n", "admin", RC_SUCCESS, RC_INVALID_PASSWORD_LENGTH, ""},
        {kAnswers + "13\n", "admin", RC_SUCCESS, std::nullopt, ""},
        {kAnswers + "14\n", "admin", RC_SUCCESS, std::nullopt, ""},
        {kAdmin + kSetPasswordFails, "admin", RC_INTERNAL_ERROR, std::nullopt,
         "Setpassword call failed\n"},
        // A NUL is never sent: the provider, failing every call here, is not asked.
        {kAdmin + kSetPasswordFails, std::string("admin\0zzz", 9), RC_WRONG_PASSWORD, std::nullopt,
         ""},
        {kAdmin + kSetPasswordFails, std::string("\0", 1), RC_WRONG_PASSWORD, std::nullopt, ""},
        {kAdmin + kSetPasswordFails, k20 + std::string("\0", 1), RC_INVALID_PASSWORD_LENGTH,
         std::nullopt, "password length must be under 20\n"},
    };
    for (const CheckCase& c : cases) {
        auto tool = ToolOn(c.machine);
        const std::wstring password = WidenBytes(c.current);
        PasswordCheck check;
        const std::string output =
            tool_fixture::CaptureOutput([&] { check = tool->CheckSupervisorPassword(password); });
        EXPECT_EQ(check.result, c.result) << c.machine;
        EXPECT_EQ(check.answer, c.answer) << c.machine;
        EXPECT_TRUE(EndsWith(output, c.tail)) << c.machine;
    }
}

TEST(AppPassword, ChangeFailsOnRefusedCurrentPasswordAndOnRefusedSet) {
    const std::string user3001 = "answer Set item=0x3001 retcode=11\n";
    const PasswordCase cases[] = {
        {kAdmin, "admin", 0, "", false, "user1"},
        {kAdmin, "admin", 0, "", true, ""},
        {kAdmin, "wrong", 2, kIncorrect, true, "x"},
        {kAdmin, k21, 2, "password length must be under 20\n" + kIncorrect, true, "x"},
        {kAdmin + kSetPasswordFails, "admin", 2, "Setpassword call failed\n" + kIncorrect, true,
         "x"},
        {kAdmin + "answer SetPassword retcode=10\n", "admin", 2, kIncorrect, false, "x"},
        {kAdmin + user3001, "admin", 11, "", false, "x"},
        {kAdmin + user3001, "admin", 0, "", true, "x"},
        {kAdmin + "answer Set retcode=99\n", "admin", 12, "", true, "x"},
        {kAdmin + "answer Set retcode=13\n", "admin", 12, "", true, "x"},
        {"supervisor-password \"\"\n", "", 10, "", false, "user"},
        {kAdmin + "fault ExecMethod \"Set\" hr=0x80041001\n", "admin", 12, "Set call failed\n",
         true, "x"},
        {kAdmin, std::string("admin\0", 6), 2, kIncorrect, true, "x"},
    };
    for (const PasswordCase& c : cases) {
        auto tool = ToolOn(c.machine);
        int result = -1;
        const std::string output = tool_fixture::CaptureOutput(
            [&] { result = tool->ChangePassword(c.supervisor, c.current, c.next.c_str()); });
        EXPECT_EQ(result, c.result) << c.machine << c.next;
        EXPECT_TRUE(EndsWith(output, c.tail)) << c.machine << output;
    }
}

}  // namespace

}  // namespace velorin::tool::testing
