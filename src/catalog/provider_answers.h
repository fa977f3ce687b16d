// The provider's answers as the catalogue and the capture read them: one enumeration or string
// request at a time, each text terminated within its buffer, and the SMBIOS check that a
// machine is a Velorin one. The requests print the interface's failure line themselves.
#pragma once

#include "bios/wtolq_core.h"

#include <cstdint>
#include <functional>
#include <string>

namespace velorin::tool {

inline constexpr uint16_t ITEM_COUNT_INDEX = 0xFFFF;

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

bool Enumerate(WTolqCore& core, uint16_t index, EnumAnswer& answer);
bool AskString(WTolqCore& core, uint16_t itemCode, const wchar_t* index, StringAnswer& answer);

// Asks an item's options 1, 2, ... and hands each answer to `visit` with its index, up to
// the answer with RetCode 14 that ends the list (handed over too) or MAX_OPTION_INDEX. False
// when a request fails.
bool WalkOptions(WTolqCore& core, uint16_t itemCode,
                 const std::function<void(int, const StringAnswer&)>& visit);

// Reads a hexadecimal code the way strtoul(text, nullptr, 16) does with a 32-bit unsigned
// long, on the UTF-16 units themselves.
uint16_t ReadHexCode(const wchar_t* text);

// The current option index that an enumeration answer's Data gives (its first unit - '0').
uint16_t CurrentIndexOf(const EnumAnswer& item);

// The current value is asked with decimal digits; index 0 is the empty text.
std::wstring CurrentIndexText(uint16_t currentIndex);

// True when the SMBIOS System Information names Velorin; otherwise prints why and
// "Failed to get BIOS version".
bool IsVelorinMachine();

}  // namespace velorin::tool
