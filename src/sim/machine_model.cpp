#include "sim/machine_model.h"

#include <algorithm>

namespace velorin::sim {

void SavedChanges::Merge(const SavedChanges& later) {
    for (const auto& [code, option] : later.settings) settings[code] = option;
    if (later.supervisorPassword) supervisorPassword = later.supervisorPassword;
    if (later.userPassword) userPassword = later.userPassword;
}

Item* MachineDescription::FindItem(uint32_t code) {
    auto it =
        std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.code == code; });
    return it == items.end() ? nullptr : &*it;
}

const Item* MachineDescription::FindItem(uint32_t code) const {
    return const_cast<MachineDescription*>(this)->FindItem(code);
}

void MachineDescription::Apply(const SavedChanges& changes) {
    for (const auto& [code, option] : changes.settings) {
        if (Item* item = FindItem(code)) item->current = option;
    }
    if (changes.supervisorPassword) supervisorPassword = *changes.supervisorPassword;
    if (changes.userPassword) userPassword = *changes.userPassword;
}

}  // namespace velorin::sim
