#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "sim_test_support.h"

namespace velorin::sim::testing {
namespace {

// Sets an environment variable, or removes it when `value` is null. Windows has no setenv, and
// there an empty value removes the variable too, which the machine reads as unset alike.
void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

struct TextCase {
    const char* written;  // the quoted text as it stands in the file
    Text decoded;
};

// Texts come back through GetString(code, "0"), which answers the item's name as parsed.
TEST(SimParser, QuotedTextsDecodeEscapesAndUtf8) {
    const TextCase cases[] = {
        {R"("plain")", u"plain"},
        {R"("a\\b")", u"a\\b"},
        {R"("say \"hi\"")", u"say \"hi\""},
        {R"("\x41\xe9\x00!")", Text(u"A\u00E9") + char16_t(0) + u"!"},
        {R"("\u20AC\uD800")", u"\u20AC\xD800"},
        {R"("ROOT\velorin")", u"ROOT\\velorin"},
        {R"("\xZZ\u12 \q")", u"\\xZZ\\u12 \\q"},
        {"\"Fran\xC3\xA7"
         "ais \xE2\x82\xAC\"",
         u"Fran\u00E7ais \u20AC"},
        {R"("# not a comment")", u"# not a comment"},
        {R"("")", u""},
    };
    for (const TextCase& c : cases) {
        std::string file = std::string("item 0x10 ") + c.written + " current 0 # trailing\n";
        std::unique_ptr<Machine> m = MustParse(file);
        EXPECT_EQ(Data(GetString(*m, 0x10, u"0")), c.decoded) << c.written;
    }
}

TEST(SimParser, ByteOrderMarkCommentsBlankLinesCrLfAndNumberForms) {
    std::unique_ptr<Machine> m = MustParse(
        "\xEF\xBB\xBF# a machine\r\n\r\n   \t\nrevision 0x0007 # seven\r\n"
        "item 4660 \"A\" current 0x2\n  option \"x\"\n  option \"y\"\n");
    EXPECT_EQ(m->Execute("GetRevision", {}).at("Revision").number, 7u);
    EXPECT_EQ(ItemCode(EnumSetting(*m, 0)), u"1234");
    EXPECT_EQ(Data(EnumSetting(*m, 0)), u"2");
}

struct ErrorCase {
    const char* text;
    const char* message;  // what follows "test.machine:"
};

TEST(SimParser, BadFilesReportFileAndLine) {
    const ErrorCase cases[] = {
        {"revision 6\nbogus 1\n", "2: unknown statement \"bogus\""},
        {"Revision 6\n", "1: unknown statement \"Revision\""},
        {"revision six\n", "1: bad number \"six\""},
        {"revision 0x100000000\n", "1: bad number \"0x100000000\""},
        {"item 0x10000 \"A\" current 0\n", "1: bad number \"0x10000\""},
        {"item 1 \"A\" current 0\n\n option \"x\" colour=red\n",
         "3: unknown key \"colour\" in option"},
        {"option \"x\"\n", "1: option before any item"},
        {"value \"x\"\n", "1: value before any item"},
        {"item 1 \"A current 0\n", "1: unterminated text"},
        {"product \"a\\\"\n", "1: unterminated text"},
        {"product \"\xF0\x9F\x98\x80\"\n", "1: character above U+FFFF in a text"},
        {"product \"\xC3(\"\n", "1: bad UTF-8 in a text"},
        {"product \"a\"b\n", "1: a blank must follow each word"},
        {"answer LoadDefault retcode=1\n", "1: no answer can be given for \"LoadDefault\""},
        {"answer Save item=1\n", "1: item= does not apply to Save"},
        {"answer Set bogus=1\n", "1: unknown key \"bogus\" in answer"},
        {"fault Next \"BiosManager\"\n", "1: a fault needs hr="},
        {"fault Frobnicate hr=0x1\n", "1: no fault can be set on \"Frobnicate\""},
        {"uuid 0011\n", "1: a uuid is 32 hexadecimal digits"},
        {"smbios-file \"no-such-table.bin\"\n",
         "1: cannot read the smbios file \"no-such-table.bin\""},
    };
    for (const ErrorCase& c : cases) {
        std::string error;
        std::unique_ptr<Machine> m = Machine::Parse(c.text, "test.machine", "", &error);
        EXPECT_FALSE(m->Installed()) << c.text;
        EXPECT_EQ(error, std::string("test.machine:") + c.message) << c.text;
    }
}

TEST(SimParser, EmptyFileGivesTheDefaults) {
    std::unique_ptr<Machine> m = MustParse("");
    EXPECT_EQ(m->Execute("GetRevision", {}).at("Revision").number, 6u);
    EXPECT_EQ(ItemCode(EnumSetting(*m, 0xFFFF)), u"0");
    SmbiosTable smbios = m->Smbios();
    EXPECT_EQ(smbios.majorVersion, 3);
    EXPECT_EQ(smbios.minorVersion, 4);
    ASSERT_TRUE(smbios.data.has_value());
}

TEST(SimParser, UnreadableMachineFileIsNotInstalled) {
    std::string path = FreshFolder("sim_parser_missing") + "/absent.machine";
    std::string error;
    EXPECT_FALSE(Machine::Load(path, &error)->Installed());
    EXPECT_EQ(error, path + ":0: cannot read the machine file");
}

// Current() loads once per process, so each case runs in a process of its own.
TEST(SimParser, CurrentReadsTheNamedFileAndReportsItsErrorsOnStderr) {
    std::string folder = FreshFolder("sim_parser_current");
    std::ofstream(folder + "/broken.machine") << "revision 6\nitem 1 \"A\" current x\n";
    auto current = [&](const char* machine) {
        SetEnvironment("VELORIN_MACHINE", machine);
        SetEnvironment("XDG_STATE_HOME", folder.c_str());
        Machine::SetCurrent(nullptr);
        Machine& m = Machine::Current();
        std::exit(&m == &Machine::Current() && m.Installed() ? 0 : 3);
    };
    std::string broken = folder + "/broken.machine";
    EXPECT_EXIT(current(broken.c_str()), ::testing::ExitedWithCode(3),
                "^velorin machine: " + broken + ":2: bad number \"x\"\n$");
    EXPECT_EXIT(current(""), ::testing::ExitedWithCode(0), "^$");  // empty counts as unset
}

TEST(SimParser, SamplePersistsUnderTheStateFolder) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/state", "/home/u", "/state/velorin/sample-machine.nvram"},
        {"", "/home/u", "/home/u/.local/state/velorin/sample-machine.nvram"},
        {nullptr, "/home/u", "/home/u/.local/state/velorin/sample-machine.nvram"},
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SetEnvironment("XDG_STATE_HOME", c.xdg);
        SetEnvironment("HOME", c.home);
        EXPECT_EQ(Machine::SampleNvramPath(), c.expected);
    }
}

}  // namespace
}  // namespace velorin::sim::testing
