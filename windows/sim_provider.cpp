// VelorinSimProvider.dll: the simulated machine's WMI locator as an in-process COM server.
// Registered as the InprocServer32 of CLSID_WbemLocator in a Wine prefix (see
// scripts/wine-register-sim-provider.sh), it lets the unmodified release executable reach the
// machine named in VELORIN_MACHINE through its own CoCreateInstance. A test fixture only:
// such a prefix serves nothing but the simulated machine.
#include "simcom/sim_support.h"
#include "simcom/sim_wmi.h"

#include <windows.h>
#include <wbemidl.h>

namespace {

// The one class object of this server, alive as long as the DLL is loaded, so its reference
// count has nothing to free.
class LocatorFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // The machine's CoCreateInstance fault rules apply where the system's COM asks for the
    // locator, as they do in the simulated-machine executable's own locator seam.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return velorin::simcom::WithFault("CoCreateInstance", {}, [&]() -> HRESULT {
            return CreateSimulatedLocatorAs(riid, object);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

LocatorFactory locatorFactory;

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_WbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
    return locatorFactory.QueryInterface(riid, object);
}

// The simulated machine's state for the process (its rule counters, its unsaved changes)
// lives in this DLL, so it stays loaded until the process ends.
HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

}  // extern "C"
