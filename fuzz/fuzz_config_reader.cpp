// Feeds arbitrary bytes through the configuration file reader and parser, with and without
// /f, against a small catalogue. The tool object sits on a tiny simulated machine, so no
// provider is needed; the parser's console output is sent to /dev/null.
#include "app/report/console.h"
#include "apply/input_reader.h"
#include "sim/machine.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kMachine[] =
    "manufacturer \"Velorin Corporation\"\n"
    "item 0x0100 \"Boot Mode\" current 1\n"
    "option \"UEFI\"\n"
    "option \"Legacy\"\n"
    "item 0x0101 \"Fan (Level)\" current 2\n"
    "option \"Low\"\n"
    "option \"High\"\n"
    "item 0x0200 \"Asset Tag\" current 0\n";

struct Harness {
    std::unique_ptr<ConfigTool> tool;
    std::string path;
};

void FillCatalogue(ConfigTool& tool) {
    tool.itemCodeByName = {{"Boot Mode", 0x0100}, {"Fan (Level)", 0x0101}, {"Asset Tag", 0x0200}};
    tool.optionsByItem = {
        {0x0100, {{"UEFI", 1}, {"Legacy", 2}}}, {0x0101, {{"Low", 1}, {"High", 2}}}, {0x0200, {}}};
    tool.currentValueByItem = {{0x0100, "UEFI"}, {0x0101, "High"}, {0x0200, ""}};
    tool.IndexLowerCase();
}

Harness& TheHarness() {
    static Harness harness = [] {
        std::string error;
        velorin::sim::Machine::SetCurrent(
            velorin::sim::Machine::Parse(kMachine, "fuzz-machine", "", &error));
        Harness made{std::make_unique<ConfigTool>(),
                     "/tmp/velorin_fuzz_config_" + std::to_string(getpid()) + ".txt"};
        FillCatalogue(*made.tool);
        return made;
    }();
    return harness;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
    TheHarness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness& harness = TheHarness();
    {
        std::ofstream file(harness.path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::vector<std::string> lines = ReadLines(harness.path);
    std::remove(harness.path.c_str());
    for (const bool force : {false, true}) {
        harness.tool->wrongDescriptions.clear();
        harness.tool->wrongOptions.clear();
        const ParsedConfig parsed = ParseConfigLines(*harness.tool, lines, force);
        if (parsed.result != RC_SUCCESS && !parsed.choices.empty()) __builtin_trap();
        if (parsed.choices.size() > lines.size()) __builtin_trap();
    }
    for (const std::string& line : lines) {
        if (line.size() > MAX_LINE_LENGTH) __builtin_trap();
    }
    return 0;
}
