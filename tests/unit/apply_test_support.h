// Shared set-up for the apply tests: one list of items describes both the simulated machine
// and the catalogue the tool holds for it, so the two cannot drift apart.
#pragma once

#include "catalog/config_tool.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace apply_test {

struct TestItem {
    int code;
    std::string name;  // catalogue bytes; machine text takes them as \xHH escapes
    std::vector<std::string> options;
    int current;  // 1-based option index, 0 for an item without options
};

inline const std::vector<TestItem>& StandardItems() {
    static const std::vector<TestItem> items = {
        {0x0100, "Boot Mode", {"UEFI", "Legacy"}, 1},
        {0x0101, "Wake On LAN", {"Enabled", "Disabled"}, 2},
        {0x0102, "Fan Level", {"Low", "High", "Auto"}, 3},
        {0x0103, "Power (AC)", {"On", "Off"}, 1},
        {0x0104, "Caf\xC9", {"Oui", "Non"}, 1},
        {0x0200, "Asset Tag", {}, 0},
    };
    return items;
}

inline std::string Quoted(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x80 && c != '"' && c != '\\'
                    ? std::string(1, c)
                    : std::string("\\x") + digits[byte >> 4] + digits[byte & 0xF];
    }
    return text + "\"";
}

inline std::string MachineText(const std::vector<TestItem>& items, const std::string& rules) {
    std::string text = "manufacturer \"Velorin Corporation\"\nsupervisor-password \"admin\"\n";
    for (const TestItem& item : items) {
        text += "item " + std::to_string(item.code) + " " + Quoted(item.name) + " current " +
                std::to_string(item.current) + "\n";
        for (const std::string& option : item.options) text += "option " + Quoted(option) + "\n";
    }
    return text + rules;
}

inline void FillCatalogue(ConfigTool& tool, const std::vector<TestItem>& items) {
    for (const TestItem& item : items) {
        tool.itemCodeByName.emplace(item.name, item.code);
        OptionTable& options = tool.optionsByItem[item.code];
        for (size_t i = 0; i < item.options.size(); ++i) {
            options.emplace(item.options[i], static_cast<int>(i + 1));
        }
        tool.currentValueByItem[item.code] =
            item.current > 0 ? item.options[static_cast<size_t>(item.current - 1)] : "";
    }
    tool.IndexLowerCase();
}

// A tool connected to a fresh simulated machine of the standard items, its catalogue filled
// and, when asked, its session authorised as after a good /pw.
inline std::unique_ptr<ConfigTool> MakeTool(const std::string& rules = "", bool authorise = true) {
    std::string error;
    velorin::sim::Machine::SetCurrent(velorin::sim::Machine::Parse(
        MachineText(StandardItems(), rules), "apply-test", "", &error));
    EXPECT_EQ(error, "");
    auto tool = std::make_unique<ConfigTool>();
    FillCatalogue(*tool, StandardItems());
    if (authorise) {
        uint16_t retCode = 0xFFFF;
        EXPECT_EQ(tool->core->SetPassword(L"admin", retCode), 1);
        EXPECT_EQ(retCode, 0);
    }
    return tool;
}

// The current option index the firmware reports for the item enumerated at `position`.
inline int FirmwareCurrentOption(ConfigTool& tool, uint16_t position) {
    uint16_t retCode = 0xFFFF;
    wchar_t itemCodeText[ENUM_ITEM_CODE_UNITS] = {};
    wchar_t dataText[ENUM_DATA_UNITS] = {};
    if (tool.core->EnumSetting(position, retCode, itemCodeText, dataText) != 1) return -1;
    return static_cast<int>(dataText[0]) - 0x30;
}

// Names the generated test after the case's `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
        return param.param.name;
    }
};

inline std::string TempPath(const std::string& name) {
    std::filesystem::create_directories(VELORIN_TEST_TMP);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string unique = std::string(test->test_suite_name()) + "_" + test->name() + "_" + name;
    for (char& c : unique) {
        if (c == '/') c = '_';
    }
    return (std::filesystem::path(VELORIN_TEST_TMP) / unique).string();
}

inline std::string WriteTempFile(const std::string& name, const std::string& bytes) {
    const std::string path = TempPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace apply_test
