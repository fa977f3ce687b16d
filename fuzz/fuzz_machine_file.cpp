// Parses arbitrary text as a machine file; a machine that loads is asked the questions the
// tool asks (item count, each item's name and options, the SMBIOS table).
#include "sim/machine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using velorin::sim::Machine;
using velorin::sim::Params;
using velorin::sim::Value;

constexpr uint32_t kItemsAsked = 8;
constexpr char16_t kIndexes[][2] = {u"0", u"1", u"2", u":", u""};

void AskItem(Machine& machine, uint32_t index) {
    const Params found = machine.Execute("EnumSetting", {{"inIndex", Value::OfNumber(index)}});
    const auto code = found.find("ItemCode");
    if (code == found.end() || code->second.text.empty()) return;
    // Any answer rule may have replaced the code text, so it is read without throwing.
    std::string narrow;
    for (const char16_t unit : code->second.text) narrow.push_back(static_cast<char>(unit & 0x7F));
    const auto itemCode = static_cast<uint32_t>(std::strtoul(narrow.c_str(), nullptr, 16));
    for (const auto* text : kIndexes) {
        machine.Execute("GetString", {{"inItemCode", Value::OfNumber(itemCode)},
                                      {"inIndex", Value::OfText(text)}});
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The parser reports nothing itself, but a loaded machine may be asked to print.
    return std::freopen("/dev/null", "w", stdout) == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    // No NVRAM path: nothing of a fuzz input is ever saved.
    const auto machine = Machine::Parse(text, "/nonexistent/fuzz-machine", "", &error);
    if (!machine->Installed()) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    machine->Smbios();
    machine->Fault("ExecMethod", u"GetString");
    for (uint32_t i = 0; i < kItemsAsked; ++i) AskItem(*machine, i);
    return 0;
}
