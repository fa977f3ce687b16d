#include "bios/smbios_reader.h"
#include "catalog/config_tool.h"
#include "sim/machine.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace velorin::tool::testing {

namespace fs = std::filesystem;

namespace {

struct Session {
    std::unique_ptr<ConfigTool> tool;
    int result = -1;
    std::string output;
};

// Machine text written compactly: ';' ends a line and '\'' stands for '"'.
Session LoadCatalogueOf(std::string machine, bool load = true) {
    std::replace(machine.begin(), machine.end(), ';', '\n');
    std::replace(machine.begin(), machine.end(), '\'', '"');
    tool_fixture::UseMachine(machine, "m");
    Session run;
    run.output = tool_fixture::CaptureOutput([&] {
        run.tool = std::make_unique<ConfigTool>();
        if (load) run.result = run.tool->LoadCatalogue();
    });
    return run;
}

Session Export(Session run, bool toFile, const std::string& itemName) {
    run.output = tool_fixture::CaptureOutput([&] {
        run.result = run.tool->ExportConfig(!itemName.empty(), toFile, "out.txt", itemName);
    });
    return run;
}

// The catalogue in one line: names, then per item code its current value and its options.
std::string Dump(const ConfigTool& tool) {
    std::string text;
    for (const auto& [name, code] : tool.itemCodeByName) text += name + "=" + std::to_string(code);
    for (const auto& [code, value] : tool.currentValueByItem) {
        text += "|" + std::to_string(code) + ":" + value + "[";
        const auto options = tool.optionsByItem.find(code);
        if (options == tool.optionsByItem.end()) continue;
        for (const auto& [option, i] : options->second) text += option + std::to_string(i) + ",";
    }
    return text;
}

const std::string ONE = ";item 1 'A' current 1;option 'On'";
const std::string CODE = "item 31 'T' current 0;answer EnumSetting index=0 itemcode=";
const std::string NOT_VELORIN = "System manufacturer is not valid\nFailed to get BIOS version";
const std::string FAILED = "ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=";
const std::string ENUM_FAILED = FAILED + "EnumSetting(), hr=80041001\n";
const std::string STRING_FAILED = FAILED + "Set(), hr=80041001\n";
const std::string TWELVE =
    "item 16 'L' current 12;option 'a';option 'b';option 'c';option 'd'"
    ";option 'e';option 'f';option 'g';option 'h';option 'i';option 'j'"
    ";option 'k' readonly;option 'l' readonly";
// Option 255 answers with a text of its own; only 257 would end the list.
const std::string ENDLESS =
    "item 32 'E' current 1;option 'A';option 'B'"
    ";answer GetString item=32 index='\\u012F' data='Last' retcode=0"
    ";answer GetString item=32 index='\\u0131' data='End' retcode=14"
    ";answer GetString item=32 retcode=0";

TEST(CatalogLoad, LoadsTheCatalogueOrReportsWhyNot) {
    const std::string cases[][4] = {
        {"manufacturer 'velorin corp'" + ONE, "0", "", "A=1|1:On[On1,"},
        {"manufacturer 'VELORI'" + ONE, "12", NOT_VELORIN, ""},
        {"manufacturer '\\u0156ELORIN'" + ONE, "12", NOT_VELORIN, ""},
        {"smbios none" + ONE, "12", "Failed to get BIOS version", ""},
        {"item 1 'B' current 3;option 'U';option 'L' readonly;option 'N' readonly", "0", "",
         "B=1|1:N[N3,U1,"},
        {"item 2 'Tag' current 0;value 'A-1';option 'unused'", "0", "", "Tag=2|2:A-1["},
        {"item 1 'X' current 1;option 'On';option 'On';option 'Off';option 'On'"
         ";item 2 'Y' current 1;option 'On'",
         "0", "", "X=1Y=2|1:On[Off3,On1,|2:On[On1,"},
        {TWELVE, "0", "", "L=16|16:l[a1,b2,c3,d4,e5,f6,g7,h8,i9,j10,l12,"},
        {"item 9 'S' current 1;option 'A';item 5 'S' current 2;option 'B';option 'C'", "0", "",
         "S=9|5:C[B1,C2,|9:A[A1,"},
        {"item 0x3000 'P' current 0;item 0x3001 'U' current 0;item 5 'Z' current 0", "0", "",
         "Z=5|5:["},
        {"item 7 'T \\u0143' current 1;option '\\u00e9'", "0", "",
         "T C=7|7:\xE9[\xE9"
         "1,"},
        {ENDLESS, "0", "", "E=32|32:A[A1,B2,Last255,"},
        {"answer EnumSetting index=0xFFFF itemcode='0x2';item 1 'P' current 0"
         ";item 2 'Q' current 0;item 3 'R' current 0",
         "0", "", "P=1Q=2|1:[|2:["},
        {"", "0", "", ""},
        // Indices the provider answers with an error hold no item and are not asked further.
        {"answer EnumSetting index=0xFFFF itemcode='5';fault ExecMethod 'GetString' "
         "hr=0x80041001 after=4" +
             ONE,
         "0", "", "A=1|1:On[On1,"},
        // Units whose low byte is a control character can't forge lines of the export.
        {"item 1 'A\\u010AB\\x09' current 1;option '\\u017F\\u0100x';option '\\u0120'", "0", "",
         "A?B?=1|1:??x[ 2,??x1,"},
        {CODE + "'1001Fzz'", "0", "", "T=31|31:["},
        {CODE + "' \\x09-0x1'", "0", "", "=65535|65535:["},
        {CODE + "'\\u0131F'", "0", "", "=0|0:["},
        {"fault ExecMethod 'EnumSetting' hr=0x80041001 after=1" + ONE, "12",
         ENUM_FAILED + ENUM_FAILED + ENUM_FAILED + "EnumSetting call failed\n", ""},
        {"fault ExecMethod 'GetString' hr=0x80041001 after=2" + ONE, "12",
         STRING_FAILED + STRING_FAILED + STRING_FAILED + "getString call failed\n", "A=1|1:On["},
        {"fault Get 'GetString.Data' hr=0x80041001 after=1" + ONE, "12",
         "ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'Data', hr=80041001\ngetString call failed\n",
         "A=1"},
    };
    for (const auto& [machine, result, output, catalogue] : cases) {
        const Session run = LoadCatalogueOf(machine);
        EXPECT_EQ(std::to_string(run.result), result) << machine;
        EXPECT_EQ(run.output, output) << machine;
        EXPECT_EQ(Dump(*run.tool), catalogue) << machine;
    }
}

// Options that share a long beginning stay apart: texts are whole up to 1,000 units.
TEST(CatalogLoad, KeepsLongTextsWholeUpTo1000Units) {
    const std::string shared(30, 'P');
    const Session run =
        LoadCatalogueOf("item 1 '" + std::string(1200, 'N') + "' current 3" +
                        ";option 'Off';option '" + shared + "4';option '" + shared + "6'");
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.tool->itemCodeByName.size(), 1u);
    EXPECT_EQ(run.tool->itemCodeByName.begin()->first, std::string(1000, 'N'));
    EXPECT_EQ(run.tool->currentValueByItem[1], shared + "6");
    EXPECT_EQ(run.tool->optionsByItem[1],
              (OptionTable{{"Off", 1}, {shared + "4", 2}, {shared + "6", 3}}));
}

TEST(CatalogLoad, IndexLowerCaseFoldsAsciiLettersOnlyAndKeepsTheFirstKey) {
    const Session run = LoadCatalogueOf("", false);
    ConfigTool& tool = *run.tool;
    tool.itemCodeByName = {{"MODE", 2}, {"Mode", 1}, {"\xC9t", 3}, {"\xE9t", 4}};
    tool.optionsByItem = {{1, {{"FAST", 2}, {"Fast", 1}}}};
    tool.IndexLowerCase();
    EXPECT_EQ(tool.itemCodeByLowerName,
              (std::map<std::string, int>{{"mode", 2}, {"\xC9t", 3}, {"\xE9t", 4}}));
    EXPECT_EQ(tool.lowerOptionsByItem,
              (std::map<int, OptionTable>{{1, {{"fast", 2}}}, {2, {}}, {3, {}}, {4, {}}}));
}

const std::string MACHINE =
    "item 0x300 'Fan' current 2;option 'Low';option 'Hi' readonly"
    ";option 'Max' readonly;item 0x101 'Wake' current 2;option 'On'"
    ";option 'Off';item 0x200 'Tag' current 0;item 0x100 'Boot' current 1"
    ";option 'UEFI';option 'Legacy' readonly";
// A second name for code 0x100: its name request is answered with another text.
const std::string SHARED_CODE =
    "item 0x100 'Zeta' current 1;option 'On';item 0x100 'X' current 1"
    ";answer GetString item=0x100 index='0' after=1 data='Alpha'";

const std::string LISTING = "+++Boot\n*UEFI\n\n+++Wake\nOn\n*Off\n\n+++Tag\n\n+++Fan\nLow\n*Hi\n\n";
const std::string NOT_FOUND = "can't find the item ";

// "console" exports to standard output; the others name what out.txt is before the export.
TEST(CatalogExport, WritesTheListingToTheConsoleOrReplacesTheFileWhole) {
    const fs::path directory = fs::path(VELORIN_TEST_TMP) / "catalog_export";
    const std::string old = "old contents, longer than the new text\r\n";
    const std::string cases[][6] = {
        {MACHINE, "console", "", "0", LISTING, ""},
        {MACHINE, "console", "wAKE", "0", "+++Wake\nOn\n*Off\n\n", ""},
        {MACHINE, "console", "Wak", "7", NOT_FOUND + "wak, pleae check\n", ""},
        {"", "console", "", "7", NOT_FOUND + ", pleae check\n", ""},
        {SHARED_CODE, "console", "", "0", "+++Alpha\n*On\n\n+++Zeta\n*On\n\n", ""},
        {MACHINE, "none", "", "0", "",
         "+++Boot\r\n*UEFI\r\n\r\n+++Wake\r\nOn\r\n*Off\r\n\r\n+++Tag\r\n\r\n+++Fan\r\nLow\r\n*"
         "Hi\r\n\r\n"},
        {MACHINE, "file", "wake", "0", "", "+++Wake\r\nOn\r\n*Off\r\n\r\n"},
        {MACHINE, "file", "none", "7", NOT_FOUND + "none, pleae check\n", old},
        {MACHINE, "directory", "", "12", "can't write the output file out.txt\n", "(directory)"},
    };
    for (const auto& [machine, existing, item, result, output, contents] : cases) {
        fs::remove_all(directory);
        fs::create_directories(directory);
        const tool_fixture::ScopedWorkingDirectory inside(directory);
        if (existing == "file") std::ofstream("out.txt", std::ios::binary) << old;
        if (existing == "directory") fs::create_directory("out.txt");
        const Session run = Export(LoadCatalogueOf(machine), existing != "console", item);
        EXPECT_EQ(std::to_string(run.result), result) << item;
        EXPECT_EQ(run.output, output) << item;
        std::ifstream in("out.txt", std::ios::binary);
        EXPECT_EQ(fs::is_directory("out.txt") ? "(directory)"
                                              : std::string(std::istreambuf_iterator<char>(in), {}),
                  contents);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), contents.empty() ? 0 : 1)
            << "a temporary file was left behind";
    }
}

}  // namespace

}  // namespace velorin::tool::testing
