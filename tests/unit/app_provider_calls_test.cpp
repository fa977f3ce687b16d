// How many times each command asks the firmware, counted by the simulated machine: exact
// figures, since they do not depend on the machine's load. n items of k options each, m
// entries in a file.
#include "app/command_line.h"
#include "catalog/config_tool.h"
#include "sim/machine.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

constexpr int kItems = 12;
constexpr int kOptions = 4;

std::string Name(int item) { return "Setting " + std::to_string(item); }
std::string Option(int item, int option) {
    return "Choice " + std::to_string(option) + " of " + std::to_string(item);
}

// Current options cycle through 1 to k, so that the walk meets each of them.
std::string MachineText() {
    std::string text = "supervisor-password \"admin\"\n";
    for (int i = 0; i < kItems; ++i) {
        text += "item " + std::to_string(0x4000 + i) + " \"" + Name(i) + "\" current " +
                std::to_string(1 + i % kOptions) + "\n";
        for (int j = 1; j <= kOptions; ++j) text += "option \"" + Option(i, j) + "\"\n";
    }
    return text;
}

// A configuration file naming the first `entries` items, each with its second option.
std::string Baseline(int entries) {
    std::string text;
    for (int i = 0; i < entries; ++i) {
        text += "+++" + Name(i) + "\n";
        for (int j = 1; j <= kOptions; ++j) text += (j == 2 ? "*" : "") + Option(i, j) + "\n";
        text += "\n";
    }
    return text;
}

struct ToolRun {
    int exitCode = -1;
    std::string output;
    std::map<std::string, uint64_t> calls;
};

ToolRun RunOn(const std::string& machine, std::vector<std::string> args) {
    tool_fixture::UseMachine(machine, "calls.machine");
    ConfigTool tool;
    args.insert(args.begin(), "VelorinBiosConfigTool.exe");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ToolRun run;
    run.output = tool_fixture::CaptureOutput(
        [&] { run.exitCode = RunTool(tool, static_cast<int>(args.size()), argv.data()); });
    run.calls = sim::Machine::Current().Calls();
    return run;
}

uint64_t Total(const std::map<std::string, uint64_t>& calls) {
    uint64_t total = 0;
    for (const auto& entry : calls) total += entry.second;
    return total;
}

class ProviderCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(work_);
        for (const int entries : {3, kItems}) {
            std::ofstream(work_ / ("baseline" + std::to_string(entries) + ".txt"))
                << Baseline(entries);
        }
    }
    const std::filesystem::path work_ = std::filesystem::path(VELORIN_TEST_TMP) / "provider_calls";
};

// /get, /set and /capture keep their order of calls: per item its enumeration, name, current
// value and a walk of k + 1 answers. /check reads every name, then only what it compares,
// the walk giving the current value.
TEST_F(ProviderCalls, EachCommandMakesItsExactNumberOfCalls) {
    const tool_fixture::ScopedWorkingDirectory inside(work_);
    const int n = kItems;
    const int k = kOptions;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        uint64_t calls;
    } cases[] = {
        {{"/get"}, 0, (k + 4) * n + 2},
        {{"/get", "/i", "setting 3"}, 0, (k + 4) * n + 2},
        {{"/check", "baseline3.txt"}, 13, 2 * n + (k + 1) * 3 + 2},
        {{"/check", "baseline12.txt"}, 13, 2 * n + (k + 1) * n + 2},
        {{"/check", "/i", "setting 3", Option(3, 4)}, 0, 2 * n + (k + 1) + 2},
        {{"/check", "/i", "no such item", "x"}, 7, 2 * n + 2},
        {{"/set", "baseline3.txt", "/pw", "admin"}, 0, (k + 4) * n + 3 + 4},
        {{"/capture", "capture.txt"}, 0, (k + 4) * n + 3},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunOn(MachineText(), c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << run.output;
        EXPECT_EQ(Total(run.calls), c.calls) << c.args[0] << " " << c.args[1];
    }
}

// The three-entry check of the example PC: 150 items of 8 options.
TEST_F(ProviderCalls, ThreeEntryCheckOfALargeMachineStaysWithinItsBound) {
    const tool_fixture::ScopedWorkingDirectory inside(work_);
    std::string machine;
    for (int i = 0; i < 150; ++i) {
        machine += "item " + std::to_string(0x4000 + i) + " \"" + Name(i) + "\" current " +
                   std::to_string(1 + i % 8) + "\n";
        for (int j = 1; j <= 8; ++j) machine += "option \"" + Option(i, j) + "\"\n";
    }
    const ToolRun run = RunOn(machine, {"/check", "baseline3.txt"});
    EXPECT_EQ(run.exitCode, 13) << run.output;
    EXPECT_EQ(run.calls, (std::map<std::string, uint64_t>{
                             {"EnumSetting", 151}, {"GetRevision", 1}, {"GetString", 150 + 27}}));
    EXPECT_LE(Total(run.calls), 2u * 150 + (8 + 2) * 3 + 16);
}

// Where the walk cannot stand for the current value, /check asks it as /get does: an item
// without options (index 0), a current index of ten or more (asked as "10", walked as ":"),
// and a list that ends before the current index.
TEST_F(ProviderCalls, CheckAsksTheCurrentValueWhereTheWalkDoesNotMeetIt) {
    const tool_fixture::ScopedWorkingDirectory inside(work_);
    std::string machine =
        "item 0x100 \"Tag\" current 0\nvalue \"T-1\"\n"
        "item 0x101 \"Many\" current 10\n";
    for (int j = 1; j <= 11; ++j) machine += "option \"M" + std::to_string(j) + "\"\n";
    machine +=
        "item 0x102 \"Short\" current 3\noption \"A\"\noption \"B\" retcode=14\n"
        "option \"C\"\n";
    const struct {
        std::string item;
        std::string option;
        int exitCode;
        uint64_t detailCalls;
    } cases[] = {
        {"Tag", "T-1", 8, 1},
        {"Many", "M10", 0, 1 + 12},
        {"Short", "A", 13, 2 + 1},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunOn(machine, {"/check", "/i", c.item, c.option});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.item << run.output;
        EXPECT_EQ(Total(run.calls), 2 + 2 * 3 + c.detailCalls) << c.item;
    }
}

TEST(ProviderCallLog, OneLineGivesTheTotalAndEachMethodInNameOrder) {
    EXPECT_EQ(sim::CallLogLine({}), "calls 0\n");
    EXPECT_EQ(sim::CallLogLine({{"GetString", 7}, {"EnumSetting", 3}, {"GetRevision", 1}}),
              "calls 11 EnumSetting=3 GetRevision=1 GetString=7\n");
}

}  // namespace

}  // namespace velorin::tool::testing
