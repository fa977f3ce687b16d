// The plain data of a simulated machine as its machine file describes it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/machine.h"
#include "sim/rules.h"

namespace velorin::sim {

constexpr uint32_t kSupervisorPasswordCode = 0x3000;
constexpr uint32_t kUserPasswordCode = 0x3001;
// EnumSetting reports the current option as the unit 0x30 + index, which must stay one unit.
constexpr uint32_t kMaxCurrentOption = 0xFFFF - 0x30;

struct Option {
    Text text;
    bool readonly = false;
    std::optional<uint32_t> retcode;  // answered by GetString instead of the natural code
};

struct Item {
    uint16_t code = 0;
    Text name;
    uint32_t current = 0;  // 0: the item has no option list
    std::vector<Option> options;
    Text value;  // the current-value text of an item without options
};

// The strings and fields of the SMBIOS System Information structure.
struct SystemInfo {
    Text manufacturer = u"VELORIN";
    Text product = u"Velorin Simulated Machine";
    Text version = u"1.0";
    Text serial = u"SIM0000001";
    Text sku;
    Text family;
    std::array<uint8_t, 16> uuid = {0x56, 0x45, 0x4C, 0x4F, 0x52, 0x49, 0x4E, 0x53,
                                    0x49, 0x4D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    uint8_t wakeUpType = 6;
};

// Where the published SMBIOS table comes from.
struct SmbiosSource {
    enum class Kind { Built, File, None };
    Kind kind = Kind::Built;
    std::vector<uint8_t> fileBytes;  // Kind::File
    uint8_t major = 3;
    uint8_t minor = 4;
};

// What a session changed, and equally what an NVRAM file holds.
struct SavedChanges {
    std::map<uint16_t, uint32_t> settings;  // item code to current option
    std::optional<Text> supervisorPassword;
    std::optional<Text> userPassword;

    bool Empty() const { return settings.empty() && !supervisorPassword && !userPassword; }
    // Lays `later` over this record: its entries win.
    void Merge(const SavedChanges& later);
};

struct MachineDescription {
    uint32_t revision = 6;
    SystemInfo system;
    SmbiosSource smbios;
    Text supervisorPassword;
    Text userPassword;
    std::vector<Item> items;
    std::vector<AnswerRule> answers;
    std::vector<FaultRule> faults;

    // The item that answers for `code`: the first one listed with it.
    Item* FindItem(uint32_t code);
    const Item* FindItem(uint32_t code) const;
    // Sets items and passwords as `changes` says; codes without an item are passed over.
    void Apply(const SavedChanges& changes);

  private:
    void IndexItems() const;

    // Code to position of the first item with it. Items are only ever appended, so the index
    // catches up with the new ones on lookup; a lookup per provider call stays constant-time
    // however many items the firmware lists.
    mutable std::unordered_map<uint32_t, size_t> firstItemByCode_;
    mutable size_t indexedItems_ = 0;
};

}  // namespace velorin::sim
