#include "app/report/console.h"
#include "bios/smbios_reader.h"
#include "catalog/config_tool.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr uint16_t ITEM_COUNT_INDEX = 0xFFFF;
// A provider that never ends an option list with RetCode 14 must not keep the load asking.
constexpr int MAX_OPTION_INDEX = 255;
constexpr wchar_t MANUFACTURER[] = L"VELORIN";
constexpr size_t MANUFACTURER_UNITS = sizeof(MANUFACTURER) / sizeof(MANUFACTURER[0]) - 1;
constexpr char NO_BIOS_VERSION[] = "Failed to get BIOS version";

struct EnumAnswer {
    uint16_t retCode = 0;
    wchar_t itemCode[ENUM_ITEM_CODE_UNITS] = {};
    wchar_t data[ENUM_DATA_UNITS] = {};
};

struct StringAnswer {
    uint16_t retCode = 0;
    wchar_t itemCode[GET_STRING_ITEM_CODE_UNITS] = {};
    wchar_t data[GET_STRING_DATA_UNITS] = {};
};

// The texts are read up to their terminator, so a provider copy that filled a buffer to the
// last unit must not let a read run past it.
template <size_t N>
void Terminate(wchar_t (&text)[N]) {
    text[N - 1] = L'\0';
}

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

bool IsSpaceUnit(wchar_t unit) { return unit == L' ' || (unit >= L'\t' && unit <= L'\r'); }

int HexDigitValue(wchar_t unit) {
    if (unit >= L'0' && unit <= L'9') return static_cast<int>(unit - L'0');
    if (unit >= L'a' && unit <= L'f') return static_cast<int>(unit - L'a' + 10);
    if (unit >= L'A' && unit <= L'F') return static_cast<int>(unit - L'A' + 10);
    return -1;
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

bool IsVelorinManufacturer(const wchar_t* manufacturer) {
    for (size_t i = 0; i < MANUFACTURER_UNITS; ++i) {
        // A shorter text fails at its terminator, before anything past it is read.
        if (LowerAsciiUnit(manufacturer[i]) != LowerAsciiUnit(MANUFACTURER[i])) return false;
    }
    return true;
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

// Option j is asked as the single unit 0x30 + j, so ten and above become ':', ';', ...
std::wstring OptionIndexText(int optionIndex) {
    return std::wstring(1, static_cast<wchar_t>(0x30 + optionIndex));
}

// The current value is asked with decimal digits; index 0 is the empty text.
std::wstring CurrentIndexText(uint16_t currentIndex) {
    return currentIndex == 0 ? std::wstring() : std::to_wstring(currentIndex);
}

// `currentListed` tells whether the walk met the current index, so that it names an option of
// the list even when that option's text repeats an earlier one and is not in the table.
bool ReadOptions(WTolqCore& core, uint16_t itemCode, uint16_t currentIndex, OptionTable& table,
                 bool& currentListed) {
    std::wstring previous;  // per item: an item's first option is never a repeat
    for (int j = 1; j <= MAX_OPTION_INDEX; ++j) {
        StringAnswer answer;
        if (!AskString(core, itemCode, OptionIndexText(j).c_str(), answer)) return false;
        currentListed = currentListed || j == currentIndex;
        if (previous != answer.data) {
            // A read-only option stays listed only as the item's current one.
            if (answer.retCode != PROVIDER_RET_NOT_SELECTABLE || j == currentIndex) {
                table.emplace(NarrowText(answer.data), j);
            }
            previous = answer.data;
        }
        if (answer.retCode == PROVIDER_RET_LIST_END) break;
    }
    return true;
}

bool LoadItem(ConfigTool& tool, uint16_t enumIndex) {
    EnumAnswer item;
    if (!Enumerate(*tool.core, enumIndex, item)) return false;
    // An index the provider answers with an error holds no item: a count that claims more
    // items than there are must not fill the catalogue with phantoms.
    if (item.retCode != PROVIDER_RET_DONE) return true;
    const uint16_t itemCode = ReadHexCode(item.itemCode);
    const auto currentIndex = static_cast<uint16_t>(item.data[0] - L'0');
    if (itemCode == tool.supervisorPasswordItem || itemCode == tool.userPasswordItem) return true;

    StringAnswer name;
    if (!AskString(*tool.core, itemCode, L"0", name)) return false;
    tool.itemCodeByName.emplace(NarrowText(name.data), itemCode);

    StringAnswer current;
    if (!AskString(*tool.core, itemCode, CurrentIndexText(currentIndex).c_str(), current)) {
        return false;
    }
    tool.currentValueByItem.emplace(itemCode, NarrowText(current.data));

    OptionTable options;
    bool currentListed = false;
    // RetCode 14 on the current value: the item has no option list to walk.
    if (current.retCode != PROVIDER_RET_LIST_END &&
        !ReadOptions(*tool.core, itemCode, currentIndex, options, currentListed)) {
        return false;
    }
    tool.optionsByItem.emplace(itemCode, std::move(options));
    if (currentListed) tool.currentIndexByItem.emplace(itemCode, currentIndex);
    return true;
}

}  // namespace

int ConfigTool::LoadCatalogue() {
    if (!IsVelorinMachine()) return RC_INTERNAL_ERROR;
    EnumAnswer count;
    if (!Enumerate(*core, ITEM_COUNT_INDEX, count)) return RC_INTERNAL_ERROR;
    const uint16_t itemCount = ReadHexCode(count.itemCode);
    for (uint32_t i = 0; i < itemCount; ++i) {
        if (!LoadItem(*this, static_cast<uint16_t>(i))) return RC_INTERNAL_ERROR;
    }
    IndexLowerCase();
    return RC_SUCCESS;
}

void ConfigTool::IndexLowerCase() {
    for (const auto& [name, itemCode] : itemCodeByName) {
        itemCodeByLowerName.emplace(LowerAscii(name), itemCode);
        OptionTable lowered;
        const auto options = optionsByItem.find(itemCode);
        if (options != optionsByItem.end()) {
            for (const auto& [text, index] : options->second) {
                lowered.emplace(LowerAscii(text), index);
            }
        }
        lowerOptionsByItem.emplace(itemCode, std::move(lowered));
    }
}
