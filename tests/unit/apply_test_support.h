// Shared set-up for the apply tests: a small simulated machine whose catalogue the tool loads
// as in a real run, with the session authorised as after a good /pw.
#pragma once

#include "bios/smbios_reader.h"
#include "catalog/config_tool.h"
#include "sim/machine.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

namespace velorin::tool::apply_test {

// "Power (AC)" can't be named in a file; "Caf\xC9" holds a byte above 0x7F.
constexpr char kMachine[] = R"machine(manufacturer "Velorin Corporation"
supervisor-password "admin"
item 0x0100 "Boot Mode" current 1
option "UEFI"
option "Legacy"
item 0x0101 "Wake On LAN" current 2
option "Enabled"
option "Disabled"
item 0x0102 "Fan Level" current 3
option "Low"
option "High"
option "Auto"
item 0x0103 "Power (AC)" current 1
option "On"
option "Off"
item 0x0104 "Caf\xC9" current 1
option "Oui"
item 0x0200 "Asset Tag" current 0
)machine";

inline std::unique_ptr<ConfigTool> MakeTool(const std::string& rules = "") {
    tool_fixture::UseMachine(kMachine + rules, "apply-test");
    auto tool = std::make_unique<ConfigTool>();
    EXPECT_EQ(tool->LoadCatalogue(), 0);
    uint16_t retCode = 0xFFFF;
    EXPECT_EQ(tool->core->SetPassword(L"admin", retCode), 1);
    return tool;
}

// Names each generated test after its case.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case>& param) const {
        return param.param.name;
    }
};

inline std::string TempPath() {
    std::filesystem::create_directories(VELORIN_TEST_TMP);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) c = c == '/' ? '_' : c;
    return (std::filesystem::path(VELORIN_TEST_TMP) / name).string();
}

inline std::string WriteTempFile(const std::string& bytes) {
    const std::string path = TempPath();
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace velorin::tool::apply_test

// Prints a case as its name in test listings instead of its bytes. It lives in the unnamed
// namespace that holds each test file's case structs, so lookup finds it there.
namespace velorin::tool::testing {
namespace {
template <typename Case>
auto operator<<(std::ostream& os, const Case& testCase) -> decltype(testCase.name, os) {
    return os << testCase.name;
}
}  // namespace
}  // namespace velorin::tool::testing
