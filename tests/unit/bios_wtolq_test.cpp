// WTolqCore against simulated machines: every failure line of Init, of the provider methods
// and of the raw call, the retry rule, what a failed Init leaves behind, bounded text copies,
// and the pairing of COM initialisation with Uninit.
#include "bios/wtolq_core.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

using bios_test::CaptureOutput;
using bios_test::Outputs;
using bios_test::UseMachine;

const std::string kMachine =
    "revision 7\nsupervisor-password \"admin\"\n"
    "item 0x0100 \"Boot Mode\" current 1\n  option \"UEFI\"\n  option \"Legacy\" readonly\n"
    "item 0x0200 \"Asset Tag\" current 0\n  value \"A-1042\"\n";

int Run(WTolqCore& core, const std::string& operation, Outputs& o) {
    if (operation == "GetRevision") return core.GetRevision(o.number);
    if (operation == "Set") return core.Set(0x0100, L"1", o.number, o.a10, o.b10);
    if (operation == "Save") return core.Save(o.number);
    if (operation == "SetPassword") return core.SetPassword(L"admin", o.number);
    if (operation == "EnumSetting") return core.EnumSetting(1, o.number, o.a10, o.t30);
    if (operation == "GetString") return core.GetString(0x0100, L"0", o.number, o.t30, o.text);
    return core.Call(0x1234, 0x0056, bios_test::kRawInput, o.raw);
}

const char* const kOperations[] = {"GetRevision", "Set",       "Save", "SetPassword",
                                   "EnumSetting", "GetString", "Call"};

struct Outcome {
    int result;
    std::string printed;
    std::string leftovers;  // after a failed Init: what is still held, or printed by later calls
};

std::string Leftovers(WTolqCore& core) {
    std::string left;
    if (core.locator || core.services || core.biosManagerClass || core.instanceEnum ||
        core.className || core.instancePath) {
        left += "members ";
    }
    for (int r = 0; r < METHOD_ROW_COUNT; ++r) {
        if (core.inSignatures[r] || core.methodNames[r]) left += "row " + std::to_string(r) + " ";
    }
    Outputs o;
    for (const char* operation : kOperations) {
        left += CaptureOutput([&] {
            if (Run(core, operation, o) != 0) left += operation;
        });
    }
    return left;
}

// Connects to kMachine plus `rules` and runs `operation` ("Init" for the connection itself);
// only the operation's own output is kept.
Outcome RunOn(const std::string& rules, const std::string& operation, Outputs& o) {
    UseMachine(kMachine + rules);
    WTolqCore core;
    Outcome outcome{-1, "", ""};
    outcome.printed = CaptureOutput([&] { outcome.result = core.Init(); });
    if (operation == "Init" && outcome.result == 0) outcome.leftovers = Leftovers(core);
    if (operation != "Init") {
        outcome.printed = CaptureOutput([&] { outcome.result = Run(core, operation, o); });
    }
    return outcome;
}

struct FaultRow {
    const char* operation;
    int result;
    const char* fault;
    const char* line;  // without the "ERROR:: WTOLQ Init:: " or "ERROR:: WTOLQ Call:: " prefix
};

const FaultRow kFaultRows[] = {
    {"Init", 1, "", ""},
    {"Init", 0, "CoInitializeEx hr=0x80010106", "CoInitialize() api fail, hr=80010106"},
    {"Init", 0, "CoInitializeSecurity hr=0x80004005",
     "WTOLQ CoInitializeSecurity error, hr=80004005"},
    {"Init", 1, "CoInitializeSecurity hr=0x80010119", ""},
    {"Init", 0, "CoCreateInstance hr=0x80040154", "WTOLQ CoCreateInstance error, hr=80040154"},
    {"Init", 0, "ConnectServer \"ROOT\\velorin\" hr=0x8004100E",
     "WTOLQ ConnectServer error, hr=8004100E"},
    {"Init", 1, "ConnectServer \"ROOT\\WMI\" hr=0x8004100E", ""},
    {"Init", 0, "CoSetProxyBlanket \"ROOT\\velorin\" hr=0x80070005",
     "WTOLQ CoSetProxyBlanket error, hr=80070005"},
    {"Init", 0, "GetObject \"BiosManager\" hr=0x80041002",
     "WTOLQ driver not installed, hr=80041002"},
    {"Init", 0, "GetObject \"BiosManager\" hr=0x80041010",
     "WTOLQ COM GetObject(Class), hr=80041010"},
    {"Init", 1, "GetMethod \"LoadDefault\" hr=0x80041002",
     "WTOLQ COM GetObject(Class), hr=80041002"},
    {"Init", 0, "ExecQuery hr=0x80041017", "WTOLQ COM ExecQuery() - WmiAcpiMethod, hr=80041017"},
    {"Init", 0, "Next \"BiosManager\" hr=0x80041003",
     "WTOLQ No administrator permission, hr=80041003"},
    {"Init", 0, "Next \"BiosManager\" hr=0x80041001",
     "WTOLQ COM Enumerator->Next(), hr=80041001, ret=0"},
    {"Init", 0, "Next \"BiosManager\" hr=none", "WTOLQ COM Enumerator->Next(), hr=00000001, ret=0"},
    {"Init", 0, "Get \"BiosManager.__PATH\" hr=0x80041001",
     "WTOLQ COM Get() - '__PATH', hr=80041001"},
    // A method the class lacks fails without a line of its own; the others still work.
    {"Set", 0, "GetMethod \"Set\" hr=0x80041002", ""},
    {"Call", 0, "GetMethod \"GetRevision\" hr=0x80041002", ""},
    {"GetString", 1, "GetMethod \"Set\" hr=0x80041002", ""},
    {"Set", 0, "SpawnInstance \"Set\" hr=0x80041001",
     "WTOLQ SpawnInstance() - InParam, hr=80041001"},
    {"Set", 0, "Put \"Set.inItemCode\" hr=0x80041001",
     "WTOLQ Put() - InParam 'inItemCode', hr=80041001"},
    {"Set", 0, "Put \"Set.inSetData\" hr=0x80041001",
     "WTOLQ Put() - InParam 'inSetData', hr=80041001"},
    {"SetPassword", 0, "Put \"SetPassword.Password\" hr=0x80041001",
     "WTOLQ Put() - InParam 'Password', hr=80041001"},
    {"EnumSetting", 0, "Put \"EnumSetting.inIndex\" hr=0x80041001",
     "WTOLQ Put() - InParam 'inIndex', hr=80041001"},
    {"GetRevision", 0, "Get \"GetRevision.Revision\" hr=0x80041001",
     "WTOLQ Get() - OutParam 'outData', hr=80041001"},
    {"Save", 0, "Get \"Save.RetCode\" hr=0x80041001",
     "WTOLQ Save() - OutParam 'RetCode', hr=80041001"},
    {"Set", 0, "Get \"Set.RetCode\" hr=0x80041001",
     "WTOLQ Set() - OutParam 'RetCode', hr=80041001"},
    {"Set", 0, "Get \"Set.ItemCode\" hr=0x80041001",
     "WTOLQ Set() - OutParam 'ItemCode', hr=80041001"},
    {"GetString", 0, "Get \"GetString.Data\" hr=0x80041001",
     "WTOLQ Set() - OutParam 'Data', hr=80041001"},
    // The raw call's lines have no line end.
    {"Call", 0, "GetObject \"DataBuffer\" hr=0x800401F0",
     "WTOLQ No CoInitialize() called, hr=800401F0"},
    {"Call", 0, "GetObject \"DataBuffer\" hr=0x80041002",
     "WTOLQ GetObject() - DataBuffer, hr=80041002"},
    {"Call", 0, "SpawnInstance \"DataBuffer\" hr=0x80041001",
     "WTOLQ SpawnInstance() - DataBuffer, hr=80041001"},
    {"Call", 0, "Put \"DataBuffer.Bytes\" hr=0x80041005",
     "WTOLQ Put() - DataBuffer 'Bytes', hr=80041005"},
    {"Call", 0, "SpawnInstance \"GetRevision\" hr=0x80041001",
     "WTOLQ SpawnInstance() - InParam, hr=80041001"},
    {"Call", 0, "Put \"GetRevision.inData\" hr=0x80041005",
     "WTOLQ Put() - InParam 'inData', hr=80041005"},
    {"Call", 0, "Get \"GetRevision.outData\" hr=0x80041001",
     "WTOLQ Get() - OutParam 'outData', hr=80041001"},
    {"Call", 0, "Get \"DataBuffer.Bytes\" hr=0x80041001",
     "WTOLQ Get() - Result 'Bytes', hr=80041001"},
};

TEST(BiosWTolq, EachFailurePrintsItsOwnLine) {
    for (const FaultRow& row : kFaultRows) {
        SCOPED_TRACE(std::string(row.operation) + " / " + row.fault);
        Outputs o;
        const Outcome outcome =
            RunOn(*row.fault ? std::string("fault ") + row.fault : "", row.operation, o);
        const std::string operation = row.operation;
        const std::string expected =
            std::string(operation == "Init" ? "ERROR:: WTOLQ Init:: " : "ERROR:: WTOLQ Call:: ") +
            row.line + (operation == "Call" ? "" : "\n");
        EXPECT_EQ(outcome.printed, *row.line == '\0' ? "" : expected);
        EXPECT_EQ(outcome.result, row.result);
        EXPECT_EQ(outcome.leftovers, "");
    }
}

TEST(BiosWTolq, FailedAttemptsAreRetriedUpToThreeTimesButAccessDeniedIsNot) {
    const char* const subfuncs[] = {"GetRevision",   "Set()", "Set()", "Setpassword()",
                                    "EnumSetting()", "Set()", "56h"};
    for (size_t m = 0; m < std::size(kOperations); ++m) {
        const bool isCall = m + 1 == std::size(kOperations);
        const std::string method = isCall ? "GetRevision" : kOperations[m];
        const std::string lineEnd = isCall ? "" : "\n";
        for (int failures : {1, 2, 3}) {
            SCOPED_TRACE(std::string(kOperations[m]) + " x" + std::to_string(failures));
            Outputs o;
            const Outcome outcome = RunOn("fault ExecMethod \"" + method +
                                              "\" hr=0x80041001 times=" + std::to_string(failures),
                                          kOperations[m], o);
            std::string expected;
            for (int i = 0; i < failures; ++i) {
                expected += std::string("ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=") +
                            subfuncs[m] + ", hr=80041001" + lineEnd;
            }
            EXPECT_EQ(outcome.printed, expected);
            EXPECT_EQ(outcome.result, failures < 3 ? 1 : 0);
        }
        // Only the first attempt is refused: a second one would succeed.
        Outputs o;
        const Outcome denied =
            RunOn("fault ExecMethod \"" + method + "\" hr=0x80041003 times=1", kOperations[m], o);
        EXPECT_EQ(denied.printed,
                  "ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=80041003" + lineEnd);
        EXPECT_EQ(denied.result, 0);
    }
}

// The request goes out in a DataBuffer and the answer's Bytes come back through outData; the
// machine echoes the request after the completion flag, so the output is the input.
TEST(BiosWTolq, RawCallReturnsTheAnswerAfterTheFlag) {
    Outputs o;
    const Outcome outcome = RunOn("", "Call", o);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.printed, "");
    EXPECT_TRUE(std::equal(std::begin(o.raw), std::end(o.raw), bios_test::kRawInput));
}

TEST(BiosWTolq, FailedOutParameterKeepsTheValuesReadBeforeIt) {
    Outputs o;
    EXPECT_EQ(RunOn("fault Get \"EnumSetting.Data\" hr=0x80041001", "EnumSetting", o).result, 0);
    EXPECT_EQ(o.number, 0);
    EXPECT_EQ(std::wstring(o.a10) + L"," + o.t30, L"0200,old");
}

// Names, options and current values alike are whole up to 1,000 units and cut there.
TEST(BiosWTolq, LongTextAnswersAreCutToTheBuffer) {
    const auto text = [](char c, size_t n) { return "\"" + std::string(n, c) + "\""; };
    UseMachine(kMachine + "answer GetString index=\"0\" data=" + text('N', 1000) +
               " itemcode=" + text('I', 40) + "\nanswer GetString data=" + text('O', 1200) +
               "\nanswer Set itemcode=" + text('C', 15) + " data=" + text('D', 15));
    WTolqCore core;
    ASSERT_EQ(core.Init(), 1);
    Outputs o;
    ASSERT_EQ(core.GetString(0x0100, L"0", o.number, o.t30, o.text), 1);
    EXPECT_EQ(std::wstring(o.text), std::wstring(1000, L'N'));
    EXPECT_EQ(std::wstring(o.t30), std::wstring(29, L'I'));
    for (const wchar_t* index : {L"1", L"10", L""}) {
        std::wmemset(o.text, L'#', GET_STRING_DATA_UNITS);
        ASSERT_EQ(core.GetString(0x0100, index, o.number, o.t30, o.text), 1);
        EXPECT_EQ(std::wstring(o.text), std::wstring(GET_STRING_DATA_UNITS - 1, L'O'));
    }
    ASSERT_EQ(core.Set(0x0100, L"1", o.number, o.a10, o.b10), 1);
    EXPECT_EQ(std::wstring(o.a10) + o.b10, std::wstring(9, L'C') + std::wstring(9, L'D'));
}

// Whether this thread's COM apartment is still entered: a probe CoInitializeEx answers S_FALSE
// while it is, and is balanced at once.
bool ApartmentStillEntered() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE;
}

TEST(BiosWTolq, UninitBalancesOnlyTheInitialisationItMade) {
    // Each rule with the number of Uninit calls after Init; the destructor adds one more.
    const std::pair<const char*, int> rows[] = {
        {"", 0},
        {"", 1},
        {"", 3},
        {"fault ExecQuery hr=0x80041017", 2},
        {"fault CoInitializeEx hr=0x80010106 after=1 times=1", 2}};
    for (const auto& [rule, calls] : rows) {
        SCOPED_TRACE(rule);
        UseMachine(rule);
        // The caller's own initialisation must outlive every Uninit of the object.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            WTolqCore core;
            CaptureOutput([&] { core.Init(); });
            for (int i = 0; i < calls; ++i) core.Uninit();
        }
        EXPECT_TRUE(ApartmentStillEntered());
        CoUninitialize();
        EXPECT_FALSE(ApartmentStillEntered());
    }
}

}  // namespace

}  // namespace velorin::tool::testing
