// The COM library calls the tool makes. Apartments are counted per thread as COM counts
// them; security is set at most once per process. The classes that can be created, the
// proxies CoSetProxyBlanket knows and the gate every call meets first are the hooks' (see
// stand_in_com.h).
#include <windows.h>
#include <wbemidl.h>

#include "stand_in_com.h"

#include <atomic>
#include <type_traits>

namespace {

struct ThreadApartment {
    ULONG initCount = 0;
    DWORD model = COINIT_MULTITHREADED;
};

thread_local ThreadApartment apartment;
std::atomic<bool> securityInitialized{false};
StandInComHooks hooks;

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

// Runs `body` through the hooks' gate, or directly when there is none.
template <typename Body>
HRESULT Gated(const char* call, Body&& body) {
    if (hooks.gate == nullptr) return body();
    using BodyType = std::remove_reference_t<Body>;
    return hooks.gate(
        call, [](void* context) -> HRESULT { return (*static_cast<BodyType*>(context))(); }, &body);
}

HRESULT CreateRegistered(REFCLSID clsid, REFIID riid, void** object) {
    for (size_t i = 0; i < hooks.classCount; ++i) {
        if (hooks.classes[i].clsid == clsid) return hooks.classes[i].create(riid, object);
    }
    return REGDB_E_CLASSNOTREG;
}

}  // namespace

void SetStandInComHooks(const StandInComHooks& installed) { hooks = installed; }

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    return Gated("CoInitializeEx", [&]() -> HRESULT {
        if (pvReserved != nullptr) return E_INVALIDARG;
        return EnterApartment(dwCoInit);
    });
}

void CoUninitialize() {
    if (apartment.initCount > 0) --apartment.initCount;
}

HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                             DWORD, void*, DWORD, void*) {
    return Gated("CoInitializeSecurity", []() -> HRESULT {
        if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
        if (securityInitialized.exchange(true)) return RPC_E_TOO_LATE;
        return S_OK;
    });
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
    if (ppv != nullptr) *ppv = nullptr;
    return Gated("CoCreateInstance", [&]() -> HRESULT {
        if (ppv == nullptr) return E_POINTER;
        if (apartment.initCount == 0) return CO_E_NOTINITIALIZED;
        if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateRegistered(rclsid, riid, ppv);
    });
}

// Without a hook no object is a proxy of this runtime.
HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                          RPC_AUTH_IDENTITY_HANDLE, DWORD) {
    return hooks.proxyBlanket != nullptr ? hooks.proxyBlanket(pProxy) : E_NOINTERFACE;
}
