// Feeds arbitrary bytes through the configuration file reader and parser, with and without
// /f, against a small catalogue. The tool object sits on a tiny simulated machine, so no
// provider is needed; the parser's console output is sent to /dev/null.
#include "apply/input_reader.h"
#include "report/console.h"
#include "sim/machine.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace velorin::tool;

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

// "Long" has an option that fits on a line and one that begins with it but does not fit, which
// no line may ever choose.
constexpr int kLongItem = 0x0300;
const std::string kFittingOption(MAX_LINE_LENGTH - 1, 'A');
const std::string kOverlongOption(MAX_LINE_LENGTH + 45, 'A');

void FillCatalogue(ConfigTool& tool) {
    tool.itemCodeByName = {
        {"Boot Mode", 0x0100}, {"Fan (Level)", 0x0101}, {"Asset Tag", 0x0200}, {"Long", kLongItem}};
    tool.optionsByItem = {{0x0100, {{"UEFI", 1}, {"Legacy", 2}}},
                          {0x0101, {{"Low", 1}, {"High", 2}}},
                          {0x0200, {}},
                          {kLongItem, {{kFittingOption, 1}, {kOverlongOption, 2}}}};
    tool.currentValueByItem = {
        {0x0100, "UEFI"}, {0x0101, "High"}, {0x0200, ""}, {kLongItem, kOverlongOption}};
    tool.IndexLowerCase();
}

struct ReferenceLine {
    std::string text;
    bool whole;
};

// The lines as a plain reading of the bytes gives them, to hold the reader against: split at
// line feeds, a CR before a line feed dropped, cut to the limit, a NUL ending the text.
std::vector<ReferenceLine> ReferenceLines(const uint8_t* data, size_t size) {
    std::vector<ReferenceLine> lines;
    std::string raw;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            raw.push_back(static_cast<char>(data[i]));
            continue;
        }
        if (i < size && !raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string text = raw.substr(0, MAX_LINE_LENGTH);
        lines.push_back({text.substr(0, text.find('\0')), raw.size() <= MAX_LINE_LENGTH});
        raw.clear();
    }
    return lines;
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
    const InputFile input = ReadInputFile(harness.path);
    std::remove(harness.path.c_str());
    if ((input.status == InputFileStatus::Read) != (size > 0 && size <= MAX_INPUT_FILE_BYTES)) {
        __builtin_trap();
    }
    const ConfigLines& lines = input.lines;
    for (const bool force : {false, true}) {
        harness.tool->wrongDescriptions.clear();
        harness.tool->wrongOptions.clear();
        const ParsedConfig parsed = ParseConfigLines(*harness.tool, lines, force);
        if (parsed.result != RC_SUCCESS && !parsed.choices.empty()) __builtin_trap();
        if (parsed.choices.size() > lines.size()) __builtin_trap();
        for (const SettingChoice& choice : parsed.choices) {
            if (choice.itemCode == kLongItem && choice.optionIndex == 2) __builtin_trap();
        }
    }
    if (input.status != InputFileStatus::Read) return 0;
    const std::vector<ReferenceLine> expected = ReferenceLines(data, size);
    if (expected.size() != lines.size()) __builtin_trap();
    for (size_t i = 0; i < lines.size(); ++i) {
        const ConfigLines::Line line = lines[i];
        if (line.text != expected[i].text || line.whole != expected[i].whole) __builtin_trap();
    }
    return 0;
}
