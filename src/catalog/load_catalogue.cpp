#include "catalog/config_tool.h"
#include "catalog/provider_answers.h"
#include "report/console.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace velorin::tool {

namespace {

// `currentListed` tells whether the walk met the current index, so that it names an option of
// the list even when that option's text repeats an earlier one and is not in the table.
bool ReadOptions(WTolqCore& core, uint16_t itemCode, uint16_t currentIndex, OptionTable& table,
                 bool& currentListed) {
    std::wstring previous;  // per item: an item's first option is never a repeat
    return WalkOptions(core, itemCode, [&](int j, const StringAnswer& answer) {
        currentListed = currentListed || j == currentIndex;
        if (previous == answer.data) return;
        // A read-only option stays listed only as the item's current one.
        if (answer.retCode != PROVIDER_RET_NOT_SELECTABLE || j == currentIndex) {
            table.emplace(NarrowText(answer.data), j);
        }
        previous = answer.data;
    });
}

bool LoadItem(ConfigTool& tool, uint16_t enumIndex) {
    EnumAnswer item;
    if (!Enumerate(*tool.core, enumIndex, item)) return false;
    // An index the provider answers with an error holds no item: a count that claims more
    // items than there are must not fill the catalogue with phantoms.
    if (item.retCode != PROVIDER_RET_DONE) return true;
    const uint16_t itemCode = ReadHexCode(item.itemCode);
    const uint16_t currentIndex = CurrentIndexOf(item);
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

}  // namespace velorin::tool
