// Small helpers for driving a simulated machine from tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "sim/machine.h"

namespace velorin::sim::testing {

inline std::unique_ptr<Machine> MustParse(std::string_view text, const std::string& nvram = "") {
    std::string error;
    std::unique_ptr<Machine> machine = Machine::Parse(text, "test.machine", nvram, &error);
    EXPECT_TRUE(machine->Installed()) << error;
    return machine;
}

// Makes the machine of `text` the process's current one, the machine the stand-in's calls
// reach; `installed` is false for a text that must fail to parse.
inline void UseMachine(std::string_view text, bool installed = true) {
    std::string error;
    std::unique_ptr<Machine> machine = Machine::Parse(text, "test.machine", "", &error);
    EXPECT_EQ(machine->Installed(), installed) << error;
    Machine::SetCurrent(std::move(machine));
}

inline Params EnumSetting(Machine& m, uint32_t index) {
    return m.Execute("EnumSetting", {{"inIndex", Value::OfNumber(index)}});
}

inline Params GetString(Machine& m, uint32_t code, Text index) {
    return m.Execute("GetString", {{"inItemCode", Value::OfNumber(code)},
                                   {"inIndex", Value::OfText(std::move(index))}});
}

inline Params Set(Machine& m, uint32_t code, Text data) {
    return m.Execute("Set", {{"inItemCode", Value::OfNumber(code)},
                             {"inSetData", Value::OfText(std::move(data))}});
}

inline Params SetPassword(Machine& m, Text password) {
    return m.Execute("SetPassword", {{"Password", Value::OfText(std::move(password))}});
}

inline uint32_t HexValue(const Text& text) {
    return static_cast<uint32_t>(std::stoul(std::string(text.begin(), text.end()), nullptr, 16));
}

inline uint32_t RetCode(const Params& out) { return out.at("RetCode").number; }
inline Text Data(const Params& out) { return out.at("Data").text; }
inline Text ItemCode(const Params& out) { return out.at("ItemCode").text; }

// A fresh, empty folder for one test, under the build's temporary folder.
inline std::string FreshFolder(const std::string& name) {
    std::filesystem::path folder = std::filesystem::path(VELORIN_TEST_TMP) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.generic_string();  // "/" on Windows too: tests build regexes from it
}

}  // namespace velorin::sim::testing
