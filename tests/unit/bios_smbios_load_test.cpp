// Reading the raw SMBIOS table from ROOT\WMI of a simulated machine: when the read counts as
// done, when it is refused, the size limit, and that the table is read once per process.
#include "bios/smbios_reader.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

using bios_test::CaptureOutput;
using bios_test::UseMachine;

void ForgetCachedTable() { ProcessSmbiosCache().loaded = false; }

TEST(BiosSmbiosLoad, TableIsReadFromWmiOncePerProcess) {
    ForgetCachedTable();
    UseMachine("manufacturer \"First Maker\"\n");
    auto record = std::make_unique<SystemInformationRecord>();
    ASSERT_TRUE(ReadSystemInformation(*record));
    EXPECT_EQ(std::wstring(record->manufacturer), L"First Maker");

    // A second read takes the cached table: neither the new machine's strings nor its
    // broken WMI are seen.
    UseMachine("manufacturer \"Second Maker\"\nfault ConnectServer \"ROOT\\WMI\" hr=0x8004100E\n");
    ASSERT_TRUE(ReadSystemInformation(*record));
    EXPECT_EQ(std::wstring(record->manufacturer), L"First Maker");
}

// A WMI failure before the enumeration leaves the read to be tried again; a failure of the
// enumeration or of a property read counts as a finished read of an empty table.
TEST(BiosSmbiosLoad, FailuresEitherLeaveTheReadOpenOrGiveAnEmptyTable) {
    const std::pair<const char*, bool> rows[] = {
        {"fault CoInitializeEx hr=0x80010106", false},
        {"fault CoCreateInstance hr=0x80040154", false},
        {"fault ConnectServer \"ROOT\\WMI\" hr=0x8004100E", false},
        {"fault CoSetProxyBlanket \"ROOT\\WMI\" hr=0x80070005", false},
        {"fault CreateInstanceEnum \"MSSMBios_RawSMBiosTables\" hr=0x80041010", false},
        {"smbios none", true},
        {"fault Next \"MSSMBios_RawSMBiosTables\" hr=0x80041001", true},
        {"fault Next \"MSSMBios_RawSMBiosTables\" hr=none", true},
        {"fault Get \"MSSMBios_RawSMBiosTables.SmbiosMajorVersion\" hr=0x80041001", true},
        {"fault Get \"MSSMBios_RawSMBiosTables.SmbiosMinorVersion\" hr=0x80041001", true},
        {"fault Get \"MSSMBios_RawSMBiosTables.SMBiosData\" hr=0x80041001", true},
    };
    for (const auto& [rule, counted] : rows) {
        SCOPED_TRACE(rule);
        ForgetCachedTable();
        UseMachine(rule);
        bool loaded = !counted;
        EXPECT_EQ(CaptureOutput([&] { loaded = LoadRawSmbios(); }), "");
        EXPECT_EQ(loaded, counted);
        EXPECT_EQ(ProcessSmbiosCache().loaded, counted);
        EXPECT_EQ(ProcessSmbiosCache().tableLength, 0u);
        UseMachine("manufacturer \"Retried\"\n");
        auto record = std::make_unique<SystemInformationRecord>();
        EXPECT_EQ(ReadSystemInformation(*record), !counted);
        if (!counted) {
            EXPECT_EQ(std::wstring(record->manufacturer), L"Retried");
        }
    }
}

// A table of `size` bytes: a System Information structure and zeros after it.
std::string WriteTable(size_t size) {
    const std::filesystem::path directory = VELORIN_TEST_TMP;
    std::filesystem::create_directories(directory);
    std::vector<char> bytes(size, 0);
    const char type1[] =
        "\x01\x08\x07\x00\x01\x00\x00\x00"
        "Big Table Maker\0\0";
    std::copy(std::begin(type1), std::end(type1) - 1, bytes.begin());
    const std::string name = "bios_table_" + std::to_string(size) + ".bin";
    std::ofstream(directory / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(size));
    return name;
}

TEST(BiosSmbiosLoad, TablesOf64000BytesOrMoreAreRefused) {
    for (const auto& [size, accepted] :
         {std::pair<size_t, bool>{63999, true}, {64000, false}, {65536, false}}) {
        SCOPED_TRACE(size);
        ForgetCachedTable();
        const std::string machinePath = std::string(VELORIN_TEST_TMP) + "/bios_table.machine";
        UseMachine("smbios-file \"" + WriteTable(size) + "\"\n", machinePath);
        EXPECT_EQ(LoadRawSmbios(), accepted);
        EXPECT_EQ(ProcessSmbiosCache().loaded, accepted);
        if (!accepted) continue;
        EXPECT_EQ(ProcessSmbiosCache().tableLength, size);
        auto record = std::make_unique<SystemInformationRecord>();
        ASSERT_TRUE(ReadSystemInformation(*record));
        EXPECT_EQ(std::wstring(record->manufacturer), L"Big Table Maker");
    }
}

}  // namespace

}  // namespace velorin::tool::testing
