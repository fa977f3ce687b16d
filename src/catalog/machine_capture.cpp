#include "catalog/machine_capture.h"

#include "bios/smbios_reader.h"
#include "catalog/provider_answers.h"
#include "report/console.h"

#include <algorithm>
#include <utility>

namespace velorin::tool {

namespace {

// Current index N is enumerated as the one unit 0x30 + N, so no higher N can be written down.
constexpr uint16_t MAX_CURRENT_INDEX = 0xFFFF - 0x30;

// The highest current index placed past an early end of the list: the walk itself stops there.
constexpr uint16_t MAX_PLACED_CURRENT_INDEX = 255;

// An option list ends at RetCode 14. The answer that ends it names one more option only when
// its text is new: past the last option the provider repeats that option's text ("" for none).
// `listEnd` receives that last answer.
bool ReadOptionList(WTolqCore& core, CapturedItem& item, CapturedOption& listEnd) {
    return WalkOptions(core, item.code, [&](int, const StringAnswer& answer) {
        const std::wstring previous =
            item.options.empty() ? std::wstring() : item.options.back().text;
        listEnd = {answer.data, answer.retCode};
        if (answer.retCode != PROVIDER_RET_LIST_END || previous != answer.data) {
            item.options.push_back(listEnd);
        }
    });
}

// A list that ends before the current index leaves the current option out, and the capture
// would answer the current value with what lies past its end. The current value's answer is
// written at its own index; the indexes between, which no request of the tool reaches, repeat
// the answer that ended the list, so a walk of the capture ends where the original's did.
void PlaceCurrentOption(CapturedItem& item, const StringAnswer& current,
                        const CapturedOption& listEnd) {
    if (item.current <= item.options.size() || item.current > MAX_PLACED_CURRENT_INDEX) return;
    item.options.resize(item.current - 1u, listEnd);
    item.options.push_back({current.data, current.retCode});
}

// RetCode 14 on the current value: the item has no option list, and the text is its value.
// Such an item is written with current index 0, the index that asks for the value.
bool CaptureItem(WTolqCore& core, const EnumAnswer& entry, CapturedItem& item) {
    item.code = ReadHexCode(entry.itemCode);
    item.current = std::min(CurrentIndexOf(entry), MAX_CURRENT_INDEX);
    StringAnswer name;
    if (!AskString(core, item.code, L"0", name)) return false;
    item.name = name.data;
    StringAnswer current;
    if (!AskString(core, item.code, CurrentIndexText(CurrentIndexOf(entry)).c_str(), current)) {
        return false;
    }
    if (current.retCode == PROVIDER_RET_LIST_END) {
        item.current = 0;
        item.value = current.data;
        return true;
    }
    item.hasOptions = true;
    CapturedOption listEnd;
    if (!ReadOptionList(core, item, listEnd)) return false;
    PlaceCurrentOption(item, current, listEnd);
    return true;
}

void CopySmbios(CapturedMachine& machine) {
    const RawSmbiosCache& cache = ProcessSmbiosCache();
    machine.smbiosPublished = cache.published;
    machine.smbiosMajorVersion = cache.majorVersion;
    machine.smbiosMinorVersion = cache.minorVersion;
    const auto* table = reinterpret_cast<const char*>(cache.table);
    machine.smbiosTable.assign(table, std::min<size_t>(cache.tableLength, SMBIOS_TABLE_CAPACITY));
}

}  // namespace

bool CaptureMachine(WTolqCore& core, CapturedMachine& machine) {
    if (!IsVelorinMachine()) return false;
    CopySmbios(machine);
    if (!core.GetRevision(machine.revision)) {
        ConsolePrint("GetRivision call failed\n");
        return false;
    }
    EnumAnswer count;
    if (!Enumerate(core, ITEM_COUNT_INDEX, count)) return false;
    const uint16_t itemCount = ReadHexCode(count.itemCode);
    for (uint32_t i = 0; i < itemCount; ++i) {
        EnumAnswer entry;
        if (!Enumerate(core, static_cast<uint16_t>(i), entry)) return false;
        // An index answered with an error holds no item.
        if (entry.retCode != PROVIDER_RET_DONE) continue;
        CapturedItem item;
        if (!CaptureItem(core, entry, item)) return false;
        machine.items.push_back(std::move(item));
    }
    return true;
}

}  // namespace velorin::tool
