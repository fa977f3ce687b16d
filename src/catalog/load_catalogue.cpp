#include "catalog/config_tool.h"
#include "catalog/provider_answers.h"
#include "report/console.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace velorin::tool {

namespace {

// Where an item's current value comes from. AskedFirst is the order of /get and /set: the
// current value is asked, and only an answer other than RetCode 14 opens the option walk.
// FromWalk lets the walk's answer at the current index stand for the current value.
enum class CurrentValueSource { AskedFirst, FromWalk };

// What one item's reading gathers before it enters the catalogue.
struct ItemReading {
    OptionTable options;
    // Whether the walk met the current index, so that it names an option of the list even
    // when that option's text repeats an earlier one and is not in the table.
    bool currentListed = false;
    StringAnswer current;
};

// An item as its enumeration answers, once its name is in the catalogue.
struct ListedItem {
    uint16_t code = 0;
    uint16_t currentIndex = 0;
};

// The walk asks option j as the one unit 0x30 + j and the current value with decimal digits:
// the two are the same text for 1 to 9 only, so only there may one answer stand for both.
bool WalkAsksCurrentIndex(uint16_t currentIndex) { return currentIndex >= 1 && currentIndex <= 9; }

// `currentAnswer`, when given, receives the walk's answer at the current index.
bool ReadOptions(WTolqCore& core, uint16_t itemCode, uint16_t currentIndex, ItemReading& reading,
                 StringAnswer* currentAnswer) {
    std::wstring previous;  // per item: an item's first option is never a repeat
    return WalkOptions(core, itemCode, [&](int j, const StringAnswer& answer) {
        if (j == currentIndex) {
            reading.currentListed = true;
            if (currentAnswer != nullptr) *currentAnswer = answer;
        }
        if (previous == answer.data) return;
        // A read-only option stays listed only as the item's current one.
        if (answer.retCode != PROVIDER_RET_NOT_SELECTABLE || j == currentIndex) {
            reading.options.emplace(NarrowText(answer.data), j);
        }
        previous = answer.data;
    });
}

// The current value and the options of one item. Whichever the source, RetCode 14 on the
// current value means the item has no option list, so a walk made before it is dropped. Each
// table is filled as soon as its text is known: a failed load keeps what it entered.
bool LoadDetails(ConfigTool& tool, uint16_t itemCode, uint16_t currentIndex,
                 CurrentValueSource source) {
    WTolqCore& core = *tool.core;
    ItemReading reading;
    const bool walkFirst =
        source == CurrentValueSource::FromWalk && WalkAsksCurrentIndex(currentIndex);
    if (walkFirst && !ReadOptions(core, itemCode, currentIndex, reading, &reading.current)) {
        return false;
    }
    // A walk that ended before the current index did not meet it: it is asked on its own.
    if (!reading.currentListed &&
        !AskString(core, itemCode, CurrentIndexText(currentIndex).c_str(), reading.current)) {
        return false;
    }
    tool.currentValueByItem.emplace(itemCode, NarrowText(reading.current.data));
    if (reading.current.retCode == PROVIDER_RET_LIST_END) {
        reading.options.clear();
        reading.currentListed = false;
    } else if (!walkFirst && !ReadOptions(core, itemCode, currentIndex, reading, nullptr)) {
        return false;
    }
    tool.optionsByItem.emplace(itemCode, std::move(reading.options));
    if (reading.currentListed) tool.currentIndexByItem.emplace(itemCode, currentIndex);
    return true;
}

// Enumerates index `enumIndex` and enters the item's name. `item` stays empty for an index
// that holds no item and for the password items. False when a request failed.
bool NameItem(ConfigTool& tool, uint16_t enumIndex, std::optional<ListedItem>& item) {
    EnumAnswer entry;
    if (!Enumerate(*tool.core, enumIndex, entry)) return false;
    // An index the provider answers with an error holds no item: a count that claims more
    // items than there are must not fill the catalogue with phantoms.
    if (entry.retCode != PROVIDER_RET_DONE) return true;
    const uint16_t itemCode = ReadHexCode(entry.itemCode);
    if (itemCode == tool.supervisorPasswordItem || itemCode == tool.userPasswordItem) return true;
    StringAnswer name;
    if (!AskString(*tool.core, itemCode, L"0", name)) return false;
    tool.itemCodeByName.emplace(NarrowText(name.data), itemCode);
    item = ListedItem{itemCode, CurrentIndexOf(entry)};
    return true;
}

// Calls `visit` with each item the provider enumerates; false when a request failed or
// `visit` says so.
template <typename Visit>
int ForEachItem(ConfigTool& tool, Visit&& visit) {
    if (!IsVelorinMachine()) return RC_INTERNAL_ERROR;
    EnumAnswer count;
    if (!Enumerate(*tool.core, ITEM_COUNT_INDEX, count)) return RC_INTERNAL_ERROR;
    const uint16_t itemCount = ReadHexCode(count.itemCode);
    for (uint32_t i = 0; i < itemCount; ++i) {
        std::optional<ListedItem> item;
        if (!NameItem(tool, static_cast<uint16_t>(i), item)) return RC_INTERNAL_ERROR;
        if (item && !visit(*item)) return RC_INTERNAL_ERROR;
    }
    return RC_SUCCESS;
}

OptionTable LowerCased(const OptionTable& table) {
    OptionTable lowered;
    for (const auto& [text, index] : table) lowered.emplace(LowerAscii(text), index);
    return lowered;
}

}  // namespace

// Every item whole before the next one is enumerated.
int ConfigTool::LoadCatalogue() {
    return ForEachItem(*this, [&](const ListedItem& item) {
        return LoadDetails(*this, item.code, item.currentIndex, CurrentValueSource::AskedFirst);
    });
}

// The first item enumerated with a code answers for it, as in the catalogue's other tables.
int ConfigTool::LoadItemNames(CurrentIndexTable& currentIndexes) {
    return ForEachItem(*this, [&](const ListedItem& item) {
        currentIndexes.emplace(item.code, item.currentIndex);
        return true;
    });
}

int ConfigTool::LoadItemDetails(const CurrentIndexTable& currentIndexes,
                                const std::set<int>& itemCodes) {
    for (const int itemCode : itemCodes) {
        const auto listed = currentIndexes.find(itemCode);
        if (listed == currentIndexes.end()) continue;
        if (!LoadDetails(*this, static_cast<uint16_t>(itemCode), listed->second,
                         CurrentValueSource::FromWalk)) {
            return RC_INTERNAL_ERROR;
        }
    }
    return RC_SUCCESS;
}

void ConfigTool::IndexLowerCase() {
    for (const auto& [name, itemCode] : itemCodeByName) {
        itemCodeByLowerName.emplace(LowerAscii(name), itemCode);
        const auto options = optionsByItem.find(itemCode);
        lowerOptionsByItem.emplace(
            itemCode, options == optionsByItem.end() ? OptionTable() : LowerCased(options->second));
    }
}

OptionTable ConfigTool::LowerCaseOptionsOf(int itemCode) const {
    const auto options = optionsByItem.find(itemCode);
    return options == optionsByItem.end() ? OptionTable() : LowerCased(options->second);
}

}  // namespace velorin::tool
