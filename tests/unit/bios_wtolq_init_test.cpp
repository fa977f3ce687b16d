// Connecting to the provider on simulated machines: every failure line of Init, what a failed
// Init leaves behind, and the pairing of COM initialisation with Uninit.
#include "bios/wtolq_core.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using bios_test::CaptureOutput;
using bios_test::UseMachine;

bool EverythingReleased(const WTolqCore& core) {
    bool released = !core.locator && !core.services && !core.biosManagerClass &&
                    !core.instanceEnum && !core.className && !core.instancePath;
    for (const auto& signature : core.inSignatures) released = released && !signature;
    for (const auto& name : core.methodNames) released = released && !name;
    return released;
}

// Runs every provider operation; returns the number that succeeded.
int CallEveryOperation(WTolqCore& core) {
    uint16_t number = 0;
    wchar_t text10[10] = {};
    wchar_t text30[30] = {};
    wchar_t text51[51] = {};
    const uint8_t input[RAW_CALL_DATA_BYTES] = {};
    uint8_t output[RAW_CALL_DATA_BYTES] = {};
    return core.GetRevision(number) + core.Set(0x100, L"1", number, text10, text10) +
           core.Save(number) + core.SetPassword(L"", number) +
           core.EnumSetting(0xFFFF, number, text10, text30) +
           core.GetString(0x100, L"0", number, text30, text51) +
           core.Call(0x0001, 0x0002, input, output) + core.Reserved();
}

struct InitCase {
    const char* machine;
    int result;
    const char* output;
};

const InitCase kInitCases[] = {
    {"", 1, ""},
    {"fault CoInitializeEx hr=0x80010106", 0,
     "ERROR:: WTOLQ Init:: CoInitialize() api fail, hr=80010106\n"},
    {"fault CoInitializeSecurity hr=0x80004005", 0,
     "ERROR:: WTOLQ Init:: WTOLQ CoInitializeSecurity error, hr=80004005\n"},
    {"fault CoInitializeSecurity hr=0x80010119", 1, ""},
    {"fault CoCreateInstance hr=0x80040154", 0,
     "ERROR:: WTOLQ Init:: WTOLQ CoCreateInstance error, hr=80040154\n"},
    {"fault ConnectServer \"ROOT\\velorin\" hr=0x8004100E", 0,
     "ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=8004100E\n"},
    {"fault ConnectServer \"ROOT\\WMI\" hr=0x8004100E", 1, ""},
    {"fault CoSetProxyBlanket \"ROOT\\velorin\" hr=0x80070005", 0,
     "ERROR:: WTOLQ Init:: WTOLQ CoSetProxyBlanket error, hr=80070005\n"},
    {"fault GetObject \"BiosManager\" hr=0x80041002", 0,
     "ERROR:: WTOLQ Init:: WTOLQ driver not installed, hr=80041002\n"},
    {"fault GetObject \"BiosManager\" hr=0x80041010", 0,
     "ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=80041010\n"},
    {"fault GetMethod \"LoadDefault\" hr=0x80041002", 1,
     "ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=80041002\n"},
    {"fault ExecQuery hr=0x80041017", 0,
     "ERROR:: WTOLQ Init:: WTOLQ COM ExecQuery() - WmiAcpiMethod, hr=80041017\n"},
    {"fault Next \"BiosManager\" hr=0x80041003", 0,
     "ERROR:: WTOLQ Init:: WTOLQ No administrator permission, hr=80041003\n"},
    {"fault Next \"BiosManager\" hr=0x80041001", 0,
     "ERROR:: WTOLQ Init:: WTOLQ COM Enumerator->Next(), hr=80041001, ret=0\n"},
    {"fault Next \"BiosManager\" hr=none", 0,
     "ERROR:: WTOLQ Init:: WTOLQ COM Enumerator->Next(), hr=00000001, ret=0\n"},
    {"fault Get \"BiosManager.__PATH\" hr=0x80041001", 0,
     "ERROR:: WTOLQ Init:: WTOLQ COM Get() - '__PATH', hr=80041001\n"},
};

TEST(BiosWTolqInit, EachStepReportsItsFailureAndLeavesNothingBehind) {
    for (const InitCase& c : kInitCases) {
        SCOPED_TRACE(c.machine);
        UseMachine(std::string(c.machine) +
                   "\nitem 0x0100 \"Boot Mode\" current 1\n"
                   "  option \"UEFI\"\n");
        WTolqCore core;
        int result = -1;
        EXPECT_EQ(CaptureOutput([&] { result = core.Init(); }), c.output);
        EXPECT_EQ(result, c.result);
        if (result == 1) {
            EXPECT_TRUE(core.services && core.instanceEnum && core.instancePath);
            uint16_t revision = 0;
            EXPECT_EQ(core.GetRevision(revision), 1);
        } else {
            EXPECT_TRUE(EverythingReleased(core));
            // With no connection every operation fails at once and says nothing.
            int succeeded = -1;
            EXPECT_EQ(CaptureOutput([&] { succeeded = CallEveryOperation(core); }), "");
            EXPECT_EQ(succeeded, 0);
        }
        core.Uninit();
        EXPECT_TRUE(EverythingReleased(core));
    }
}

TEST(BiosWTolqInit, MissingMethodLeavesOnlyItsOwnSignatureEmpty) {
    UseMachine("fault GetMethod \"SetPassword\" hr=0x80041002\n");
    WTolqCore core;
    int result = 0;
    EXPECT_EQ(CaptureOutput([&] { result = core.Init(); }),
              "ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=80041002\n");
    ASSERT_EQ(result, 1);
    EXPECT_FALSE(core.inSignatures[ROW_SET_PASSWORD]);
    EXPECT_TRUE(core.inSignatures[ROW_SET]);
    EXPECT_TRUE(core.inSignatures[ROW_GET_STRING]);
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) EXPECT_TRUE(core.methodNames[row]);
    EXPECT_EQ(std::wstring(core.methodNames[ROW_LOAD_DEFAULT].get()), L"LoadDefault");
    EXPECT_EQ(std::wstring(core.className.get()), L"BiosManager");
}

// Whether this thread's COM apartment is still entered: a probe CoInitializeEx answers S_FALSE
// while it is, and is balanced at once.
bool ApartmentStillEntered() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE;
}

TEST(BiosWTolqInit, UninitBalancesOnlyTheInitialisationItMade) {
    struct Row {
        const char* machine;
        int calls;  // Uninit calls after Init; the destructor adds one more
    };
    const Row rows[] = {{"", 1},
                        {"", 3},
                        {"fault ExecQuery hr=0x80041017", 2},
                        {"fault CoInitializeEx hr=0x80010106 after=1 times=1", 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.machine);
        UseMachine(row.machine);
        // The caller's own initialisation must outlive every Uninit of the object.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            WTolqCore core;
            CaptureOutput([&] { core.Init(); });
            for (int i = 0; i < row.calls; ++i) core.Uninit();
        }
        EXPECT_TRUE(ApartmentStillEntered());
        CoUninitialize();
        EXPECT_FALSE(ApartmentStillEntered());
    }
}

TEST(BiosWTolqInit, DestructorEndsTheConnection) {
    UseMachine("");
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
        WTolqCore core;
        ASSERT_EQ(core.Init(), 1);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
    }
    CoUninitialize();
    // Had the destructor left its initialisation in place, the apartment would still be open.
    EXPECT_FALSE(ApartmentStillEntered());
}

}  // namespace
