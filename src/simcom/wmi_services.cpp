#include "simcom/wmi_services.h"

#include "sim/machine.h"
#include "simcom/sim_support.h"
#include "simcom/sim_wmi.h"
#include "simcom/wmi_enumerator.h"
#include "simcom/wmi_method_call.h"

#include <string>
#include <vector>

namespace velorin::simcom {

// {4F8A2D17-6B3C-4E59-9D0A-1C7E5B3F8A24}
const IID IID_SimulatedServices = {
    0x4F8A2D17, 0x6B3C, 0x4E59, {0x9D, 0x0A, 0x1C, 0x7E, 0x5B, 0x3F, 0x8A, 0x24}};
// {91C5E3B8-0F2D-4A67-B4E8-5D6A0C2F7E13}
const IID IID_SimulatedLocator = {
    0x91C5E3B8, 0x0F2D, 0x4A67, {0xB4, 0xE8, 0x5D, 0x6A, 0x0C, 0x2F, 0x7E, 0x13}};

namespace {

std::vector<std::u16string_view> Words(std::u16string_view text) {
    std::vector<std::u16string_view> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(u" \t\r\n", start);
        if (end == std::u16string_view::npos) end = text.size();
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

// The class of "SELECT * FROM Class", the one query form WMI clients here send.
std::optional<std::u16string_view> QueriedClass(std::u16string_view query) {
    std::vector<std::u16string_view> words = Words(query);
    if (words.size() != 4 || !SameName(words[0], u"SELECT") || words[1] != u"*" ||
        !SameName(words[2], u"FROM")) {
        return std::nullopt;
    }
    return words[3];
}

// The class named by an object path "\\server\namespace:Class.Key=value", "Class.Key=value"
// or "Class".
std::u16string_view ClassOfPath(std::u16string_view path) {
    size_t colon = path.find(u':');
    if (colon != std::u16string_view::npos) path.remove_prefix(colon + 1);
    return path.substr(0, path.find_first_of(u".="));
}

// Namespaces are spelled as the catalogue spells them, so fault rules see one spelling.
std::u16string NamespaceTarget(std::u16string_view requested) {
    const NamespaceSpec* space = FindNamespace(requested);
    return std::u16string(space != nullptr ? space->name : requested);
}

}  // namespace

HRESULT WbemServices::GetObject(const BSTR strObjectPath, long, IWbemContext*,
                                IWbemClassObject** ppObject, IWbemCallResult** ppCallResult) {
    if (ppObject != nullptr) *ppObject = nullptr;
    if (ppCallResult != nullptr) *ppCallResult = nullptr;
    std::u16string path = TextOf(strObjectPath);
    return WithFault("GetObject", path, [&]() -> HRESULT {
        if (ppObject == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        const ClassSpec* classSpec = FindClass(space_, path);
        if (classSpec == nullptr) return (HRESULT)WBEM_E_NOT_FOUND;
        *ppObject = MakeClassObject(*classSpec).release();
        return WBEM_S_NO_ERROR;
    });
}

HRESULT WbemServices::CreateInstanceEnum(const BSTR strFilter, long, IWbemContext*,
                                         IEnumWbemClassObject** ppEnum) {
    if (ppEnum != nullptr) *ppEnum = nullptr;
    std::u16string className = TextOf(strFilter);
    return WithFault("CreateInstanceEnum", className,
                     [&]() -> HRESULT { return Enumerate(className, ppEnum); });
}

HRESULT WbemServices::ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, long,
                                IWbemContext*, IEnumWbemClassObject** ppEnum) {
    if (ppEnum != nullptr) *ppEnum = nullptr;
    return WithFault("ExecQuery", {}, [&]() -> HRESULT {
        if (!SameName(TextOf(strQueryLanguage), u"WQL")) return (HRESULT)WBEM_E_INVALID_QUERY_TYPE;
        std::u16string query = TextOf(strQuery);
        std::optional<std::u16string_view> className = QueriedClass(query);
        if (!className) return (HRESULT)WBEM_E_INVALID_QUERY;
        return Enumerate(*className, ppEnum);
    });
}

HRESULT WbemServices::ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, long,
                                 IWbemContext*, IWbemClassObject* pInParams,
                                 IWbemClassObject** ppOutParams, IWbemCallResult** ppCallResult) {
    if (ppOutParams != nullptr) *ppOutParams = nullptr;
    if (ppCallResult != nullptr) *ppCallResult = nullptr;
    std::u16string method = TextOf(strMethodName);
    sim::Machine::Current().CountCall(AsciiOf(method).value_or("?"));
    return WithFault("ExecMethod", method, [&]() -> HRESULT {
        if (strObjectPath == nullptr || strMethodName == nullptr) {
            return (HRESULT)WBEM_E_INVALID_PARAMETER;
        }
        return CallMethod(TextOf(strObjectPath), method, pInParams, ppOutParams);
    });
}

HRESULT WbemServices::Enumerate(std::u16string_view className,
                                IEnumWbemClassObject** ppEnum) const {
    if (ppEnum == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
    const ClassSpec* classSpec = FindClass(space_, className);
    if (classSpec == nullptr) return (HRESULT)WBEM_E_INVALID_CLASS;
    *ppEnum = MakeObject<WbemEnumerator>(std::u16string(classSpec->name),
                                         MakeInstances(space_, *classSpec))
                  .release();
    return WBEM_S_NO_ERROR;
}

HRESULT WbemServices::CallMethod(std::u16string_view path, std::u16string_view method,
                                 IWbemClassObject* in, IWbemClassObject** out) const {
    std::u16string_view className = ClassOfPath(path);
    if (className.empty()) return (HRESULT)WBEM_E_INVALID_OBJECT_PATH;
    const ClassSpec* classSpec = FindClass(space_, className);
    if (classSpec == nullptr) return (HRESULT)WBEM_E_NOT_FOUND;
    if (!classSpec->hasMethods) return (HRESULT)WBEM_E_INVALID_METHOD;
    return RunProviderMethod(method, in, out);
}

HRESULT WbemLocator::ConnectServer(const BSTR strNetworkResource, const BSTR, const BSTR,
                                   const BSTR, long, const BSTR, IWbemContext*,
                                   IWbemServices** ppNamespace) {
    if (ppNamespace != nullptr) *ppNamespace = nullptr;
    std::u16string requested = TextOf(strNetworkResource);
    return WithFault("ConnectServer", NamespaceTarget(requested), [&]() -> HRESULT {
        if (ppNamespace == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        const NamespaceSpec* space = FindNamespace(requested);
        if (space == nullptr || !sim::Machine::Current().Installed()) {
            return (HRESULT)WBEM_E_INVALID_NAMESPACE;
        }
        *ppNamespace = MakeObject<WbemServices>(*space).release();
        return WBEM_S_NO_ERROR;
    });
}

#ifdef _WIN32
HRESULT WbemServices::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr || riid != IID_IClientSecurity) return Base::QueryInterface(riid, object);
    *object = static_cast<IClientSecurity*>(this);
    AddRef();
    return S_OK;
}

HRESULT WbemServices::SetBlanket(IUnknown* pProxy, DWORD, DWORD, OLECHAR*, DWORD, DWORD, void*,
                                 DWORD) {
    return SimulatedProxyBlanket(pProxy);
}
#endif

}  // namespace velorin::simcom

HRESULT CreateSimulatedLocator(IWbemLocator** locator) {
    if (locator == nullptr) return E_POINTER;
    *locator = velorin::simcom::MakeObject<velorin::simcom::WbemLocator>().release();
    return S_OK;
}

HRESULT CreateSimulatedLocatorAs(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IWbemLocator && riid != IID_IUnknown) return E_NOINTERFACE;
    return CreateSimulatedLocator(reinterpret_cast<IWbemLocator**>(object));
}

HRESULT SimulatedProxyBlanket(IUnknown* proxy) {
    using namespace velorin::simcom;
    velorin::ComPtr<WbemServices> services = FindSimulated<WbemServices>(proxy);
    std::u16string target(services ? services->NamespaceName() : std::u16string_view());
    return WithFault("CoSetProxyBlanket", target, [&]() -> HRESULT {
        if (proxy == nullptr) return E_INVALIDARG;
        return services ? S_OK : E_NOINTERFACE;
    });
}
