#include "sim/smbios_builder.h"

#include <algorithm>

namespace velorin::sim {
namespace {

constexpr uint8_t kBiosInformationLength = 0x18;
constexpr uint8_t kSystemInformationLength = 0x1B;
// PCI, flash upgradeable, shadowing, boot from CD, selectable boot, EDD, print screen,
// 8042 keyboard, serial and CGA/mono services.
constexpr uint64_t kBiosCharacteristics = 0x5C099880;
constexpr uint8_t kBiosExtension1 = 0x03;  // ACPI, USB legacy
constexpr uint8_t kBiosExtension2 = 0x0D;  // BBS boot, targeted content distribution, UEFI
constexpr uint8_t kRomSize8MiB = 0x7F;     // 64 KiB * (n + 1)

// The string set that follows a structure's formatted area. Strings are 8-bit: a unit above
// 0xFF has no byte and becomes '?', and a NUL unit would end the string early, so it does.
class StringSet {
  public:
    // The string's number, or 0 for an empty string (SMBIOS has no empty strings).
    uint8_t Add(const Text& text) {
        std::vector<uint8_t> bytes;
        for (char16_t unit : text) {
            if (unit == 0) break;
            bytes.push_back(unit > 0xFF ? uint8_t('?') : static_cast<uint8_t>(unit));
        }
        if (bytes.empty()) return 0;
        strings_.insert(strings_.end(), bytes.begin(), bytes.end());
        strings_.push_back(0);
        return ++count_;
    }

    void AppendTo(std::vector<uint8_t>* table) const {
        table->insert(table->end(), strings_.begin(), strings_.end());
        if (count_ == 0) table->push_back(0);
        table->push_back(0);
    }

  private:
    std::vector<uint8_t> strings_;
    uint8_t count_ = 0;
};

void PutLittleEndian(std::vector<uint8_t>* area, size_t offset, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) (*area)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Header(uint8_t type, uint8_t length, uint16_t handle) {
    std::vector<uint8_t> area(length, 0);
    area[0] = type;
    area[1] = length;
    PutLittleEndian(&area, 2, handle, 2);
    return area;
}

void AppendStructure(std::vector<uint8_t>* table, const std::vector<uint8_t>& area,
                     const StringSet& strings) {
    table->insert(table->end(), area.begin(), area.end());
    strings.AppendTo(table);
}

void AppendBiosInformation(std::vector<uint8_t>* table, const SystemInfo& system) {
    std::vector<uint8_t> area = Header(0, kBiosInformationLength, 0x0000);
    StringSet strings;
    area[0x04] = strings.Add(system.manufacturer);
    area[0x05] = strings.Add(u"V1.06.00");
    PutLittleEndian(&area, 0x06, 0xF000, 2);
    area[0x08] = strings.Add(u"03/14/2024");
    area[0x09] = kRomSize8MiB;
    PutLittleEndian(&area, 0x0A, kBiosCharacteristics, 8);
    area[0x12] = kBiosExtension1;
    area[0x13] = kBiosExtension2;
    area[0x14] = 1;
    area[0x15] = 6;
    area[0x16] = 0xFF;  // no embedded controller firmware release
    area[0x17] = 0xFF;
    AppendStructure(table, area, strings);
}

void AppendSystemInformation(std::vector<uint8_t>* table, const SystemInfo& system) {
    std::vector<uint8_t> area = Header(1, kSystemInformationLength, 0x0001);
    StringSet strings;
    area[0x04] = strings.Add(system.manufacturer);
    area[0x05] = strings.Add(system.product);
    area[0x06] = strings.Add(system.version);
    area[0x07] = strings.Add(system.serial);
    std::copy(system.uuid.begin(), system.uuid.end(), area.begin() + 0x08);
    area[0x18] = system.wakeUpType;
    area[0x19] = strings.Add(system.sku);
    area[0x1A] = strings.Add(system.family);
    AppendStructure(table, area, strings);
}

}  // namespace

std::vector<uint8_t> BuildSmbiosTable(const SystemInfo& system) {
    std::vector<uint8_t> table;
    AppendBiosInformation(&table, system);
    AppendSystemInformation(&table, system);
    AppendStructure(&table, Header(127, 4, 0x0002), StringSet());
    return table;
}

}  // namespace velorin::sim
