#include "bios/wtolq_core.h"

#include "app/report/console.h"
#include "bios/wmi_helpers.h"

#include <new>
#include <string>

namespace {

constexpr size_t kMethodNameUnits = 20;
constexpr wchar_t kMethodNames[METHOD_ROW_COUNT][kMethodNameUnits] = {
    L"GetRevision", L"Get",         L"Set",       L"Save",
    L"SetPassword", L"EnumSetting", L"GetString", L"LoadDefault",
};

constexpr long kInstanceQueryFlags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;

void PrintHr(const wchar_t* format, HRESULT hr) { ConsolePrintW(format, (unsigned)hr); }

bool AllocateNames(WTolqCore& core) {
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) {
        core.methodNames[row].reset(SysAllocString(kMethodNames[row]));
        if (!core.methodNames[row]) {
            ConsolePrintW(L"ERROR:: WTOLQ Init:: No enough system memory for method name\n");
            return false;
        }
    }
    core.className.reset(SysAllocString(L"BiosManager"));
    if (!core.className) {
        ConsolePrintW(L"ERROR:: WTOLQ Init:: No enough system memory for class name\n");
        return false;
    }
    return true;
}

bool InitializeSecurity(WTolqCore&) {
    const HRESULT hr =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // RPC_E_TOO_LATE: the process already chose its security, which serves us as well.
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ CoInitializeSecurity error, hr=%08X\n", hr);
        return false;
    }
    return true;
}

bool CreateLocator(WTolqCore& core) {
    const HRESULT hr = CreateWbemLocator(core.locator.put());
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ CoCreateInstance error, hr=%08X\n", hr);
        return false;
    }
    return true;
}

bool ConnectNamespace(WTolqCore& core) {
    const UniqueBstr nameSpace = MakeBstr(L"ROOT\\velorin");
    const HRESULT hr = core.locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0,
                                                   nullptr, nullptr, core.services.put());
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=%08X\n", hr);
        return false;
    }
    return true;
}

bool SetProxyBlanket(WTolqCore& core) {
    const HRESULT hr =
        CoSetProxyBlanket(core.services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                          RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ CoSetProxyBlanket error, hr=%08X\n", hr);
        return false;
    }
    return true;
}

bool GetBiosManagerClass(WTolqCore& core) {
    const HRESULT hr = core.services->GetObject(core.className.get(), 0, nullptr,
                                                core.biosManagerClass.put(), nullptr);
    if (hr == (HRESULT)WBEM_E_NOT_FOUND) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ driver not installed, hr=%08X\n", hr);
        return false;
    }
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=%08X\n", hr);
        return false;
    }
    return true;
}

// A method the class lacks only disables the operations that need it, so a failed lookup is
// reported and the connection goes on.
bool LookUpMethodSignatures(WTolqCore& core) {
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) {
        const HRESULT hr = core.biosManagerClass->GetMethod(core.methodNames[row].get(), 0,
                                                            core.inSignatures[row].put(), nullptr);
        if (FAILED(hr)) {
            PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=%08X\n", hr);
        }
    }
    return true;
}

bool QueryInstances(WTolqCore& core) {
    const UniqueBstr language = MakeBstrFromNarrow("WQL");
    const UniqueBstr query = MakeBstrFromNarrow("SELECT * FROM BiosManager");
    const HRESULT hr = core.services->ExecQuery(language.get(), query.get(), kInstanceQueryFlags,
                                                nullptr, core.instanceEnum.put());
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ COM ExecQuery() - WmiAcpiMethod, hr=%08X\n", hr);
        return false;
    }
    return true;
}

// Every ExecMethod needs the instance path, so a query that finds no instance (Next answers
// WBEM_S_FALSE with no object) ends the connection like a failed Next.
bool FetchFirstInstance(WTolqCore& core, ComPtr<IWbemClassObject>& instance) {
    ULONG returned = 0;
    const HRESULT hr = core.instanceEnum->Next((long)WBEM_INFINITE, 1, instance.put(), &returned);
    if (hr == (HRESULT)WBEM_E_ACCESS_DENIED) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ No administrator permission, hr=%08X\n", hr);
        return false;
    }
    if (FAILED(hr) || returned == 0 || !instance) {
        ConsolePrintW(L"ERROR:: WTOLQ Init:: WTOLQ COM Enumerator->Next(), hr=%08X, ret=%d\n",
                      (unsigned)hr, (int)returned);
        return false;
    }
    return true;
}

bool ReadInstancePath(WTolqCore& core) {
    ComPtr<IWbemClassObject> instance;
    if (!FetchFirstInstance(core, instance)) return false;
    UniqueVariant path;
    HRESULT hr = instance->Get(L"__PATH", 0, path.put(), nullptr, nullptr);
    // A path that is not text cannot address the instance; it fails like an unreadable one.
    if (SUCCEEDED(hr) && (path.get().vt != VT_BSTR || path.get().bstrVal == nullptr)) {
        hr = (HRESULT)WBEM_E_TYPE_MISMATCH;
    }
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Init:: WTOLQ COM Get() - '__PATH', hr=%08X\n", hr);
        return false;
    }
    core.instancePath = MakeBstr(path.get().bstrVal);
    return true;
}

using InitStep = bool (*)(WTolqCore&);
constexpr InitStep kInitSteps[] = {
    AllocateNames,       InitializeSecurity,     CreateLocator,  ConnectNamespace, SetProxyBlanket,
    GetBiosManagerClass, LookUpMethodSignatures, QueryInstances, ReadInstancePath,
};

}  // namespace

UniqueBstr MakeBstr(const wchar_t* text) {
    UniqueBstr bstr(SysAllocString(text));
    if (!bstr) throw std::bad_alloc();
    return bstr;
}

UniqueBstr MakeBstrFromNarrow(const char* text) {
    std::wstring wide;
    for (const char* p = text; *p != '\0'; ++p) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return MakeBstr(wide.c_str());
}

WTolqCore::~WTolqCore() { Uninit(); }

int WTolqCore::Init() {
    // A second Init on a live object keeps the one COM initialisation it already holds.
    if (ownsCom == 1 && !comInitialized_) {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (FAILED(hr)) {
            PrintHr(L"ERROR:: WTOLQ Init:: CoInitialize() api fail, hr=%08X\n", hr);
            return 0;
        }
        comInitialized_ = true;
    }
    for (const InitStep step : kInitSteps) {
        if (!step(*this)) {
            Uninit();
            return 0;
        }
    }
    return 1;
}

void WTolqCore::Uninit() {
    for (UniqueBstr& name : methodNames) name.reset();
    className.reset();
    instancePath.reset();
    locator.reset();
    services.reset();
    biosManagerClass.reset();
    for (ComPtr<IWbemClassObject>& signature : inSignatures) signature.reset();
    instanceEnum.reset();
    if (ownsCom == 1 && comInitialized_) {
        CoUninitialize();
        comInitialized_ = false;
    }
}

int WTolqCore::Reserved() { return 0; }
