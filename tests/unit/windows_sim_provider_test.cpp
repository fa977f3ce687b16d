// VelorinSimProvider.dll as COM sees it: which class it serves and how its class factory
// answers. The black-box suite drives the release executable through it; these are the
// answers that no machine file reaches.
#ifdef _WIN32

#include <windows.h>
#include <wbemidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace {

using ModuleOwner = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;
using GetClassObjectCall = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowCall = HRESULT(STDAPICALLTYPE*)();

template <typename Function>
Function ProcOf(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class WindowsSimProviderDll : public testing::Test {
  protected:
    ModuleOwner module_{LoadLibraryA(VELORIN_SIM_PROVIDER_DLL), &FreeLibrary};
    GetClassObjectCall getClassObject_ = nullptr;

    void SetUp() override {
        ASSERT_NE(module_.get(), nullptr) << VELORIN_SIM_PROVIDER_DLL;
        getClassObject_ = ProcOf<GetClassObjectCall>(module_.get(), "DllGetClassObject");
        ASSERT_NE(getClassObject_, nullptr);
    }
};

TEST_F(WindowsSimProviderDll, ServesTheWbemLocatorClassAndNoOther) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_WbemAdministrativeLocator, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClassObject_(CLSID_WbemLocator, IID_IWbemLocator, &object), E_NOINTERFACE);
    EXPECT_EQ(getClassObject_(CLSID_WbemLocator, IID_IClassFactory, nullptr), E_POINTER);
    // It holds the simulated machine's state for the process, so it never asks to be unloaded.
    const auto canUnloadNow = ProcOf<CanUnloadNowCall>(module_.get(), "DllCanUnloadNow");
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
}

TEST_F(WindowsSimProviderDll, FactoryMakesLocatorsOnlyAsTheLocatorOrIUnknown) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(
        getClassObject_(CLSID_WbemLocator, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
        S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IWbemServices, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    IWbemLocator* locator = nullptr;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IWbemLocator, reinterpret_cast<void**>(&locator)),
        S_OK);
    ASSERT_NE(locator, nullptr);
    EXPECT_EQ(locator->Release(), 0u);
    factory->Release();
}

}  // namespace

#endif  // _WIN32
