// The catalogue load against a provider whose EnumSetting and GetString answers (ItemCode,
// Data, RetCode) come from the fuzz input, injected as `answer` rules of a small machine. An
// ExecMethod fault after a few hundred calls bounds the work of an input that claims a huge
// catalogue; a catalogue that loads is exported as well.
#include "bios/smbios_reader.h"
#include "catalog/config_tool.h"
#include "report/console.h"
#include "sim/machine.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

using namespace velorin::tool;

namespace {

constexpr char kMachine[] =
    "manufacturer \"Velorin Corporation\"\n"
    "item 0x0100 \"Boot Mode\" current 1\n"
    "option \"UEFI\"\n"
    "option \"Legacy\" readonly\n"
    "item 0x0101 \"Fan\" current 2\n"
    "option \"Low\"\n"
    "option \"High\"\n"
    "item 0x0200 \"Asset Tag\" current 0\n"
    "value \"A-1\"\n"
    "fault ExecMethod hr=0x80041001 after=150\n";

// Past the 1,000 units that a provider text is kept to, so the cut is exercised too.
constexpr size_t kMaxTextUnits = 1100;
constexpr size_t kMaxCatalogueText = 1000;

// A quoted machine-file text holding exactly the UTF-16 units drawn from the input.
std::string QuotedUnits(FuzzedDataProvider& input) {
    const size_t units = input.ConsumeIntegralInRange<size_t>(0, kMaxTextUnits);
    std::string text = "\"";
    for (size_t i = 0; i < units && input.remaining_bytes() > 0; ++i) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", input.ConsumeIntegral<uint16_t>());
        text += escape;
    }
    return text + "\"";
}

std::string Number(const char* key, uint32_t value) {
    return std::string(" ") + key + "=" + std::to_string(value);
}

// One answer rule with fuzzed texts and RetCode; `match` narrows the calls it answers.
std::string AnswerRule(FuzzedDataProvider& input, const std::string& methodAndMatch) {
    std::string rule = "answer " + methodAndMatch;
    if (input.ConsumeBool()) rule += " itemcode=" + QuotedUnits(input);
    if (input.ConsumeBool()) rule += " data=" + QuotedUnits(input);
    if (input.ConsumeBool()) rule += Number("retcode", input.ConsumeIntegral<uint16_t>());
    if (input.ConsumeBool()) rule += Number("after", input.ConsumeIntegralInRange<uint32_t>(0, 40));
    if (input.ConsumeBool()) rule += Number("times", input.ConsumeIntegralInRange<uint32_t>(1, 40));
    return rule + "\n";
}

std::string MachineFrom(FuzzedDataProvider& input) {
    std::string text = kMachine;
    if (input.ConsumeBool()) text += AnswerRule(input, "EnumSetting index=0xFFFF");
    text += AnswerRule(input, "EnumSetting");
    text += AnswerRule(input, "GetString index=\"0\"");
    text += AnswerRule(input, "GetString");
    return text;
}

// Catalogue texts never hold a control byte (one could forge lines of the export) and never
// exceed the length a provider text is kept to.
void CheckText(const std::string& text) {
    if (text.size() > kMaxCatalogueText) __builtin_trap();
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) __builtin_trap();
    }
}

void CheckCatalogue(const ConfigTool& tool) {
    for (const auto& entry : tool.itemCodeByName) CheckText(entry.first);
    for (const auto& entry : tool.currentValueByItem) CheckText(entry.second);
    for (const auto& item : tool.optionsByItem) {
        for (const auto& option : item.second) CheckText(option.first);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return std::freopen("/dev/null", "w", stdout) == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string error;
    velorin::sim::Machine::SetCurrent(
        velorin::sim::Machine::Parse(MachineFrom(input), "fuzz-answers", "", &error));
    if (!error.empty()) __builtin_trap();  // the rules are built to be well formed
    ProcessSmbiosCache().loaded = false;
    {
        ConfigTool tool;
        const bool loaded = tool.LoadCatalogue() == RC_SUCCESS;
        CheckCatalogue(tool);
        if (loaded && !tool.itemCodeByName.empty()) tool.ExportConfig(false, false, "", "");
    }
    velorin::sim::Machine::SetCurrent(nullptr);
    return 0;
}
