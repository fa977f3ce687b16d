// The System Information lookup over tables placed straight into the process cache (no WMI):
// synthetic tables for each layout rule, broken tables whose bytes past the end would change
// the answer if the walk read them, and the real tables of the test data.
#include "bios/smbios_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Structure(uint8_t type, uint8_t length, const std::vector<std::string>& strings,
                uint16_t handle = 0x0042) {
    Bytes bytes(length, 0);
    bytes[0] = type;
    bytes[1] = length;
    bytes[2] = static_cast<uint8_t>(handle & 0xFF);
    bytes[3] = static_cast<uint8_t>(handle >> 8);
    for (const std::string& text : strings) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    if (strings.empty()) bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// A type-1 structure of `length` bytes: string numbers 1-4 at 0x04-0x07, UUID bytes
// 0xA0-0xAF, wake-up type 6, SKU string 5 and family string 6, each only where it fits.
Bytes SystemInformation(uint8_t length, const std::vector<std::string>& strings) {
    Bytes bytes = Structure(1, length, strings, 0x0101);
    const uint8_t formatted[0x1B] = {1,    0x1B, 0x01, 0x01, 1,    2,    3,    4,    0xA0,
                                     0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9,
                                     0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 6,    5,    6};
    for (size_t i = 4; i < length && i < sizeof formatted; ++i) bytes[i] = formatted[i];
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<std::string> kSixStrings = {"Velorin", "Model 7", "1.2", "SN-1", "SKU-9", "Fam"};
const Bytes kBiosInformation = Structure(0, 0x18, {"Vendor", "1.0", "01/01/2024"}, 0x0000);
const std::string kTestUuid = "a0a1a2a3a4a5a6a7a8a9aaabacadaeaf";
const std::string kZeroUuid(32, '0');

// A text field as 8-bit text (the reader only ever widens bytes).
std::string Narrow(const wchar_t* text) { return std::string(text, text + std::wcslen(text)); }

// The whole record on one line: the six texts, then handle, length, wake-up byte and UUID.
std::string Describe(const SystemInformationRecord& r) {
    char numbers[64];
    int used =
        std::snprintf(numbers, sizeof numbers, "%04x %02x %02x ", r.handle, r.length, r.wakeUpType);
    for (uint8_t byte : r.uuid) used += std::snprintf(numbers + used, 3, "%02x", byte);
    return Narrow(r.manufacturer) + "|" + Narrow(r.productName) + "|" + Narrow(r.version) + "|" +
           Narrow(r.serialNumber) + "|" + Narrow(r.skuNumber) + "|" + Narrow(r.family) + "|" +
           numbers;
}

// Reads the System Information of `table` as the WMI read hands it over, into a record that
// starts out full of garbage so that a field the reader forgets to clear shows. "" on false.
std::string ReadFromTable(const Bytes& table,
                          std::unique_ptr<SystemInformationRecord>* kept = nullptr) {
    auto record = std::make_unique<SystemInformationRecord>();
    std::memset(record.get(), 0x7F, sizeof(SystemInformationRecord));
    const bool ok = ReadSystemInformationFrom(table.data(), table.size(), *record);
    const std::string described = ok ? Describe(*record) : "";
    if (kept != nullptr) *kept = std::move(record);
    return described;
}

TEST(BiosSmbiosWalk, StructuresBeforeTypeOneAreSteppedOverWithTheirStrings) {
    // The OEM strings hold bytes that look like a type-1 header: a walk that stepped over the
    // formatted area alone would land in them.
    const Bytes oem = Structure(0x80, 0x08, {"\x01\x1B\x05\x05", "x"});
    const Bytes type1 = SystemInformation(0x1B, kSixStrings);
    for (const Bytes& table :
         {Concat({kBiosInformation, type1, Structure(127, 4, {})}),
          Concat({oem, kBiosInformation, Structure(0xFF, 6, {}), oem, type1})}) {
        EXPECT_EQ(ReadFromTable(table),
                  "Velorin|Model 7|1.2|SN-1|SKU-9|Fam|0101 1b 06 " + kTestUuid);
    }
}

TEST(BiosSmbiosWalk, StringNumbersAndStringSets) {
    struct Row {
        uint8_t manufacturerNumber;
        std::vector<std::string> strings;
        std::string texts;
    };
    const Row rows[] = {
        {0, kSixStrings, "|Model 7|1.2|SN-1|SKU-9|Fam|"},
        {6, kSixStrings, "Fam|Model 7|1.2|SN-1|SKU-9|Fam|"},
        {7, kSixStrings, "|Model 7|1.2|SN-1|SKU-9|Fam|"},
        {255, kSixStrings, "|Model 7|1.2|SN-1|SKU-9|Fam|"},
        {1, {}, "||||||"},  // an empty string set: two NULs right after the formatted area
        {1, {"Caf\xE9 \xFF", "\x80"}, "Caf\xE9 \xFF|\x80|||||"},  // bytes become the same units
    };
    for (const Row& row : rows) {
        Bytes type1 = SystemInformation(0x1B, row.strings);
        type1[0x04] = row.manufacturerNumber;
        EXPECT_EQ(ReadFromTable(type1), row.texts + "0101 1b 06 " + kTestUuid);
    }
}

TEST(BiosSmbiosWalk, FieldsBeyondAShortFormattedAreaStayEmpty) {
    const std::pair<uint8_t, std::string> rows[] = {
        {0x1A, "SKU-9||0101 1a 06 " + kTestUuid}, {0x19, "||0101 19 06 " + kTestUuid},
        {0x18, "||0101 18 00 " + kTestUuid},      {0x17, "||0101 17 00 " + kZeroUuid},
        {0x08, "||0101 08 00 " + kZeroUuid},
    };
    for (const auto& [length, tail] : rows) {
        EXPECT_EQ(ReadFromTable(SystemInformation(length, kSixStrings)),
                  "Velorin|Model 7|1.2|SN-1|" + tail);
    }
}

TEST(BiosSmbiosWalk, LongStringsAreCutToFitTheField) {
    const std::pair<size_t, size_t> rows[] = {
        {998, 998}, {999, 999}, {1000, 999}, {1999, 999}, {5000, 999}};
    for (const auto& [bytes, units] : rows) {
        std::unique_ptr<SystemInformationRecord> record;
        EXPECT_EQ(
            ReadFromTable(SystemInformation(0x1B, {std::string(bytes, 'L'), "after"}), &record)
                .substr(units, 7),
            "|after|");
        // The unused rest of the field is zero, not left as it was.
        EXPECT_EQ(record->manufacturer[SMBIOS_TEXT_COPY_UNITS], L'\0');
    }
}

// Each table is followed in memory by `beyond`, which would complete a type-1 structure:
// only a walk that reads past the table's length finds one.
TEST(BiosSmbiosWalk, BrokenTablesAreNeverReadPastTheirEnd) {
    const Bytes type1 = SystemInformation(0x1B, kSixStrings);
    const auto head = [&](size_t n) { return Bytes(type1.begin(), type1.begin() + n); };
    const auto tail = [&](size_t n) { return Bytes(type1.begin() + n, type1.end()); };
    const Bytes zeroHeader = {0x00, 0x00, 0x00, 0x00};
    struct Row {
        const char* name;
        Bytes table;
        Bytes beyond;
        bool found;
    };
    const Row rows[] = {
        {"no type 1", Concat({kBiosInformation, Structure(127, 4, {})}), {}, false},
        {"empty table", {}, {}, false},
        {"zero length header", Concat({kBiosInformation, zeroHeader, type1}), {}, false},
        {"length below header size", Concat({{0x05, 0x03, 0x00, 0x00, 0x00}, type1}), {}, false},
        {"header cut by the end", Concat({kBiosInformation, head(1)}), tail(1), false},
        {"formatted area past the end", Concat({kBiosInformation, head(0x10)}), tail(0x10), false},
        {"string set past the end", Concat({kBiosInformation, head(type1.size() - 1)}), {0}, false},
        {"type 1 before a break",
         Concat({kBiosInformation, type1, zeroHeader, Bytes(300, 0)}),
         {},
         true},
        {"type 1 ending exactly at the end", Concat({kBiosInformation, type1}), {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes memory = Concat({row.table, row.beyond});
        Bytes buffer(SMBIOS_TABLE_CAPACITY, 0);
        uint32_t capacity = SMBIOS_TABLE_CAPACITY;
        EXPECT_EQ(FindSmbiosStructureIn(memory.data(), row.table.size(), buffer.data(), capacity),
                  row.found);
        EXPECT_EQ(capacity, row.found ? type1.size() : 0u);
        EXPECT_EQ(ReadFromTable(row.table).empty(), !row.found);
    }
}

TEST(BiosSmbiosWalk, StringLookupStopsAtTheStructureSize) {
    // The second string's terminator lies just past the size given.
    const Bytes memory = Concat({Structure(1, 0x08, {"one", "two"}), {0x00}});
    const size_t size = memory.size() - 3;
    wchar_t text[SMBIOS_TEXT_COPY_UNITS] = L"unchanged";
    GetSmbiosString(memory.data(), size, 1, text);
    EXPECT_EQ(std::wstring(text), L"one");
    GetSmbiosString(memory.data(), size, 2, text);
    EXPECT_EQ(std::wstring(text), L"");
    GetSmbiosString(memory.data(), 0x08, 1, text);  // no string set inside the size at all
    EXPECT_EQ(std::wstring(text), L"");
}

// ---- The real tables of the test data, each against its .expected file.

std::string QuotedOrEmpty(const std::string& value) {
    const size_t open = value.find('"');
    const size_t close = value.rfind('"');
    return close > open && open != std::string::npos ? value.substr(open + 1, close - open - 1)
                                                     : "";
}

// The expected record in Describe's form, from the header and the [raw] part of the file.
std::string DescribeExpected(const std::filesystem::path& path) {
    std::map<std::string, std::string> raw;
    std::ifstream file(path);
    bool inRaw = false;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("[", 0) == 0) inRaw = line.rfind("[raw]", 0) == 0;
        const size_t colon = line.find(": ");
        if (colon != std::string::npos && (inRaw || line.rfind("Type 1 ", 0) == 0)) {
            raw[line.substr(0, colon)] = line.substr(colon + 2);
        }
    }
    std::string described;
    for (const char* key :
         {"Manufacturer", "Product Name", "Version", "Serial Number", "SKU Number", "Family"}) {
        described += QuotedOrEmpty(raw.at(key)) + "|";
    }
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%04lx %02lx %02lx ",
                  std::stoul(raw.at("Type 1 handle"), nullptr, 16),
                  std::stoul(raw.at("Type 1 length"), nullptr, 16),
                  std::stoul(raw.at("Wake-up Type byte"), nullptr, 16));
    return described + numbers + raw.at("UUID bytes");
}

TEST(BiosSmbiosRealTables, EveryTableYieldsItsExpectedSystemInformation) {
    const std::filesystem::path directory = VELORIN_SMBIOS_TESTDATA;
    // Missing tables are a broken checkout, not a reason to pass.
    ASSERT_TRUE(std::filesystem::is_directory(directory)) << "no " << directory;
    int tables = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().extension() != ".bin") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++tables;
        std::ifstream file(entry.path(), std::ios::binary);
        const Bytes table{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_EQ(
            ReadFromTable(table),
            DescribeExpected(std::filesystem::path(entry.path()).replace_extension(".expected")));
    }
    EXPECT_GE(tables, 14);
}

}  // namespace

}  // namespace velorin::tool::testing
