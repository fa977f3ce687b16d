// The platform stand-in linked alone, without the simulated machine: its COM runtime creates
// only what the hooks installed from above offer, and every call meets their gate.
#include <windows.h>
#include <wbemidl.h>

#include <stand_in_com.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

int createdObject;
std::vector<std::string> gatedCalls;

HRESULT CreateMarker(REFIID, void** object) {
    *object = &createdObject;
    return S_OK;
}

HRESULT RefuseCoCreateInstance(const char* call, HRESULT (*body)(void*), void* context) {
    gatedCalls.emplace_back(call);
    return std::string(call) == "CoCreateInstance" ? E_FAIL : body(context);
}

HRESULT AnyProxy(IUnknown*) { return S_OK; }

const StandInClass markerClass[] = {{CLSID_WbemLocator, &CreateMarker}};

class StandInAlone : public ::testing::Test {
  protected:
    void TearDown() override {
        SetStandInComHooks(StandInComHooks());
        gatedCalls.clear();
    }

    // Runs `body` on a fresh thread inside an apartment of its own.
    template <typename Body>
    static void InApartment(Body body) {
        std::thread thread([&] {
            ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
            body();
            CoUninitialize();
        });
        thread.join();
    }

    static HRESULT CreateLocator(void** object) {
        return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                object);
    }
};

TEST_F(StandInAlone, WithoutHooksNoClassAndNoProxyIsKnown) {
    InApartment([] {
        void* object = &createdObject;
        EXPECT_EQ(CreateLocator(&object), REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
        IUnknown* notAProxy = nullptr;
        EXPECT_EQ(CoSetProxyBlanket(notAProxy, 0, 0, nullptr, 0, 0, nullptr, 0), E_NOINTERFACE);
    });
}

TEST_F(StandInAlone, InstalledHooksCreateTheirClassesBehindTheGate) {
    StandInComHooks hooks;
    hooks.classes = markerClass;
    hooks.classCount = 1;
    hooks.proxyBlanket = &AnyProxy;
    SetStandInComHooks(hooks);
    InApartment([] {
        void* object = nullptr;
        EXPECT_EQ(CreateLocator(&object), S_OK);
        EXPECT_EQ(object, &createdObject);
        EXPECT_EQ(CoSetProxyBlanket(nullptr, 0, 0, nullptr, 0, 0, nullptr, 0), S_OK);
    });

    hooks.gate = &RefuseCoCreateInstance;
    SetStandInComHooks(hooks);
    InApartment([] {
        void* object = nullptr;
        EXPECT_EQ(CreateLocator(&object), E_FAIL);
        EXPECT_EQ(object, nullptr);
    });
    EXPECT_EQ(gatedCalls, (std::vector<std::string>{"CoInitializeEx", "CoCreateInstance"}));
}

}  // namespace
