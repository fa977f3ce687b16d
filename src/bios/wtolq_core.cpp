#include "bios/wtolq_core.h"

#include "bios/wmi_helpers.h"

namespace velorin::tool {

namespace {

constexpr size_t METHOD_NAME_UNITS = 20;
constexpr wchar_t METHOD_NAMES[METHOD_ROW_COUNT][METHOD_NAME_UNITS] = {
    L"GetRevision", L"Get",         L"Set",       L"Save",
    L"SetPassword", L"EnumSetting", L"GetString", L"LoadDefault",
};

constexpr long INSTANCE_QUERY_FLAGS = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY;

constexpr wchar_t CO_INITIALIZE_FAILURE[] =
    L"ERROR:: WTOLQ Init:: CoInitialize() api fail, hr=%08X\n";
// The class lookup and each method lookup share this line. The field's scripts match it as it
// stands, "GetObject(Class)" for a GetMethod included, so it is kept.
constexpr wchar_t CLASS_LOOKUP_FAILURE[] =
    L"ERROR:: WTOLQ Init:: WTOLQ COM GetObject(Class), hr=%08X\n";
// By ConnectStep.
constexpr const wchar_t* CONNECT_FAILURES[CONNECT_STEP_COUNT] = {
    L"ERROR:: WTOLQ Init:: WTOLQ CoCreateInstance error, hr=%08X\n",
    L"ERROR:: WTOLQ Init:: WTOLQ ConnectServer error, hr=%08X\n",
    L"ERROR:: WTOLQ Init:: WTOLQ CoSetProxyBlanket error, hr=%08X\n",
};

// How a stage of Init ended. It failed when `hr` did or when it names a line of its own; it is
// reported with that line, else with the line of its row in INIT_STAGES. `detail` follows the
// HRESULT in a line that shows a count.
struct StageResult {
    HRESULT hr;
    const wchar_t* ownLine = nullptr;
    int detail = 0;
};

StageResult AllocateMethodNames(WTolqCore& core) {
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) {
        core.methodNames[row].reset(SysAllocString(METHOD_NAMES[row]));
        if (!core.methodNames[row]) return {E_OUTOFMEMORY};
    }
    return {S_OK};
}

StageResult AllocateClassName(WTolqCore& core) {
    core.className.reset(SysAllocString(L"BiosManager"));
    return {core.className ? S_OK : E_OUTOFMEMORY};
}

StageResult InitializeSecurity(WTolqCore&) {
    const HRESULT hr =
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // RPC_E_TOO_LATE: the process already chose its security, which serves us as well.
    return {hr == RPC_E_TOO_LATE ? S_OK : hr};
}

StageResult Connect(WTolqCore& core) {
    const ConnectResult connected = ConnectNamespace(L"ROOT\\velorin", core.locator, core.services);
    if (SUCCEEDED(connected.hr)) return {S_OK};
    return {connected.hr, CONNECT_FAILURES[static_cast<int>(connected.failedStep)]};
}

StageResult GetBiosManagerClass(WTolqCore& core) {
    const HRESULT hr = core.services->GetObject(core.className.get(), 0, nullptr,
                                                core.biosManagerClass.put(), nullptr);
    if (hr == (HRESULT)WBEM_E_NOT_FOUND) {
        return {hr, L"ERROR:: WTOLQ Init:: WTOLQ driver not installed, hr=%08X\n"};
    }
    return {hr};
}

// A method the class lacks only disables the operations that need it, so a failed lookup is
// reported and the connection goes on.
StageResult LookUpMethodSignatures(WTolqCore& core) {
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) {
        const HRESULT hr = core.biosManagerClass->GetMethod(core.methodNames[row].get(), 0,
                                                            core.inSignatures[row].put(), nullptr);
        if (FAILED(hr)) PrintHr(CLASS_LOOKUP_FAILURE, hr);
    }
    return {S_OK};
}

StageResult QueryInstances(WTolqCore& core) {
    const UniqueBstr language = MakeBstrFromNarrow("WQL");
    const UniqueBstr query = MakeBstrFromNarrow("SELECT * FROM BiosManager");
    return {core.services->ExecQuery(language.get(), query.get(), INSTANCE_QUERY_FLAGS, nullptr,
                                     core.instanceEnum.put())};
}

// Every ExecMethod needs the instance path, so a query that finds no instance (Next answers
// WBEM_S_FALSE with no object) ends the connection like a failed Next.
StageResult ReadInstancePath(WTolqCore& core) {
    ComPtr<IWbemClassObject> instance;
    ULONG returned = 0;
    HRESULT hr = core.instanceEnum->Next((long)WBEM_INFINITE, 1, instance.put(), &returned);
    if (hr == (HRESULT)WBEM_E_ACCESS_DENIED) {
        return {hr, L"ERROR:: WTOLQ Init:: WTOLQ No administrator permission, hr=%08X\n"};
    }
    if (FAILED(hr) || returned == 0 || !instance) {
        return {hr, L"ERROR:: WTOLQ Init:: WTOLQ COM Enumerator->Next(), hr=%08X, ret=%d\n",
                static_cast<int>(returned)};
    }
    UniqueVariant path;
    hr = instance->Get(L"__PATH", 0, path.put(), nullptr, nullptr);
    // A path that is not text cannot address the instance; it fails like an unreadable one.
    if (SUCCEEDED(hr) && (path.get().vt != VT_BSTR || path.get().bstrVal == nullptr)) {
        hr = (HRESULT)WBEM_E_TYPE_MISMATCH;
    }
    if (SUCCEEDED(hr)) core.instancePath = MakeBstr(path.get().bstrVal);
    return {hr};
}

struct InitStage {
    StageResult (*run)(WTolqCore&);
    const wchar_t* failure;
};

// Init after COM is initialised: each stage in turn, the first failure ending the road.
constexpr InitStage INIT_STAGES[] = {
    {AllocateMethodNames, L"ERROR:: WTOLQ Init:: No enough system memory for method name\n"},
    {AllocateClassName, L"ERROR:: WTOLQ Init:: No enough system memory for class name\n"},
    {InitializeSecurity, L"ERROR:: WTOLQ Init:: WTOLQ CoInitializeSecurity error, hr=%08X\n"},
    {Connect, nullptr},  // the line of the step that failed
    {GetBiosManagerClass, CLASS_LOOKUP_FAILURE},
    {LookUpMethodSignatures, nullptr},  // reports each failed lookup and goes on
    {QueryInstances, L"ERROR:: WTOLQ Init:: WTOLQ COM ExecQuery() - WmiAcpiMethod, hr=%08X\n"},
    {ReadInstancePath, L"ERROR:: WTOLQ Init:: WTOLQ COM Get() - '__PATH', hr=%08X\n"},
};

}  // namespace

WTolqCore::~WTolqCore() { Uninit(); }

int WTolqCore::Init() {
    // A second Init on a live object keeps the one COM initialisation it already holds.
    if (ownsCom == 1 && !apartment_) {
        apartment_.emplace();
        if (!apartment_->Initialized()) {
            const HRESULT hr = apartment_->status();
            apartment_.reset();
            PrintHr(CO_INITIALIZE_FAILURE, hr);
            return 0;
        }
    }
    for (const InitStage& stage : INIT_STAGES) {
        const StageResult result = stage.run(*this);
        if (FAILED(result.hr) || result.ownLine != nullptr) {
            PrintHr(result.ownLine != nullptr ? result.ownLine : stage.failure, result.hr,
                    result.detail);
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
    apartment_.reset();  // last: the COM objects above are released inside the apartment
}

int WTolqCore::Reserved() { return 0; }

std::optional<ResultCode> ResultOfProviderAnswer(uint16_t retCode) {
    if (retCode != PROVIDER_RET_DONE && !IsFailureCode(retCode)) return std::nullopt;
    return static_cast<ResultCode>(retCode);
}

}  // namespace velorin::tool
