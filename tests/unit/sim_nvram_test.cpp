#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "sim_test_support.h"

namespace velorin::sim::testing {
namespace {

constexpr int kWriters = 8;

// A machine file in a fresh folder; its saved changes go to PATH.nvram beside it.
std::string WriteMachine(const std::string& name, const std::string& extra = "") {
    std::string path = FreshFolder(name) + "/velorin.machine";
    std::ofstream file(path);
    file << "supervisor-password \"admin\"\n";
    for (int i = 0; i < kWriters; ++i) {
        file << "item " << 0x0100 + i << " \"Item " << i << "\" current 1\n"
             << "  option \"On\"\n  option \"Off\"\n";
    }
    file << extra;
    return path;
}

std::unique_ptr<Machine> MustLoad(const std::string& path) {
    std::string error;
    std::unique_ptr<Machine> m = Machine::Load(path, &error);
    EXPECT_TRUE(m->Installed()) << error;
    return m;
}

// One tool run: authorise, set one item to its second option, save.
uint32_t SaveSecondOption(const std::string& path, uint32_t code) {
    std::unique_ptr<Machine> m = MustLoad(path);
    SetPassword(*m, u"admin");
    Set(*m, code, u"2");
    return RetCode(m->Execute("Save", {}));
}

void ExpectAllSecondOption(const std::string& path) {
    std::unique_ptr<Machine> m = MustLoad(path);
    for (uint32_t i = 0; i < kWriters; ++i) EXPECT_EQ(Data(EnumSetting(*m, i)), u"2") << i;
}

TEST(SimNvram, SavedChangesSurviveAndUnsavedOnesDoNot) {
    std::string path = WriteMachine("sim_nvram_round_trip");
    const Text password = Text(u"q\"\\ \u00E9\u20AC") + char16_t(0xD800) + u"#";
    {
        std::unique_ptr<Machine> m = MustLoad(path);
        SetPassword(*m, u"admin");
        EXPECT_EQ(RetCode(Set(*m, 0x0101, u"2")), 0u);
        EXPECT_EQ(RetCode(Set(*m, 0x3000, password)), 0u);
        EXPECT_EQ(RetCode(Set(*m, 0x3001, u"user")), 0u);
        EXPECT_EQ(RetCode(m->Execute("Save", {})), 0u);
        EXPECT_EQ(RetCode(Set(*m, 0x0102, u"2")), 0u);  // pending, never saved
    }
    std::unique_ptr<Machine> m = MustLoad(path);
    EXPECT_EQ(Data(EnumSetting(*m, 1)), u"2");
    EXPECT_EQ(Data(EnumSetting(*m, 2)), u"1");
    EXPECT_EQ(RetCode(SetPassword(*m, u"admin")), 2u);
    EXPECT_EQ(RetCode(SetPassword(*m, password)), 0u);

    std::filesystem::remove(path + ".nvram");  // a reset
    EXPECT_EQ(Data(EnumSetting(*MustLoad(path), 1)), u"1");
}

TEST(SimNvram, SavedSettingGoesToTheFirstItemOfItsCode) {
    std::string path =
        WriteMachine("sim_nvram_twins", "item 0x0100 \"Twin\" current 1\n option \"A\"\n");
    EXPECT_EQ(SaveSecondOption(path, 0x0100), 0u);
    std::unique_ptr<Machine> m = MustLoad(path);
    EXPECT_EQ(Data(EnumSetting(*m, 0)), u"2");
    EXPECT_EQ(Data(EnumSetting(*m, kWriters)), u"1");  // the twin listed later in the file
}

TEST(SimNvram, BrokenOrUnwritableFilesAreReported) {
    std::string path = WriteMachine("sim_nvram_broken");
    std::ofstream(path + ".nvram") << "setting 0x0100 2\nsetting 0x0101\n";
    std::string error;
    EXPECT_FALSE(Machine::Load(path, &error)->Installed());
    EXPECT_EQ(error, path + ".nvram:2: expected: setting CODE N");

    std::filesystem::create_directories(path + ".nvram.d");
    std::string blocked = path + ".nvram.d";  // a folder where the file should be
    std::ifstream machineFile(path);
    std::string text((std::istreambuf_iterator<char>(machineFile)),
                     std::istreambuf_iterator<char>());
    std::unique_ptr<Machine> m = Machine::Parse(text, path, path + "/below-a-file.nvram", &error);
    ASSERT_TRUE(m->Installed()) << error;
    SetPassword(*m, u"admin");
    Set(*m, 0x0100, u"2");
    EXPECT_EQ(RetCode(m->Execute("Save", {})), 12u);
    EXPECT_FALSE(Machine::Parse(text, path, blocked, &error)->Installed());
    EXPECT_EQ(error, blocked + ":0: cannot read the saved settings");
}

// A lost change shows only when writers meet, so the test gives them several chances. Writers
// in processes of their own are the tool runs of ConcurrentRuns.EverySimultaneousSetIsSaved.
constexpr int kRounds = 5;

TEST(SimNvram, ConcurrentThreadsLoseNoSavedChange) {
    for (int round = 0; round < kRounds; ++round) {
        std::string path = WriteMachine("sim_nvram_threads");
        std::vector<std::thread> writers;
        std::vector<uint32_t> results(kWriters, 99);
        for (int i = 0; i < kWriters; ++i) {
            writers.emplace_back([&, i] { results[i] = SaveSecondOption(path, 0x0100 + i); });
        }
        for (std::thread& t : writers) t.join();
        for (uint32_t r : results) EXPECT_EQ(r, 0u);
        ExpectAllSecondOption(path);
    }
}

}  // namespace
}  // namespace velorin::sim::testing
