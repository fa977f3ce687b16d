// Many tool runs at once against one machine file, and an export that cannot be written.
#include "tool_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using velorin::load::FinishTool;
using velorin::load::ReadFile;
using velorin::load::StartTool;
using velorin::load::ToolRun;
using velorin::load::WriteFile;

namespace {

constexpr int kItems = 32;

std::string ItemName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "Item %02d", i);
    return name;
}

std::string MachineOfItems(int items) {
    std::string text = "manufacturer \"Velorin Corporation\"\nsupervisor-password \"admin\"\n";
    for (int i = 0; i < items; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", 0x0100 + i);
        text += std::string("item ") + code + " \"" + ItemName(i) + "\" current 1\n" +
                "  option \"Off\"\n  option \"On\"\n";
    }
    return text;
}

class ConcurrentRuns : public testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::path(VELORIN_LOAD_WORK) /
                testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(work_);
        fs::create_directories(work_);
        machine_ = work_ / "machine.txt";
        WriteFile(machine_, MachineOfItems(kItems));
    }

    // Starts every argument list at once, then waits for all of them.
    std::vector<velorin::load::ToolResult> RunAll(
        const std::vector<std::vector<std::string>>& runs) {
        std::vector<ToolRun> started;
        for (size_t i = 0; i < runs.size(); ++i) {
            started.push_back(
                StartTool(work_, machine_, runs[i], work_ / ("stdout" + std::to_string(i))));
        }
        std::vector<velorin::load::ToolResult> results;
        for (const ToolRun& run : started) results.push_back(FinishTool(run));
        return results;
    }

    std::vector<std::string> LeftoverTemporaries() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(work_)) {
            const std::string name = entry.path().filename().string();
            if (name.find(".tmp") != std::string::npos) found.push_back(name);
        }
        return found;
    }

    fs::path work_;
    fs::path machine_;
};

TEST_F(ConcurrentRuns, EverySimultaneousSetIsSaved) {
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < kItems; ++i)
        runs.push_back({"/set", "/i", ItemName(i), "On", "/pw", "admin"});
    const auto results = RunAll(runs);
    for (int i = 0; i < kItems; ++i) {
        SCOPED_TRACE(ItemName(i));
        EXPECT_EQ(results[i].exitCode, 0);
        EXPECT_NE(results[i].out.find("Successfully set to On\n"), std::string::npos);
    }

    std::set<std::string> saved;
    std::istringstream nvram(ReadFile(machine_.string() + ".nvram"));
    for (std::string line; std::getline(nvram, line);) saved.insert(line);
    for (int i = 0; i < kItems; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "setting 0x%04X 2", 0x0100 + i);
        EXPECT_EQ(saved.count(line), 1u) << line;
    }
    // The next run sees all of them, as after a reboot.
    const auto listing = RunAll({{"/get"}});
    size_t chosen = 0;
    for (size_t at = 0; (at = listing[0].out.find("*On\n", at)) != std::string::npos; ++at)
        ++chosen;
    EXPECT_EQ(chosen, static_cast<size_t>(kItems));
}

TEST_F(ConcurrentRuns, SimultaneousExportsEachWriteAWholeFile) {
    ASSERT_EQ(RunAll({{"/get", "/o", "reference.txt"}})[0].exitCode, 0);
    const std::string reference = ReadFile(work_ / "reference.txt");
    ASSERT_NE(reference.find("+++" + ItemName(kItems - 1) + "\r\n"), std::string::npos);

    constexpr int kExports = 16;
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < kExports; ++i)
        runs.push_back({"/get", "/o", "out" + std::to_string(i) + ".txt"});
    const auto results = RunAll(runs);
    for (int i = 0; i < kExports; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i].exitCode, 0);
        EXPECT_EQ(ReadFile(work_ / ("out" + std::to_string(i) + ".txt")), reference);
    }
    EXPECT_EQ(LeftoverTemporaries(), std::vector<std::string>());
}

// Each run writes a temporary file of its own, so runs racing for one target all succeed and the
// target always ends up as one whole export.
TEST_F(ConcurrentRuns, SimultaneousExportsToOneNameAllSucceed) {
    ASSERT_EQ(RunAll({{"/get", "/o", "reference.txt"}})[0].exitCode, 0);
    const std::string reference = ReadFile(work_ / "reference.txt");
    constexpr int kRounds = 4;
    constexpr int kExports = 16;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const auto results =
            RunAll(std::vector<std::vector<std::string>>(kExports, {"/get", "/o", "same.txt"}));
        for (const auto& result : results) EXPECT_EQ(result.exitCode, 0) << result.out;
        EXPECT_EQ(ReadFile(work_ / "same.txt"), reference);
    }
    EXPECT_EQ(LeftoverTemporaries(), std::vector<std::string>());
}

// The target is a directory of that name: it cannot be replaced, and must survive as it was.
TEST_F(ConcurrentRuns, ExportOverADirectoryFailsAndLeavesItAlone) {
    const std::vector<std::vector<std::string>> commands = {
        {"/get", "/o", "taken.txt"},
        {"/get", "/i", ItemName(3), "/o", "taken.txt"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.size());
        fs::create_directories(work_ / "taken.txt");
        WriteFile(work_ / "taken.txt" / "inside", "kept");

        const auto result = RunAll({command})[0];
        EXPECT_EQ(result.exitCode, 12);
        EXPECT_NE(result.out.find("can't write the output file taken.txt\n"), std::string::npos)
            << result.out;
        EXPECT_TRUE(fs::is_directory(work_ / "taken.txt"));
        EXPECT_EQ(ReadFile(work_ / "taken.txt" / "inside"), "kept");
        EXPECT_EQ(LeftoverTemporaries(), std::vector<std::string>());
    }
}

}  // namespace
