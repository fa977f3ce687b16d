#include <gtest/gtest.h>

#include <set>

#include "sim_test_support.h"

namespace velorin::sim::testing {
namespace {

constexpr char kMachine[] = R"(
revision 7
supervisor-password "admin"
item 0x0100 "Boot Mode" current 1
  option "UEFI"
  option "Legacy" readonly
  option "Odd" retcode=9
item 0x0101 "Wake On LAN" current 2
  option "Enabled"
  option "Disabled"
item 0x0200 "Asset Tag" current 0
  value "A-1042"
item 0x0100 "Shadowed Twin" current 2
  option "X"
)";

struct Expected {
    uint32_t retCode;
    Text itemCode;
    Text data;
};

void ExpectAnswer(const Params& out, const Expected& e, const std::string& what) {
    EXPECT_EQ(RetCode(out), e.retCode) << what;
    EXPECT_EQ(ItemCode(out), e.itemCode) << what;
    EXPECT_EQ(Data(out), e.data) << what;
}

TEST(SimProvider, EnumSettingCountsAndListsItemsInFileOrder) {
    std::unique_ptr<Machine> m = MustParse(kMachine);
    const std::pair<uint32_t, Expected> cases[] = {
        {0xFFFF, {0, u"4", u""}}, {0, {0, u"0100", u"1"}}, {1, {0, u"0101", u"2"}},
        {2, {0, u"0200", u"0"}},  {3, {0, u"0100", u"2"}}, {4, {1, u"", u""}},
        {0xFFFE, {1, u"", u""}},
    };
    for (const auto& [index, expected] : cases) {
        ExpectAnswer(EnumSetting(*m, index), expected, "index " + std::to_string(index));
    }
}

TEST(SimProvider, GetStringReadsNamesOptionsAndTheEndOfTheList) {
    std::unique_ptr<Machine> m = MustParse(kMachine);
    struct Case {
        uint32_t code;
        Text index;
        Expected expected;
    };
    const Case cases[] = {
        {0x0100, u"0", {0, u"0100", u"Boot Mode"}},  // the first item of a shared code answers
        {0x0100, u"1", {0, u"0100", u"UEFI"}},
        {0x0100, u"2", {7, u"0100", u"Legacy"}},
        {0x0100, u"3", {9, u"0100", u"Odd"}},
        {0x0100, u"4", {14, u"0100", u"Odd"}},
        {0x0100, u"0010", {14, u"0100", u"Odd"}},
        {0x0100, u"", {14, u"0100", u""}},
        {0x0101, u":", {14, u"0101", u"Disabled"}},  // one unit above '0' counts from '0'
        {0x0101, u"02", {0, u"0101", u"Disabled"}},
        {0x0200, u"", {14, u"0200", u"A-1042"}},
        {0x0200, u"1", {14, u"0200", u""}},
        {0x0100, u"/", {1, u"", u""}},
        {0x0100, u"1a", {1, u"", u""}},
        {0x0999, u"0", {1, u"", u""}},
    };
    for (const Case& c : cases) {
        ExpectAnswer(GetString(*m, c.code, c.index), c.expected, std::to_string(c.code));
    }
}

struct Step {
    const char* method;  // "Set", "SetPassword" or "Enum" (EnumSetting of `code` as an index)
    uint32_t code;
    Text text;
    uint32_t retCode;
    Text data;  // checked when not empty
};

void RunSteps(Machine& m, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        std::string method = s.method;
        Params out = method == "Set"           ? Set(m, s.code, s.text)
                     : method == "SetPassword" ? SetPassword(m, s.text)
                                               : EnumSetting(m, s.code);
        EXPECT_EQ(RetCode(out), s.retCode) << "step " << i << " " << method;
        if (!s.data.empty()) {
            EXPECT_EQ(Data(out), s.data) << "step " << i;
        }
    }
}

TEST(SimProvider, SetNeedsTheSupervisorPasswordAndAValidOption) {
    std::unique_ptr<Machine> m = MustParse(kMachine);
    RunSteps(*m, {
                     {"Set", 0x0101, u"1", 2, u"1"},  // not authorised yet
                     {"SetPassword", 0, u"wrong", 2, u""},
                     {"Set", 0x0101, u"1", 2, u""},
                     {"SetPassword", 0, u"admin", 0, u""},
                     {"Set", 0x0101, u"1", 0, u"1"},
                     {"Enum", 1, u"", 0, u"1"},  // the session sees its pending change
                     {"Set", 0x0100, u"2", 7, u""},
                     {"Set", 0x0100, u"4", 1, u""},
                     {"Set", 0x0100, u"0", 1, u""},
                     {"Set", 0x0100, u"x", 1, u""},
                     {"Set", 0x0100, u"", 1, u""},
                     {"Set", 0x0999, u"1", 1, u""},
                     {"Set", 0x3000, u"123456789012345678901", 11, u""},
                     {"Set", 0x3000, u"12345678901234567890", 0, u""},
                     {"SetPassword", 0, u"admin", 2, u""},
                     {"SetPassword", 0, u"12345678901234567890", 0, u""},
                 });
    EXPECT_EQ(ItemCode(Set(*m, 0x0101, u"2")), u"0101");
}

TEST(SimProvider, WithoutSupervisorPasswordOnlyItCanBeSet) {
    std::unique_ptr<Machine> m = MustParse("item 0x0101 \"Wake\" current 1\n option \"a\"\n");
    RunSteps(*m, {
                     {"Set", 0x3000, u"new", 2, u""},
                     {"SetPassword", 0, u"", 0, u""},  // an empty password matches none set
                     {"Set", 0x0101, u"1", 10, u""},
                     {"Set", 0x3001, u"user", 10, u""},
                     {"Set", 0x3000, u"new", 0, u""},
                     {"Set", 0x3001, u"user", 0, u""},
                     {"Set", 0x0101, u"1", 0, u""},
                     {"Set", 0x3000, u"", 0, u""},  // removed again
                     {"Set", 0x0101, u"1", 10, u""},
                 });
}

TEST(SimProvider, MissingOrMistypedParametersAreGarbage) {
    std::unique_ptr<Machine> m = MustParse(kMachine);
    const std::pair<const char*, Params> cases[] = {
        {"Set", {{"inItemCode", Value::OfNumber(0x0101)}}},
        {"Set", {{"inItemCode", Value::OfText(u"0101")}, {"inSetData", Value::OfText(u"1")}}},
        {"GetString", {{"inItemCode", Value::OfNumber(0x0100)}, {"inIndex", Value::OfNumber(0)}}},
        {"EnumSetting", {{"inIndex", Value::OfText(u"0")}}},
        {"SetPassword", {}},
    };
    for (const auto& [method, in] : cases) EXPECT_EQ(RetCode(m->Execute(method, in)), 1u) << method;
}

TEST(SimProvider, RevisionAndRawRequest) {
    std::unique_ptr<Machine> m = MustParse(kMachine);
    EXPECT_EQ(m->Execute("GetRevision", {}).at("Revision").number, 7u);
    std::vector<uint8_t> request(21);
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i + 1);
    Params out = m->Execute("GetRevision", {{"inData", Value::OfBytes(request)}});
    ASSERT_EQ(out.count("Revision"), 0u);
    std::vector<uint8_t> answer = out.at("outData").bytes;
    ASSERT_EQ(answer.size(), 21u);
    EXPECT_EQ(answer[4], 0xAA);
    EXPECT_TRUE(std::equal(request.begin() + 5, request.end(), answer.begin() + 5));
}

TEST(SimProvider, RawRequestSpawnsItsInParametersFromGetRevision) {
    std::unique_ptr<Machine> m = MustParse("");
    EXPECT_EQ(m->InParameters("GetRevision"), std::vector<std::string>{"inData"});
    EXPECT_EQ(m->InParameters("GetString"), (std::vector<std::string>{"inItemCode", "inIndex"}));
    EXPECT_TRUE(m->HasMethod("LoadDefault") && m->InParameters("Save").empty());
    EXPECT_FALSE(m->HasMethod("Reboot") || m->HasMethod("getstring"));
}

TEST(SimProvider, SampleMachineShowsEveryKindOfItem) {
    std::unique_ptr<Machine> m = Machine::Sample("");
    ASSERT_TRUE(m->Installed());
    uint32_t count = HexValue(ItemCode(EnumSetting(*m, 0xFFFF)));
    std::set<Text> codes;
    bool readonly = false, currentReadonly = false, valueOnly = false, longList = false;
    bool accented = false;
    for (uint32_t i = 0; i < count; ++i) {
        Params item = EnumSetting(*m, i);
        EXPECT_TRUE(codes.insert(ItemCode(item)).second) << "duplicate code";
        uint32_t code = HexValue(ItemCode(item));
        uint32_t options = 0;
        for (Params option;
             RetCode(option = GetString(*m, code, Text(1, char16_t(u'1' + options)))) != 14;) {
            ++options;
            readonly |= RetCode(option) == 7;
            currentReadonly |= RetCode(option) == 7 && Data(item)[0] == u'0' + options;
            for (char16_t unit : Data(option)) accented |= unit > 0x7F;
        }
        valueOnly |= options == 0 && !Data(GetString(*m, code, u"")).empty();
        longList |= options >= 10;
    }
    EXPECT_GE(count, 24u);
    EXPECT_TRUE(codes.count(u"3000") && codes.count(u"3001"));
    EXPECT_TRUE(readonly && currentReadonly && valueOnly && longList && accented);
    EXPECT_EQ(RetCode(SetPassword(*m, u"")), 0u);  // no supervisor password at the factory
    EXPECT_EQ(RetCode(Set(*m, 0x0101, u"2")), 10u);
}

}  // namespace
}  // namespace velorin::sim::testing
