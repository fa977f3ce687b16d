#include "bios/smbios_reader.h"

#include "bios/wmi_helpers.h"
#include "com/com_handles.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace velorin::tool {

namespace {

constexpr uint8_t SYSTEM_INFORMATION_TYPE = 1;
constexpr size_t HEADER_BYTES = 4;  // type, length, handle

// The element count of a one-dimensional byte array, or -1 when it is not one.
long long ByteArrayLength(const VARIANT& value) {
    if (value.vt != (VT_ARRAY | VT_UI1) || value.parray == nullptr) return -1;
    if (SafeArrayGetDim(value.parray) != 1) return -1;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(value.parray, 1, &upper))) {
        return -1;
    }
    return std::max(0LL, static_cast<long long>(upper) - lower + 1);
}

// WMI hands a uint8 property over as VT_UI1; a provider that widens it is read as well.
bool ReadVersionByte(IWbemClassObject& instance, const wchar_t* name, uint8_t& value) {
    UniqueVariant version;
    if (FAILED(instance.Get(name, 0, version.put(), nullptr, nullptr))) return false;
    const VARIANT& v = version.get();
    if (v.vt == VT_UI1) value = v.bVal;
    if (v.vt == VT_I4) value = static_cast<uint8_t>(v.lVal & 0xFF);
    return true;
}

bool ReadTableProperties(IWbemClassObject& instance, RawSmbiosCache& cache, UniqueVariant& data) {
    return ReadVersionByte(instance, L"SmbiosMajorVersion", cache.majorVersion) &&
           ReadVersionByte(instance, L"SmbiosMinorVersion", cache.minorVersion) &&
           SUCCEEDED(instance.Get(L"SMBiosData", 0, data.put(), nullptr, nullptr));
}

// Fills the cache from the first MSSMBios_RawSMBiosTables instance. A missing instance or an
// unreadable table still counts as a finished read, with an empty table; only a table too big
// for the cache is refused.
bool CopyFirstTable(IEnumWbemClassObject& tables, RawSmbiosCache& cache) {
    ComPtr<IWbemClassObject> instance;
    ULONG returned = 0;
    const HRESULT hr = tables.Next((long)WBEM_INFINITE, 1, instance.put(), &returned);
    UniqueVariant data;
    if (SUCCEEDED(hr) && returned != 0 && instance &&
        ReadTableProperties(*instance.get(), cache, data)) {
        const long long length = ByteArrayLength(data.get());
        if (length >= static_cast<long long>(SMBIOS_TABLE_CAPACITY)) return false;
        cache.published = length >= 0;
        if (length > 0) {
            SafeArrayDataLock lock(data.get().parray);
            if (SUCCEEDED(lock.status())) {
                std::memcpy(cache.table, lock.data(), static_cast<size_t>(length));
                cache.tableLength = static_cast<uint32_t>(length);
            }
        }
    }
    cache.loaded = true;
    return true;
}

// The offset just past the string set that starts at `from`: the set ends at the first pair
// of NULs. 0 when the table ends first.
size_t EndOfStringSet(const uint8_t* table, size_t tableLength, size_t from) {
    for (size_t i = from; i + 1 < tableLength; ++i) {
        if (table[i] == 0 && table[i + 1] == 0) return i + 2;
    }
    return 0;
}

void WidenBounded(const uint8_t* bytes, size_t length, wchar_t* text) {
    const size_t units = std::min(length, SMBIOS_TEXT_COPY_UNITS - 1);
    for (size_t i = 0; i < units; ++i) text[i] = static_cast<wchar_t>(bytes[i]);
    text[units] = L'\0';
}

struct TextField {
    size_t offset;  // of the string number in the formatted area
    wchar_t (SystemInformationRecord::*field)[SMBIOS_TEXT_FIELD_UNITS];
};

constexpr TextField TEXT_FIELDS[] = {
    {0x04, &SystemInformationRecord::manufacturer}, {0x05, &SystemInformationRecord::productName},
    {0x06, &SystemInformationRecord::version},      {0x07, &SystemInformationRecord::serialNumber},
    {0x19, &SystemInformationRecord::skuNumber},    {0x1A, &SystemInformationRecord::family},
};
constexpr size_t UUID_OFFSET = 0x08;
constexpr size_t WAKE_UP_TYPE_OFFSET = 0x18;

// Older SMBIOS versions have shorter type-1 structures; a field is read only when it lies
// wholly inside the formatted area.
bool HasField(const uint8_t* structure, size_t offset, size_t width) {
    return offset + width <= structure[1];
}

void FillRecord(const uint8_t* structure, size_t size, SystemInformationRecord& record) {
    const size_t cleared = offsetof(SystemInformationRecord, manufacturer);
    std::memset(reinterpret_cast<uint8_t*>(&record) + cleared, 0, sizeof record - cleared);
    record.type = structure[0];
    record.length = structure[1];
    record.handle = static_cast<uint16_t>(structure[2] | (structure[3] << 8));
    for (const TextField& text : TEXT_FIELDS) {
        if (HasField(structure, text.offset, 1)) {
            GetSmbiosString(structure, size, structure[text.offset], record.*text.field);
        }
    }
    if (HasField(structure, UUID_OFFSET, sizeof record.uuid)) {
        std::memcpy(record.uuid, structure + UUID_OFFSET, sizeof record.uuid);
    }
    if (HasField(structure, WAKE_UP_TYPE_OFFSET, 1))
        record.wakeUpType = structure[WAKE_UP_TYPE_OFFSET];
}

// Fills the record from the structure that `find` copies into a buffer of the table's size.
template <typename Find>
bool ReadRecordThrough(Find&& find, SystemInformationRecord& record) {
    std::vector<uint8_t> structure(SMBIOS_TABLE_CAPACITY, 0);
    uint32_t size = static_cast<uint32_t>(structure.size());
    if (!find(structure.data(), size)) return false;
    FillRecord(structure.data(), size, record);
    return true;
}

}  // namespace

RawSmbiosCache& ProcessSmbiosCache() {
    static RawSmbiosCache cache;
    return cache;
}

bool LoadRawSmbios() {
    RawSmbiosCache& cache = ProcessSmbiosCache();
    if (cache.loaded) return true;
    std::fill(std::begin(cache.table), std::end(cache.table), uint8_t{0});
    cache.tableLength = 0;
    cache.published = false;
    cache.majorVersion = 0;
    cache.minorVersion = 0;

    const ComApartment com;
    if (!com.Initialized()) return false;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    if (FAILED(ConnectNamespace(L"ROOT\\WMI", locator, services).hr)) return false;
    const UniqueBstr className = MakeBstr(L"MSSMBios_RawSMBiosTables");
    ComPtr<IEnumWbemClassObject> tables;
    if (FAILED(services->CreateInstanceEnum(className.get(), 0, nullptr, tables.put()))) {
        return false;
    }
    return CopyFirstTable(*tables.get(), cache);
}

// Whatever the table's bytes say, the walk stays inside it: it stops at a header that does
// not fit, at a length below the header's own size, and at a structure that runs past the end.
bool FindSmbiosStructureIn(const uint8_t* table, size_t tableLength, uint8_t* buffer,
                           uint32_t& capacity) {
    size_t offset = 0;
    while (offset + HEADER_BYTES <= tableLength) {
        const uint8_t type = table[offset];
        const size_t formatted = table[offset + 1];
        if (formatted < HEADER_BYTES || offset + formatted > tableLength) break;
        const size_t end = EndOfStringSet(table, tableLength, offset + formatted);
        if (end == 0) break;
        const size_t size = end - offset;
        if (type == SYSTEM_INFORMATION_TYPE) {
            // A structure of exactly the buffer's size is refused too (>=, not >): kept as
            // the field expects it.
            if (size >= capacity) break;
            std::memcpy(buffer, table + offset, size);
            capacity = static_cast<uint32_t>(size);
            return true;
        }
        offset = end;
    }
    capacity = 0;
    return false;
}

bool FindSmbiosStructure(uint8_t* buffer, uint32_t& capacity) {
    const RawSmbiosCache& cache = ProcessSmbiosCache();
    const size_t length = std::min<size_t>(cache.tableLength, SMBIOS_TABLE_CAPACITY);
    return FindSmbiosStructureIn(cache.table, length, buffer, capacity);
}

void GetSmbiosString(const uint8_t* structure, size_t structureSize, uint8_t number,
                     wchar_t* text) {
    text[0] = L'\0';
    if (number == 0 || structureSize < 2) return;
    size_t start = structure[1];
    for (size_t current = 1; start < structureSize && structure[start] != 0; ++current) {
        const auto* begin = structure + start;
        const auto* end = std::find(begin, structure + structureSize, uint8_t{0});
        if (end == structure + structureSize) return;  // an unterminated string is not used
        if (current == number) {
            WidenBounded(begin, static_cast<size_t>(end - begin), text);
            return;
        }
        start += static_cast<size_t>(end - begin) + 1;
    }
}

bool ReadSystemInformationFrom(const uint8_t* table, size_t tableLength,
                               SystemInformationRecord& record) {
    return ReadRecordThrough(
        [&](uint8_t* buffer, uint32_t& capacity) {
            return FindSmbiosStructureIn(table, tableLength, buffer, capacity);
        },
        record);
}

bool ReadSystemInformation(SystemInformationRecord& record) {
    return LoadRawSmbios() && ReadRecordThrough(FindSmbiosStructure, record);
}

}  // namespace velorin::tool
