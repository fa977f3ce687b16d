// A machine as its provider answers: the revision, the raw SMBIOS table with its version, and
// every item in the provider's order with its name, current index, options and their return
// codes, or the value of an item without options. Nothing of the catalogue's choices (which
// items it skips, how it narrows texts) is applied, so the record can be written down as a
// machine file that answers the same. Passwords cannot be read and are not part of it.
#pragma once

#include "bios/wtolq_core.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velorin::tool {

struct CapturedOption {
    std::wstring text;
    uint16_t retCode = 0;  // the provider's RetCode for this option, 14 for a last one only
};

struct CapturedItem {
    uint16_t code = 0;
    std::wstring name;
    uint16_t current = 0;  // 0 for an item without options
    std::vector<CapturedOption> options;
    bool hasOptions = false;
    std::wstring value;  // the current-value answer of an item without options
};

struct CapturedMachine {
    uint16_t revision = 0;
    bool smbiosPublished = false;  // false: the system publishes no table
    std::string smbiosTable;
    uint8_t smbiosMajorVersion = 0;
    uint8_t smbiosMinorVersion = 0;
    std::vector<CapturedItem> items;
};

// Reads the machine through the same requests as the catalogue load. False when it is not a
// Velorin machine or a request failed; the failure has printed its line.
bool CaptureMachine(WTolqCore& core, CapturedMachine& machine);

}  // namespace velorin::tool
