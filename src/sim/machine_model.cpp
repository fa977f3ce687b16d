#include "sim/machine_model.h"

#include <cstddef>

namespace velorin::sim {

void SavedChanges::Merge(const SavedChanges& later) {
    for (const auto& [code, option] : later.settings) settings[code] = option;
    if (later.supervisorPassword) supervisorPassword = later.supervisorPassword;
    if (later.userPassword) userPassword = later.userPassword;
}

void MachineDescription::IndexItems() const {
    if (indexedItems_ > items.size()) {
        firstItemByCode_.clear();
        indexedItems_ = 0;
    }
    for (; indexedItems_ < items.size(); ++indexedItems_) {
        firstItemByCode_.emplace(items[indexedItems_].code, indexedItems_);
    }
}

Item* MachineDescription::FindItem(uint32_t code) {
    IndexItems();
    const auto found = firstItemByCode_.find(code);
    return found == firstItemByCode_.end() ? nullptr : &items[found->second];
}

const Item* MachineDescription::FindItem(uint32_t code) const {
    return const_cast<MachineDescription*>(this)->FindItem(code);
}

void MachineDescription::Apply(const SavedChanges& changes) {
    // Applied once a machine is read, before any session shares it: later lookups only read.
    IndexItems();
    for (const auto& [code, option] : changes.settings) {
        if (Item* item = FindItem(code)) item->current = option;
    }
    if (changes.supervisorPassword) supervisorPassword = *changes.supervisorPassword;
    if (changes.userPassword) userPassword = *changes.userPassword;
}

}  // namespace velorin::sim
