#include "catalog/machine_file_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace velorin::tool::testing {

namespace {

TEST(CatalogMachineFile, TextsKeepEveryUnit) {
    EXPECT_EQ(QuotedMachineText(L"a \"b\" \\c #"), "\"a \\\"b\\\" \\\\c #\"");
    EXPECT_EQ(QuotedMachineText(std::wstring(L"\x01\x1F\x7F\xE9\xFF", 5)),
              "\"\\x01\\x1F\\x7F\\xE9\\xFF\"");
    EXPECT_EQ(QuotedMachineText(std::wstring(L"\x100\x20AC\xD800\xFFFF", 4)),
              "\"\\u0100\\u20AC\\uD800\\uFFFF\"");
    EXPECT_EQ(QuotedMachineText(std::wstring(1, L'\0')), "\"\\x00\"");
}

// A system that publishes no table is written so, and the table's version still stands.
TEST(CatalogMachineFile, MachineWithoutTableSaysSo) {
    CapturedMachine machine;
    machine.revision = 6;
    machine.smbiosMajorVersion = 3;
    machine.smbiosMinorVersion = 4;
    CapturedItem item;
    item.code = 0x0A;
    item.name = L"Tag";
    machine.items.push_back(item);
    const std::string text = MachineFileText(machine, "m.txt.smbios");
    EXPECT_NE(text.find("\nrevision 6\nsmbios none\nsmbios-version 3.4\n"), std::string::npos);
    EXPECT_EQ(text.find("m.txt.smbios"), std::string::npos);
    EXPECT_NE(text.find("\nitem 0x000A \"Tag\" current 0\n  value \"\"\n"), std::string::npos);
}

}  // namespace

}  // namespace velorin::tool::testing
