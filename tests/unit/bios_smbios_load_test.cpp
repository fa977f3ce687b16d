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

namespace {

using bios_test::CaptureOutput;
using bios_test::UseMachine;

void ForgetCachedTable() { ProcessSmbiosCache().loaded = false; }

std::unique_ptr<SystemInformationRecord> NewRecord() {
    return std::make_unique<SystemInformationRecord>();
}

TEST(BiosSmbiosLoad, TableIsReadFromWmiOncePerProcess) {
    ForgetCachedTable();
    UseMachine("manufacturer \"First Maker\"\nproduct \"P1\"\n");
    auto record = NewRecord();
    ASSERT_TRUE(ReadSystemInformation(*record));
    EXPECT_EQ(std::wstring(record->manufacturer), L"First Maker");
    EXPECT_EQ(std::wstring(record->productName), L"P1");

    // A second read takes the cached table: neither the new machine's strings nor its
    // broken WMI are seen.
    UseMachine("manufacturer \"Second Maker\"\nfault ConnectServer \"ROOT\\WMI\" hr=0x8004100E\n");
    ASSERT_TRUE(ReadSystemInformation(*record));
    EXPECT_EQ(std::wstring(record->manufacturer), L"First Maker");
}

TEST(BiosSmbiosLoad, FailureBeforeTheEnumerationLeavesTheReadToBeTriedAgain) {
    const char* const rules[] = {
        "fault CoInitializeEx hr=0x80010106",
        "fault CoCreateInstance hr=0x80040154",
        "fault ConnectServer \"ROOT\\WMI\" hr=0x8004100E",
        "fault CoSetProxyBlanket \"ROOT\\WMI\" hr=0x80070005",
        "fault CreateInstanceEnum \"MSSMBios_RawSMBiosTables\" hr=0x80041010",
    };
    for (const char* rule : rules) {
        SCOPED_TRACE(rule);
        ForgetCachedTable();
        UseMachine(rule);
        bool loaded = true;
        EXPECT_EQ(CaptureOutput([&] { loaded = LoadRawSmbios(); }), "");
        EXPECT_FALSE(loaded);
        EXPECT_FALSE(ProcessSmbiosCache().loaded);
        UseMachine("manufacturer \"Retried\"\n");
        auto record = NewRecord();
        ASSERT_TRUE(ReadSystemInformation(*record));
        EXPECT_EQ(std::wstring(record->manufacturer), L"Retried");
    }
}

TEST(BiosSmbiosLoad, FailureOfTheEnumerationGivesAnEmptyTableThatCountsAsRead) {
    const char* const rules[] = {
        "smbios none",
        "fault Next \"MSSMBios_RawSMBiosTables\" hr=0x80041001",
        "fault Next \"MSSMBios_RawSMBiosTables\" hr=none",
        "fault Get \"MSSMBios_RawSMBiosTables.SmbiosMajorVersion\" hr=0x80041001",
        "fault Get \"MSSMBios_RawSMBiosTables.SmbiosMinorVersion\" hr=0x80041001",
        "fault Get \"MSSMBios_RawSMBiosTables.SMBiosData\" hr=0x80041001",
    };
    for (const char* rule : rules) {
        SCOPED_TRACE(rule);
        ForgetCachedTable();
        UseMachine(rule);
        auto record = NewRecord();
        EXPECT_FALSE(ReadSystemInformation(*record));
        EXPECT_TRUE(ProcessSmbiosCache().loaded);
        EXPECT_EQ(ProcessSmbiosCache().tableLength, 0u);
        EXPECT_TRUE(LoadRawSmbios());
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
    struct Row {
        size_t size;
        bool accepted;
    };
    const Row rows[] = {{63999, true}, {64000, false}, {65536, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        ForgetCachedTable();
        const std::string machinePath = std::string(VELORIN_TEST_TMP) + "/bios_table.machine";
        UseMachine("smbios-file \"" + WriteTable(row.size) + "\"\n", machinePath);
        EXPECT_EQ(LoadRawSmbios(), row.accepted);
        EXPECT_EQ(ProcessSmbiosCache().loaded, row.accepted);
        if (!row.accepted) continue;
        EXPECT_EQ(ProcessSmbiosCache().tableLength, row.size);
        auto record = NewRecord();
        ASSERT_TRUE(ReadSystemInformation(*record));
        EXPECT_EQ(std::wstring(record->manufacturer), L"Big Table Maker");
        EXPECT_EQ(record->handle, 0x0007);
    }
}

TEST(BiosSmbiosLoad, RealTableThroughWmi) {
    const std::filesystem::path directory = VELORIN_SMBIOS_TESTDATA;
    if (!std::filesystem::is_directory(directory)) GTEST_SKIP() << "no " << directory;
    ForgetCachedTable();
    UseMachine("smbios-file \"lenovo_thinkpad_t490_smbios31.bin\"\n",
               (directory / "bios_test.machine").string());
    auto record = NewRecord();
    ASSERT_TRUE(ReadSystemInformation(*record));
    EXPECT_EQ(ProcessSmbiosCache().tableLength, 3320u);
    EXPECT_EQ(std::wstring(record->manufacturer), L"LENOVO");
    EXPECT_EQ(std::wstring(record->version), L"ThinkPad T490");
    EXPECT_EQ(record->handle, 0x0012);
}

}  // namespace
