#include <gtest/gtest.h>

#include <filesystem>

#include "sim_test_support.h"

namespace velorin::sim::testing {
namespace {

constexpr char kItems[] = R"(
supervisor-password "admin"
item 0x0100 "Boot Mode" current 1
  option "UEFI"
  option "Legacy"
)";

TEST(SimAnswerRules, AfterAndTimesWindowTheMatchingCalls) {
    std::unique_ptr<Machine> m = MustParse(std::string(kItems) +
                                           "answer GetString item=0x0100 index=\"0\" "
                                           "data=\"Renamed\" after=1 times=2\n");
    const Text expected[] = {u"Boot Mode", u"Renamed", u"Renamed", u"Boot Mode"};
    for (const Text& name : expected) {
        EXPECT_EQ(Data(GetString(*m, 0x0100, u"1")), u"UEFI");  // another index: not counted
        EXPECT_EQ(Data(GetString(*m, 0x0100, u"0")), name);
    }
}

TEST(SimAnswerRules, EveryMatchingRuleCountsButTheFirstApplicableWins) {
    std::unique_ptr<Machine> m =
        MustParse(std::string(kItems) +
                  "answer EnumSetting index=0xFFFF itemcode=\"1F\" times=1\n"
                  "answer EnumSetting index=0xFFFF itemcode=\"2F\" after=1 times=1\n"
                  "answer EnumSetting index=0xFFFF itemcode=\"3F\"\n");
    // The second rule counted the first call although the first rule answered it.
    for (const char16_t* count : {u"1F", u"2F", u"3F", u"3F"}) {
        EXPECT_EQ(ItemCode(EnumSetting(*m, 0xFFFF)), count);
    }
}

TEST(SimAnswerRules, OnlyTheGivenPartsAreReplaced) {
    std::unique_ptr<Machine> m = MustParse(std::string(kItems) +
                                           "answer GetString item=0x0100 retcode=7\n"
                                           "answer GetRevision revision=5\n");
    Params out = GetString(*m, 0x0100, u"2");
    EXPECT_EQ(RetCode(out), 7u);
    EXPECT_EQ(Data(out), u"Legacy");
    EXPECT_EQ(ItemCode(out), u"0100");
    EXPECT_EQ(m->Execute("GetRevision", {}).at("Revision").number, 5u);
}

TEST(SimAnswerRules, AnsweredCallsChangeNothing) {
    std::string folder = FreshFolder("sim_rules_no_effect");
    std::string nvram = folder + "/m.nvram";
    std::unique_ptr<Machine> m = MustParse(std::string(kItems) +
                                               "answer SetPassword retcode=0 times=1\n"
                                               "answer Set retcode=0 after=1 times=1\n"
                                               "answer Save retcode=12 times=1\n",
                                           nvram);
    EXPECT_EQ(RetCode(SetPassword(*m, u"admin")), 0u);  // by the rule: not authorised
    EXPECT_EQ(RetCode(Set(*m, 0x0100, u"2")), 2u);
    EXPECT_EQ(RetCode(SetPassword(*m, u"admin")), 0u);
    EXPECT_EQ(RetCode(Set(*m, 0x0100, u"2")), 0u);  // by the rule: nothing selected
    EXPECT_EQ(Data(EnumSetting(*m, 0)), u"1");
    EXPECT_EQ(RetCode(Set(*m, 0x0100, u"2")), 0u);
    EXPECT_EQ(Data(EnumSetting(*m, 0)), u"2");
    EXPECT_EQ(RetCode(m->Execute("Save", {})), 12u);
    EXPECT_FALSE(std::filesystem::exists(nvram));
    EXPECT_EQ(RetCode(m->Execute("Save", {})), 0u);
    EXPECT_TRUE(std::filesystem::exists(nvram));
}

TEST(SimAnswerRules, EachMachineCountsAfresh) {
    std::string text = std::string(kItems) + "answer Save retcode=12 times=1\n";
    for (int run = 0; run < 2; ++run) {
        std::unique_ptr<Machine> m = MustParse(text);
        EXPECT_EQ(RetCode(m->Execute("Save", {})), 12u) << run;
        EXPECT_EQ(RetCode(m->Execute("Save", {})), 0u) << run;
    }
}

struct FaultCall {
    const char* call;
    Text target;
    std::optional<uint32_t> hr;
};

struct FaultCase {
    const char* rules;
    std::vector<FaultCall> calls;  // in order
};

TEST(SimFaultRules, MatchCountAndAnswer) {
    const uint32_t kFail = 0x80041001;
    const FaultCase cases[] = {
        {"fault ExecMethod \"Set\" hr=0x80041001 times=2\n",
         {{"ExecMethod", u"GetString", {}},
          {"ExecMethod", u"Set", kFail},
          {"ExecMethod", u"Set", kFail},
          {"ExecMethod", u"Set", {}}}},
        {"fault ConnectServer \"ROOT\\velorin\" hr=0x8004100E\n",
         {{"ConnectServer", u"root\\VELORIN", 0x8004100E},
          {"ConnectServer", u"ROOT\\WMI", {}},
          {"GetObject", u"ROOT\\velorin", {}}}},
        {"fault CoCreateInstance hr=0x80004005\n",
         {{"CoCreateInstance", u"", 0x80004005}, {"CoCreateInstance", u"", 0x80004005}}},
        {"fault Get \"RetCode\" hr=0x80041001\n",
         {{"Get", u"Set.RetCode", kFail},
          {"Get", u"GetString.RetCode", kFail},
          {"Get", u"Set.Data", {}},
          {"Put", u"Set.RetCode", {}}}},
        {"fault Put \"DataBuffer.Bytes\" hr=0x80041001\n",
         {{"Put", u"databuffer.bytes", kFail}, {"Put", u"Other.Bytes", {}}}},
        {"fault Next \"BiosManager\" hr=none\n", {{"Next", u"BiosManager", 1u}}},
        {"fault Get \"GetString.Data\" hr=0x80041001 after=2\n",
         {{"Get", u"GetString.Data", {}},
          {"Get", u"GetString.RetCode", {}},
          {"Get", u"GetString.Data", {}},
          {"Get", u"GetString.Data", kFail},
          {"Get", u"GetString.Data", kFail}}},
        {"fault SpawnInstance hr=0x80041001 times=1\nfault SpawnInstance \"Set\" hr=0x2 after=1\n",
         {{"SpawnInstance", u"Set", kFail}, {"SpawnInstance", u"Set", 2u}}},
    };
    for (const FaultCase& c : cases) {
        std::unique_ptr<Machine> m = MustParse(c.rules);
        for (size_t i = 0; i < c.calls.size(); ++i) {
            const FaultCall& call = c.calls[i];
            EXPECT_EQ(m->Fault(call.call, call.target), call.hr) << c.rules << " call " << i;
        }
    }
}

}  // namespace
}  // namespace velorin::sim::testing
