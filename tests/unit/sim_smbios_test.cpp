#include <gtest/gtest.h>

#include <fstream>

#include "sim_test_support.h"

namespace velorin::sim::testing {
namespace {

struct Structure {
    std::vector<uint8_t> area;  // the formatted area
    std::vector<std::string> strings;

    std::string String(size_t offset) const {
        uint8_t number = area.at(offset);
        return number == 0 ? "<none>" : strings.at(number - 1u);
    }
};

// Splits a table into structures as an SMBIOS reader would; the table must end with type 127.
std::vector<Structure> Walk(const std::vector<uint8_t>& table) {
    std::vector<Structure> structures;
    size_t at = 0;
    while (at + 4 <= table.size()) {
        Structure s;
        s.area.assign(table.begin() + at, table.begin() + at + table[at + 1]);
        at += table[at + 1];
        while (at < table.size() && table[at] != 0) {
            size_t end = at;
            while (end < table.size() && table[end] != 0) ++end;
            s.strings.emplace_back(table.begin() + at, table.begin() + end);
            at = end + 1;
        }
        at += s.strings.empty() ? 2 : 1;
        structures.push_back(s);
        if (s.area[0] == 127) break;
    }
    EXPECT_EQ(at, table.size()) << "bytes after the end-of-table structure";
    return structures;
}

TEST(SimSmbios, BuiltTableHoldsBiosSystemAndEndStructures) {
    std::unique_ptr<Machine> m = MustParse(
        "manufacturer \"Velorin Corporation\"\nproduct \"ProBook\"\nversion \"\"\n"
        "serial \"S1\"\nsku \"K-1\"\nfamily \"Fam\"\nwake-up-type 3\n"
        "uuid 00112233-4455-6677-8899AABBCCDDEEFF\nsmbios-version 2.7\n");
    SmbiosTable smbios = m->Smbios();
    EXPECT_EQ(smbios.majorVersion, 2);
    EXPECT_EQ(smbios.minorVersion, 7);
    ASSERT_TRUE(smbios.data.has_value());
    std::vector<Structure> s = Walk(*smbios.data);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].area[0], 0);
    EXPECT_GE(s[0].area.size(), 0x12u);
    EXPECT_EQ(s[0].strings.size(), 3u);  // vendor, version, release date

    const Structure& system = s[1];
    ASSERT_EQ(system.area.size(), 0x1Bu);
    EXPECT_EQ(system.area[0], 1);
    const std::pair<size_t, const char*> strings[] = {{0x04, "Velorin Corporation"},
                                                      {0x05, "ProBook"},
                                                      {0x06, "<none>"},
                                                      {0x07, "S1"},
                                                      {0x19, "K-1"},
                                                      {0x1A, "Fam"}};
    for (const auto& [offset, text] : strings) EXPECT_EQ(system.String(offset), text) << offset;
    EXPECT_EQ(system.area[0x07], 3);  // the empty version takes no number
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(system.area[0x08 + i], i * 0x11) << i;
    EXPECT_EQ(system.area[0x18], 3);

    EXPECT_EQ(s[2].area, (std::vector<uint8_t>{127, 4, s[2].area[2], s[2].area[3]}));
    EXPECT_NE(s[0].area[2] | s[0].area[3] << 8, system.area[2] | system.area[3] << 8);
}

TEST(SimSmbios, StringsAreEightBitAndEmptyOnesAreLeftOut) {
    std::unique_ptr<Machine> m = MustParse(
        "manufacturer \"Caf\\u00E9 \\u20AC\"\nproduct \"\"\nversion \"\"\n"
        "serial \"\\u0000hidden\"\n");
    std::vector<Structure> s = Walk(*m->Smbios().data);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].String(0x04), "Caf\xE9 ?");
    for (size_t offset : {0x05, 0x06, 0x07, 0x19, 0x1A}) EXPECT_EQ(s[1].area[offset], 0) << offset;

    std::unique_ptr<Machine> bare =
        MustParse("manufacturer \"\"\nproduct \"\"\nversion \"\"\nserial \"\"\n");
    std::vector<uint8_t> table = *bare->Smbios().data;
    std::vector<Structure> t = Walk(table);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(t[1].strings.empty());
}

TEST(SimSmbios, TableFromFileOrNone) {
    std::string folder = FreshFolder("sim_smbios_file");
    const std::vector<uint8_t> raw = {1, 4, 0, 0, 'X', 0, 0, 127, 4, 1, 0, 0, 0};
    std::ofstream(folder + "/table.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    std::ofstream(folder + "/m.machine") << "smbios-file \"table.bin\"\nsmbios-version 3.0\n";
    std::string error;
    std::unique_ptr<Machine> m = Machine::Load(folder + "/m.machine", &error);
    ASSERT_TRUE(m->Installed()) << error;
    EXPECT_EQ(m->Smbios().data, raw);
    EXPECT_EQ(m->Smbios().majorVersion, 3);
    EXPECT_EQ(m->Smbios().minorVersion, 0);

    EXPECT_FALSE(MustParse("smbios none\n")->Smbios().data.has_value());
}

}  // namespace
}  // namespace velorin::sim::testing
