#include "catalog/provider_answers.h"

#include "bios/smbios_reader.h"
#include "report/console.h"
#include "report/text_conversion.h"

#include <cstddef>
#include <memory>
#include <new>

namespace velorin::tool {

namespace {

constexpr wchar_t MANUFACTURER[] = L"VELORIN";
constexpr size_t MANUFACTURER_UNITS = sizeof(MANUFACTURER) / sizeof(MANUFACTURER[0]) - 1;
constexpr char NO_BIOS_VERSION[] = "Failed to get BIOS version";
// A provider that never ends an option list with RetCode 14 must not keep a reader asking.
constexpr int MAX_OPTION_INDEX = 255;

// The texts are read up to their terminator, so a provider copy that filled a buffer to the
// last unit must not let a read run past it.
template <size_t N>
void Terminate(wchar_t (&text)[N]) {
    text[N - 1] = L'\0';
}

bool IsSpaceUnit(wchar_t unit) { return unit == L' ' || (unit >= L'\t' && unit <= L'\r'); }

int HexDigitValue(wchar_t unit) {
    if (unit >= L'0' && unit <= L'9') return static_cast<int>(unit - L'0');
    if (unit >= L'a' && unit <= L'f') return static_cast<int>(unit - L'a' + 10);
    if (unit >= L'A' && unit <= L'F') return static_cast<int>(unit - L'A' + 10);
    return -1;
}

bool IsVelorinManufacturer(const wchar_t* manufacturer) {
    for (size_t i = 0; i < MANUFACTURER_UNITS; ++i) {
        // A shorter text fails at its terminator, before anything past it is read.
        if (LowerAsciiUnit(manufacturer[i]) != LowerAsciiUnit(MANUFACTURER[i])) return false;
    }
    return true;
}

// Option j is asked as the single unit 0x30 + j, so ten and above become ':', ';', ...
std::wstring OptionIndexText(int optionIndex) {
    return std::wstring(1, static_cast<wchar_t>(0x30 + optionIndex));
}

}  // namespace

bool Enumerate(WTolqCore& core, uint16_t index, EnumAnswer& answer) {
    if (core.EnumSetting(index, answer.retCode, answer.itemCode, answer.data) == 0) {
        ConsolePrint("EnumSetting call failed\n");
        return false;
    }
    Terminate(answer.itemCode);
    Terminate(answer.data);
    return true;
}

bool AskString(WTolqCore& core, uint16_t itemCode, const wchar_t* index, StringAnswer& answer) {
    if (core.GetString(itemCode, index, answer.retCode, answer.itemCode, answer.data) == 0) {
        ConsolePrint("getString call failed\n");
        return false;
    }
    Terminate(answer.itemCode);
    Terminate(answer.data);
    return true;
}

bool WalkOptions(WTolqCore& core, uint16_t itemCode,
                 const std::function<void(int, const StringAnswer&)>& visit) {
    for (int j = 1; j <= MAX_OPTION_INDEX; ++j) {
        StringAnswer answer;
        if (!AskString(core, itemCode, OptionIndexText(j).c_str(), answer)) return false;
        visit(j, answer);
        if (answer.retCode == PROVIDER_RET_LIST_END) break;
    }
    return true;
}

// Reads a hexadecimal code the way strtoul(text, nullptr, 16) does with a 32-bit unsigned
// long (saturating on overflow, a minus sign negating), but on the UTF-16 units themselves:
// a unit above 0xFF is never taken for the digit that its low byte would spell.
uint16_t ReadHexCode(const wchar_t* text) {
    size_t at = 0;
    while (IsSpaceUnit(text[at])) ++at;
    const bool negative = text[at] == L'-';
    if (text[at] == L'+' || text[at] == L'-') ++at;
    if (text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X') &&
        HexDigitValue(text[at + 2]) >= 0) {
        at += 2;
    }
    uint32_t value = 0;
    bool overflow = false;
    for (; HexDigitValue(text[at]) >= 0; ++at) {
        overflow = overflow || value > 0x0FFFFFFFu;
        value = value * 16u + static_cast<uint32_t>(HexDigitValue(text[at]));
    }
    if (overflow) value = 0xFFFFFFFFu;
    if (negative && !overflow) value = 0u - value;
    return static_cast<uint16_t>(value & 0xFFFFu);
}

uint16_t CurrentIndexOf(const EnumAnswer& item) {
    return static_cast<uint16_t>(item.data[0] - L'0');
}

bool IsVelorinMachine() {
    // The record is large; nothrow keeps an allocation failure a reported result.
    const std::unique_ptr<SystemInformationRecord> record(new (std::nothrow)
                                                              SystemInformationRecord());
    if (!record) {
        ConsolePrint("Malloc for system information error\n");
    } else if (ReadSystemInformation(*record)) {
        if (IsVelorinManufacturer(record->manufacturer)) return true;
        ConsolePrint("System manufacturer is not valid\n");
    }
    ConsolePrint("%s", NO_BIOS_VERSION);
    return false;
}

std::wstring CurrentIndexText(uint16_t currentIndex) {
    return currentIndex == 0 ? std::wstring() : std::to_wstring(currentIndex);
}

}  // namespace velorin::tool
