// The six provider operations: a simulated machine's answers, each failure line, the retry
// rule, bounded text copies, and (through fakes) the VARIANT types put and read.
#include "bios/wtolq_core.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

using bios_test::CaptureOutput;
using bios_test::FakeClassObject;
using bios_test::FakeServices;

const std::string kMachine =
    "revision 7\nsupervisor-password \"admin\"\n"
    "item 0x0100 \"Boot Mode\" current 1\n  option \"UEFI\"\n  option \"Legacy\" readonly\n"
    "item 0x0200 \"Asset Tag\" current 0\n  value \"A-1042\"\n";

struct Outputs {
    uint16_t number = 0x5555;
    wchar_t a10[10] = L"old";
    wchar_t b10[10] = L"old";
    wchar_t t30[30] = L"old";
    wchar_t t51[51] = L"old";
};

int Run(WTolqCore& core, const std::string& method, Outputs& o) {
    if (method == "GetRevision") return core.GetRevision(o.number);
    if (method == "Set") return core.Set(0x0100, L"1", o.number, o.a10, o.b10);
    if (method == "Save") return core.Save(o.number);
    if (method == "SetPassword") return core.SetPassword(L"admin", o.number);
    if (method == "EnumSetting") return core.EnumSetting(1, o.number, o.a10, o.t30);
    return core.GetString(0x0100, L"0", o.number, o.t30, o.t51);
}

const char* const kMethods[] = {"GetRevision", "Set",         "Save",
                                "SetPassword", "EnumSetting", "GetString"};

// Connects to kMachine with `rules` added, runs `method` and returns what it printed.
std::string RunOn(const std::string& rules, const std::string& method, int& result, Outputs& o) {
    bios_test::UseMachine(kMachine + rules);
    WTolqCore core;
    CaptureOutput([&] { core.Init(); });
    return CaptureOutput([&] { result = Run(core, method, o); });
}

// "result:number:text", read after the call has filled the outputs.
std::wstring Said(int result, const Outputs& o, const wchar_t* text = L"") {
    return std::to_wstring(result) + L":" + std::to_wstring(o.number) + L":" + text;
}

TEST(BiosProviderMethods, HealthyMachineAnswersEveryOperation) {
    bios_test::UseMachine(kMachine);
    WTolqCore core;
    Outputs o;
    const std::string printed = CaptureOutput([&] {
        ASSERT_EQ(core.Init(), 1);
        EXPECT_EQ(Said(core.GetRevision(o.number), o), L"1:7:");
        // 0xFFFF asks for the item count; any other index beyond the items gets RetCode 1.
        EXPECT_EQ(Said(core.EnumSetting(0xFFFF, o.number, o.a10, o.t30), o, o.a10), L"1:0:2");
        EXPECT_EQ(Said(core.EnumSetting(0, o.number, o.a10, o.t30), o, o.a10), L"1:0:0100");
        EXPECT_EQ(std::wstring(o.t30), L"1");
        EXPECT_EQ(Said(core.GetString(0x0100, L"2", o.number, o.t30, o.t51), o, o.t51),
                  L"1:7:Legacy");
        EXPECT_EQ(Said(core.SetPassword(L"admin", o.number), o), L"1:0:");
        EXPECT_EQ(Said(core.Set(0x0100, L"2", o.number, o.a10, o.b10), o), L"1:7:");
        EXPECT_EQ(Said(core.Save(o.number), o), L"1:0:");
    });
    EXPECT_EQ(printed, "");
}

TEST(BiosProviderMethods, FailedAttemptsAreRetriedUpToThreeTimes) {
    const char* const subfuncs[] = {"GetRevision",   "Set()",         "Set()",
                                    "Setpassword()", "EnumSetting()", "Set()"};
    for (size_t m = 0; m < std::size(kMethods); ++m) {
        for (int failures : {1, 2, 3}) {
            SCOPED_TRACE(std::string(kMethods[m]) + " x" + std::to_string(failures));
            int result = -1;
            Outputs o;
            const std::string printed =
                RunOn(std::string("fault ExecMethod \"") + kMethods[m] +
                          "\" hr=0x80041001 times=" + std::to_string(failures),
                      kMethods[m], result, o);
            std::string expected;
            for (int i = 0; i < failures; ++i) {
                expected += std::string("ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=") +
                            subfuncs[m] + ", hr=80041001\n";
            }
            EXPECT_EQ(printed, expected);
            EXPECT_EQ(result, failures < 3 ? 1 : 0);
        }
    }
}

TEST(BiosProviderMethods, AccessDeniedIsNotRetried) {
    for (const char* method : kMethods) {
        SCOPED_TRACE(method);
        int result = -1;
        Outputs o;
        // Only the first attempt is refused: a second one would succeed.
        EXPECT_EQ(RunOn(std::string("fault ExecMethod \"") + method + "\" hr=0x80041003 times=1",
                        method, result, o),
                  "ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=80041003\n");
        EXPECT_EQ(result, 0);
    }
}

TEST(BiosProviderMethods, EachParameterFailureHasItsOwnLine) {
    struct Row {
        const char* fault;
        const char* method;
        const char* line;
    };
    const Row rows[] = {
        {"SpawnInstance \"Set\"", "Set", "SpawnInstance() - InParam"},
        {"SpawnInstance \"GetString\"", "GetString", "SpawnInstance() - InParam"},
        {"Put \"Set.inItemCode\"", "Set", "Put() - InParam 'inItemCode'"},
        {"Put \"Set.inSetData\"", "Set", "Put() - InParam 'inSetData'"},
        {"Put \"SetPassword.Password\"", "SetPassword", "Put() - InParam 'Password'"},
        {"Put \"EnumSetting.inIndex\"", "EnumSetting", "Put() - InParam 'inIndex'"},
        {"Put \"GetString.inItemCode\"", "GetString", "Put() - InParam 'inItemCode'"},
        {"Put \"GetString.inIndex\"", "GetString", "Put() - InParam 'inIndex'"},
        {"Get \"GetRevision.Revision\"", "GetRevision", "Get() - OutParam 'outData'"},
        {"Get \"Save.RetCode\"", "Save", "Save() - OutParam 'RetCode'"},
        {"Get \"Set.RetCode\"", "Set", "Set() - OutParam 'RetCode'"},
        {"Get \"Set.ItemCode\"", "Set", "Set() - OutParam 'ItemCode'"},
        {"Get \"Set.Data\"", "Set", "Set() - OutParam 'Data'"},
        {"Get \"SetPassword.RetCode\"", "SetPassword", "Set() - OutParam 'RetCode'"},
        {"Get \"EnumSetting.ItemCode\"", "EnumSetting", "Set() - OutParam 'ItemCode'"},
        {"Get \"GetString.Data\"", "GetString", "Set() - OutParam 'Data'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        int result = -1;
        Outputs o;
        EXPECT_EQ(
            RunOn(std::string("fault ") + row.fault + " hr=0x80041001", row.method, result, o),
            std::string("ERROR:: WTOLQ Call:: WTOLQ ") + row.line + ", hr=80041001\n");
        EXPECT_EQ(result, 0);
    }
}

TEST(BiosProviderMethods, FailedOutParameterKeepsTheValuesReadBeforeIt) {
    int result = -1;
    Outputs o;
    RunOn("fault Get \"EnumSetting.Data\" hr=0x80041001", "EnumSetting", result, o);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(o.number, 0);
    EXPECT_EQ(std::wstring(o.a10), L"0200");
    EXPECT_EQ(std::wstring(o.t30), L"old");
}

TEST(BiosProviderMethods, MethodMissingFromTheClassFailsSilently) {
    for (const char* method : {"Set", "SetPassword", "EnumSetting", "GetString"}) {
        int result = -1;
        Outputs o;
        EXPECT_EQ(RunOn(std::string("fault GetMethod \"") + method + "\" hr=0x80041002", method,
                        result, o),
                  "");
        EXPECT_EQ(result, 0) << method;
    }
}

TEST(BiosProviderMethods, LongTextAnswersAreCutToTheBuffer) {
    const auto text = [](char c, size_t n) { return "\"" + std::string(n, c) + "\""; };
    bios_test::UseMachine(
        kMachine + "answer GetString index=\"0\" data=" + text('N', 60) +
        " itemcode=" + text('I', 40) + "\nanswer GetString data=" + text('O', 30) +
        "\nanswer Set itemcode=" + text('C', 15) + " data=" + text('D', 15) +
        "\nanswer EnumSetting itemcode=" + text('E', 15) + " data=" + text('F', 40) + "\n");
    WTolqCore core;
    ASSERT_EQ(core.Init(), 1);
    Outputs o;
    ASSERT_EQ(core.GetString(0x0100, L"0", o.number, o.t30, o.t51), 1);
    EXPECT_EQ(std::wstring(o.t51), std::wstring(50, L'N'));
    EXPECT_EQ(std::wstring(o.t30), std::wstring(29, L'I'));
    for (const wchar_t* index : {L"1", L"10", L""}) {
        std::wmemset(o.t51, L'#', 51);
        ASSERT_EQ(core.GetString(0x0100, index, o.number, o.t30, o.t51), 1);
        EXPECT_EQ(std::wstring(o.t51), std::wstring(20, L'O'));
        EXPECT_EQ(o.t51[21], L'#');  // nothing written past the 21-unit limit
    }
    ASSERT_EQ(core.Set(0x0100, L"1", o.number, o.a10, o.b10), 1);
    EXPECT_EQ(std::wstring(o.a10) + o.b10, std::wstring(9, L'C') + std::wstring(9, L'D'));
    ASSERT_EQ(core.EnumSetting(0, o.number, o.a10, o.t30), 1);
    EXPECT_EQ(std::wstring(o.a10) + o.t30, std::wstring(9, L'E') + std::wstring(29, L'F'));
}

// ---- Through fakes: what goes into the in-parameters and how out-parameters are read.

struct FakeProvider {
    FakeClassObject signature;
    FakeClassObject inParams;
    FakeClassObject outParams;
    FakeServices services;
    WTolqCore core;

    FakeProvider() {
        signature.spawned = &inParams;
        services.outParams = &outParams;
        outParams.SetInt(L"RetCode", VT_I4, 0);
        outParams.SetText(L"ItemCode", L"");
        outParams.SetText(L"Data", L"");
        bios_test::ConnectToFakes(core, services, signature);
    }
    const VARIANT& In(const wchar_t* name) { return inParams.properties[name].get(); }
};

TEST(BiosProviderMethods, InParametersCarryTheDocumentedTypes) {
    FakeProvider p;
    Outputs o;
    ASSERT_EQ(p.core.Set(0xBEEF, L"7", o.number, o.a10, o.b10), 1);
    EXPECT_EQ(p.In(L"inItemCode").vt, VT_I4);
    EXPECT_EQ(p.In(L"inItemCode").lVal, 0xBEEF);  // zero-extended, not sign-extended
    EXPECT_EQ(p.inParams.putTypes[L"inItemCode"], CIM_UINT16);
    EXPECT_EQ(std::wstring(p.In(L"inSetData").bstrVal), L"7");
    EXPECT_EQ(p.inParams.putTypes[L"inSetData"], CIM_STRING);
    ASSERT_EQ(p.core.EnumSetting(0xFFFF, o.number, o.a10, o.t30), 1);
    EXPECT_EQ(p.In(L"inIndex").vt, VT_I4);
    EXPECT_EQ(p.In(L"inIndex").lVal, 65535);
    ASSERT_EQ(p.core.GetString(0x0100, L"12", o.number, o.t30, o.t51), 1);
    EXPECT_EQ(p.In(L"inIndex").vt, VT_BSTR);
    EXPECT_EQ(p.inParams.putTypes[L"inIndex"], CIM_STRING);
    ASSERT_EQ(p.core.SetPassword(L"secret", o.number), 1);
    EXPECT_EQ(std::wstring(p.In(L"Password").bstrVal), L"secret");
    ASSERT_EQ(p.core.Save(o.number), 1);
    EXPECT_EQ(
        p.services.execMethods,
        (std::vector<std::wstring>{L"Set", L"EnumSetting", L"GetString", L"SetPassword", L"Save"}));
    // Every in- and out-parameter object was released again.
    EXPECT_EQ(p.inParams.refs() + p.outParams.refs(), 0u);
}

TEST(BiosProviderMethods, NumericOutParametersAreTheLow16BitsOfAnyIntegerType) {
    struct Row {
        VARTYPE vt;
        uint32_t stored;
        uint16_t expected;
    };
    const Row rows[] = {
        {VT_I4, 0x00012345, 0x2345}, {VT_UI4, 0xFFFF0007, 7}, {VT_INT, 14, 14},
        {VT_UINT, 0x1000C, 12},      {VT_I2, 0xFFFF, 0xFFFF}, {VT_UI2, 0x8001, 0x8001},
        {VT_UI1, 0xFE, 0xFE},        {VT_NULL, 0x1234, 0},    {VT_EMPTY, 0x1234, 0}};
    for (const Row& row : rows) {
        FakeProvider p;
        p.outParams.SetInt(L"RetCode", row.vt, row.stored);
        uint16_t retCode = 0x5555;
        ASSERT_EQ(p.core.Save(retCode), 1);
        EXPECT_EQ(retCode, row.expected) << row.vt;
    }
}

TEST(BiosProviderMethods, TextOutParameterWithoutAStringLeavesTheBuffer) {
    FakeProvider p;
    p.outParams.SetInt(L"ItemCode", VT_NULL, 0);
    p.outParams.SetInt(L"Data", VT_I4, 0x41);
    Outputs o;
    ASSERT_EQ(p.core.EnumSetting(3, o.number, o.a10, o.t30), 1);
    EXPECT_EQ(std::wstring(o.a10) + o.t30, L"oldold");
}

}  // namespace
