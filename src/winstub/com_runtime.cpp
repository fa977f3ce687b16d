// The COM library calls the tool makes. Apartments are counted per thread as COM counts
// them; security is set at most once per process; the only class that can be created is
// the WMI locator of the simulated machine. Each call meets the machine's fault rules first.
#include <windows.h>
#include <wbemidl.h>

#include "simcom/sim_support.h"
#include "simcom/sim_wmi.h"

#include <atomic>

namespace {

using velorin::simcom::WithFault;

struct ThreadApartment {
    ULONG initCount = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadApartment apartment;
std::atomic<bool> securityInitialized{false};

DWORD ModelOf(DWORD coInit) { return coInit & COINIT_APARTMENTTHREADED; }

HRESULT EnterApartment(DWORD coInit) {
    if (apartment.initCount > 0) {
        if (apartment.model != ModelOf(coInit)) return RPC_E_CHANGED_MODE;
        ++apartment.initCount;
        return S_FALSE;
    }
    apartment.initCount = 1;
    apartment.model = ModelOf(coInit);
    return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    return WithFault("CoInitializeEx", {}, [&]() -> HRESULT {
        if (pvReserved != nullptr) return E_INVALIDARG;
        return EnterApartment(dwCoInit);
    });
}

void CoUninitialize() {
    if (apartment.initCount > 0) --apartment.initCount;
}

HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                             DWORD, void*, DWORD, void*) {
    return WithFault("CoInitializeSecurity", {}, []() -> HRESULT {
        if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
        if (securityInitialized.exchange(true)) return RPC_E_TOO_LATE;
        return S_OK;
    });
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
    if (ppv != nullptr) *ppv = nullptr;
    return WithFault("CoCreateInstance", {}, [&]() -> HRESULT {
        if (ppv == nullptr) return E_POINTER;
        if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
        if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
        if (rclsid != CLSID_WbemLocator) return REGDB_E_CLASSNOTREG;
        return CreateSimulatedLocatorAs(riid, ppv);
    });
}

HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                          RPC_AUTH_IDENTITY_HANDLE, DWORD) {
    return SimulatedProxyBlanket(pProxy);
}
