// Reads the System Information structure (SMBIOS type 1) from the raw SMBIOS table that
// Windows publishes as MSSMBios_RawSMBiosTables in ROOT\WMI. Prints nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::tool {

constexpr size_t SMBIOS_TABLE_CAPACITY = 64000;
constexpr size_t SMBIOS_TEXT_FIELD_UNITS = 2000;
constexpr size_t SMBIOS_TEXT_COPY_UNITS = 1000;  // at most, terminator included

struct SystemInformationRecord {
    uint8_t type;
    uint8_t length;
    uint16_t handle;
    wchar_t manufacturer[SMBIOS_TEXT_FIELD_UNITS];
    wchar_t productName[SMBIOS_TEXT_FIELD_UNITS];
    wchar_t version[SMBIOS_TEXT_FIELD_UNITS];
    wchar_t serialNumber[SMBIOS_TEXT_FIELD_UNITS];
    uint8_t uuid[16];
    uint8_t wakeUpType;
    wchar_t skuNumber[SMBIOS_TEXT_FIELD_UNITS];
    wchar_t family[SMBIOS_TEXT_FIELD_UNITS];
};

struct RawSmbiosCache {
    bool loaded = false;
    bool published = false;  // SMBiosData held a byte array, not VT_NULL
    uint8_t majorVersion = 0;
    uint8_t minorVersion = 0;
    uint32_t tableLength = 0;
    uint8_t table[SMBIOS_TABLE_CAPACITY] = {};
};

// The process's cache of the raw table.
RawSmbiosCache& ProcessSmbiosCache();

// Loads the table through WMI into the process's cache when it is not there yet, and reads
// the record from it.
bool ReadSystemInformation(SystemInformationRecord& record);
// Reads the record from the first System Information structure of a table held in memory.
bool ReadSystemInformationFrom(const uint8_t* table, size_t tableLength,
                               SystemInformationRecord& record);
bool LoadRawSmbios();
// Copies the first type-1 structure of the cached table into `buffer`. `capacity`: the
// buffer's size in bytes on the way in, the structure's size on the way out (0 on failure).
bool FindSmbiosStructure(uint8_t* buffer, uint32_t& capacity);
// The same walk over any table of `tableLength` bytes; never reads outside it.
bool FindSmbiosStructureIn(const uint8_t* table, size_t tableLength, uint8_t* buffer,
                           uint32_t& capacity);
// Writes string `number` of a structure of `structureSize` bytes as UTF-16 into `text`
// (SMBIOS_TEXT_COPY_UNITS units at most, terminator included), or an empty text.
void GetSmbiosString(const uint8_t* structure, size_t structureSize, uint8_t number, wchar_t* text);

}  // namespace velorin::tool
