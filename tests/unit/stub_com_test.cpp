// The COM library calls and the version resource of the platform stand-in.
#include <windows.h>
#include <wbemidl.h>

#include "com/com_handles.h"
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using velorin::ComPtr;

namespace {

using velorin::sim::testing::UseMachine;

// Apartments are per thread: a fresh thread starts without one, whatever ran before.
template <typename Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(StubCom, ApartmentIsCountedPerThreadAndKeepsItsModel) {
    UseMachine("");
    OnFreshThread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CoUninitialize();
    });
}

TEST(StubCom, SecurityNeedsComAndIsSetOncePerProcess) {
    UseMachine("");
    auto initSecurity = [] {
        return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    };
    OnFreshThread([&] { EXPECT_EQ(initSecurity(), CO_E_NOTINITIALIZED); });
    OnFreshThread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        HRESULT first = initSecurity();
        EXPECT_TRUE(first == S_OK || first == RPC_E_TOO_LATE);
        EXPECT_EQ(initSecurity(), RPC_E_TOO_LATE);
        CoUninitialize();
    });
}

TEST(StubCom, CreatesOnlyTheWbemLocator) {
    UseMachine("");
    const CLSID otherClass = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct Case {
        const CLSID* clsid;
        const IID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {&CLSID_WbemLocator, &IID_IWbemLocator, S_OK},
        {&CLSID_WbemLocator, &IID_IUnknown, S_OK},
        {&CLSID_WbemLocator, &IID_IWbemServices, E_NOINTERFACE},
        {&otherClass, &IID_IWbemLocator, REGDB_E_CLASSNOTREG},
    };
    OnFreshThread([&] {
        void* object = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWbemLocator, &object),
                  CO_E_NOTINITIALIZED);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        for (const Case& c : cases) {
            EXPECT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, *c.iid, &object),
                      c.expected);
            EXPECT_EQ(object != nullptr, c.expected == S_OK);
            ComPtr<IUnknown> created(static_cast<IUnknown*>(object));
        }
        CoUninitialize();
    });
}

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    return std::string(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

TEST(StubVersion, ModuleFileNameIsTheProgramCutLikeWindows) {
    std::string expected = ProgramPath();
    ASSERT_GT(expected.size(), 4u);
    WCHAR name[MAX_PATH * 4] = {};
    DWORD length = GetModuleFileNameW(nullptr, name, MAX_PATH * 4);
    ASSERT_EQ(length, expected.size());
    EXPECT_EQ(std::wstring(name), std::wstring(expected.begin(), expected.end()));

    WCHAR cut[5] = {L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(GetModuleFileNameW(nullptr, cut, 5), 5u);
    EXPECT_EQ(std::wstring(cut), std::wstring(expected.begin(), expected.begin() + 4));
}

TEST(StubVersion, BlockHoldsTheBuildVersionOfExistingFiles) {
    EXPECT_EQ(GetFileVersionInfoSizeW(L"/nonexistent/velorin-tool", nullptr), 0u);
    WCHAR name[MAX_PATH * 4] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, name, MAX_PATH * 4), 0u);
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeW(name, &handle);
    ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(handle, 0u);
    std::vector<DWORD> block(size / sizeof(DWORD) + 1);
    EXPECT_FALSE(GetFileVersionInfoW(name, 0, size - 1, block.data()));
    ASSERT_TRUE(GetFileVersionInfoW(name, 0, size, block.data()));

    LPVOID found = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueW(block.data(), L"\\StringFileInfo", &found, &length));
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &found, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(found);
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(HIWORD(info->dwFileVersionMS), VELORIN_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(info->dwFileVersionMS), VELORIN_VERSION_MINOR);
    EXPECT_EQ(HIWORD(info->dwFileVersionLS), VELORIN_VERSION_PATCH);
    EXPECT_EQ(LOWORD(info->dwFileVersionLS), VELORIN_VERSION_TWEAK);
    EXPECT_EQ(info->dwProductVersionMS, info->dwFileVersionMS);
}

}  // namespace
