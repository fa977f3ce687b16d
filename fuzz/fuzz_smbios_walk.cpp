// Walks arbitrary bytes as a raw SMBIOS structure table and reads every string number of the
// structure found, with the buffer sizes the tool uses and with a small target buffer.
#include "bios/smbios_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace velorin::tool;

namespace {

void ReadAllStrings(const uint8_t* structure, size_t size) {
    std::vector<wchar_t> text(SMBIOS_TEXT_COPY_UNITS + 1, L'\x7F');
    for (unsigned number = 0; number <= 255; ++number) {
        GetSmbiosString(structure, size, static_cast<uint8_t>(number), text.data());
        // The copy is bounded to SMBIOS_TEXT_COPY_UNITS units, terminator included.
        if (text[SMBIOS_TEXT_COPY_UNITS] != L'\x7F') __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that any read past the table is caught.
    const std::vector<uint8_t> table(data, data + size);
    for (const uint32_t room : {static_cast<uint32_t>(SMBIOS_TABLE_CAPACITY), 32u}) {
        std::vector<uint8_t> structure(room);
        uint32_t capacity = room;
        if (FindSmbiosStructureIn(table.data(), table.size(), structure.data(), capacity)) {
            if (capacity > room) __builtin_trap();
            structure.resize(capacity);
            ReadAllStrings(structure.data(), structure.size());
        } else if (capacity != 0) {
            __builtin_trap();
        }
    }
    // The string lookup on its own, over the raw bytes as one structure.
    ReadAllStrings(table.data(), table.size());
    return 0;
}
