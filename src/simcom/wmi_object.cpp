#include "simcom/wmi_object.h"

#include "simcom/sim_support.h"
#include "simcom/wmi_method_call.h"

#include <cstring>
#include <new>

namespace velorin::simcom {

// {6D1C3E52-9A47-4B8E-A1F0-3C5D7E9B2A61}
const IID IID_SimulatedWbemObject = {
    0x6D1C3E52, 0x9A47, 0x4B8E, {0xA1, 0xF0, 0x3C, 0x5D, 0x7E, 0x9B, 0x2A, 0x61}};

namespace {

bool IsSystemProperty(std::u16string_view name) { return name.substr(0, 2) == u"__"; }

// For the types WMI carries, a VARIANT type and its CIM type share their number.
CIMTYPE CimTypeOf(const VARIANT& value) {
    return value.vt == VT_NULL ? CIMTYPE{CIM_EMPTY} : static_cast<CIMTYPE>(value.vt);
}

}  // namespace

WbemObject::WbemObject(std::u16string owner, Kind kind) : owner_(std::move(owner)), kind_(kind) {}

HRESULT WbemObject::Get(LPCWSTR wszName, long, VARIANT* pVal, CIMTYPE* pType, long* plFlavor) {
    std::u16string name = TextOf(wszName);
    return WithFault("Get", FaultTarget(name), [&]() -> HRESULT {
        if (wszName == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        const Property* property = FindProperty(name);
        if (property == nullptr) return (HRESULT)WBEM_E_NOT_FOUND;
        if (pVal != nullptr) {
            VariantInit(pVal);
            HRESULT hr = CopyVariant(*pVal, property->value.get());
            if (FAILED(hr)) return hr;
        }
        if (pType != nullptr) *pType = property->type;
        if (plFlavor != nullptr) {
            *plFlavor =
                IsSystemProperty(name) ? WBEM_FLAVOR_ORIGIN_SYSTEM : WBEM_FLAVOR_ORIGIN_LOCAL;
        }
        return WBEM_S_NO_ERROR;
    });
}

HRESULT WbemObject::Put(LPCWSTR wszName, long, VARIANT* pVal, CIMTYPE Type) {
    std::u16string name = TextOf(wszName);
    return WithFault("Put", FaultTarget(name), [&]() -> HRESULT {
        if (wszName == nullptr || name.empty()) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        // An instance has the properties of its class; only a class gains new ones.
        if (kind_ == Kind::Instance && FindProperty(name) == nullptr)
            return (HRESULT)WBEM_E_NOT_FOUND;
        return Store(name, pVal, Type);
    });
}

HRESULT WbemObject::SpawnInstance(long, IWbemClassObject** ppNewInstance) {
    if (ppNewInstance != nullptr) *ppNewInstance = nullptr;
    return WithFault("SpawnInstance", owner_, [&]() -> HRESULT {
        if (ppNewInstance == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        if (kind_ != Kind::Class) return (HRESULT)WBEM_E_INVALID_OPERATION;
        *ppNewInstance = Copy(Kind::Instance).release();
        return WBEM_S_NO_ERROR;
    });
}

HRESULT WbemObject::GetMethod(LPCWSTR wszName, long, IWbemClassObject** ppInSignature,
                              IWbemClassObject** ppOutSignature) {
    if (ppInSignature != nullptr) *ppInSignature = nullptr;
    if (ppOutSignature != nullptr) *ppOutSignature = nullptr;
    std::u16string method = TextOf(wszName);
    return WithFault("GetMethod", method, [&]() -> HRESULT {
        if (wszName == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
        if (!providesMethods_) return (HRESULT)WBEM_E_NOT_FOUND;
        return MethodSignature(method, ppInSignature);
    });
}

VARIANT& WbemObject::Define(std::u16string_view name, CIMTYPE type) {
    Property* property = FindProperty(name);
    if (property == nullptr) property = &properties_.emplace_back(name, type);
    property->type = type;
    return *property->value.put();
}

const VARIANT* WbemObject::Find(std::u16string_view name) const {
    const Property* property = FindProperty(name);
    return property == nullptr ? nullptr : &property->value.get();
}

ComPtr<WbemObject> WbemObject::Copy(Kind kind) const {
    ComPtr<WbemObject> copy = MakeObject<WbemObject>(owner_, kind);
    copy->providesMethods_ = providesMethods_;
    for (const Property& property : properties_) {
        VARIANT& value = copy->Define(property.name, property.type);
        if (FAILED(CopyVariant(value, property.value.get()))) throw std::bad_alloc();
    }
    return copy;
}

const WbemObject::Property* WbemObject::FindProperty(std::u16string_view name) const {
    for (const Property& property : properties_) {
        if (SameName(property.name, name)) return &property;
    }
    return nullptr;
}

WbemObject::Property* WbemObject::FindProperty(std::u16string_view name) {
    return const_cast<Property*>(static_cast<const WbemObject*>(this)->FindProperty(name));
}

HRESULT WbemObject::Store(std::u16string_view name, const VARIANT* value, CIMTYPE type) {
    UniqueVariant copy;
    if (value == nullptr) {
        FillNull(copy.get());
    } else {
        HRESULT hr = CopyVariant(copy.get(), *value);
        if (FAILED(hr)) return hr;
    }
    Property* property = FindProperty(name);
    CIMTYPE known = property == nullptr ? CIMTYPE{CIM_EMPTY} : property->type;
    if (known == CIM_EMPTY) known = type != CIM_EMPTY ? type : CimTypeOf(copy.get());
    VARIANT& slot = Define(name, known);
    // The copy's contents move into the slot; the emptied copy has nothing left to clear.
    slot = copy.get();
    VariantInit(&copy.get());
    return WBEM_S_NO_ERROR;
}

std::u16string WbemObject::FaultTarget(std::u16string_view name) const {
    std::u16string target = owner_;
    target += u'.';
    target += name;
    return target;
}

void FillNull(VARIANT& value) { value.vt = VT_NULL; }

void FillNumber(VARIANT& value, LONG number) {
    value.vt = VT_I4;
    value.lVal = number;
}

void FillByte(VARIANT& value, BYTE number) {
    value.vt = VT_UI1;
    value.bVal = number;
}

void FillBool(VARIANT& value, bool flag) {
    value.vt = VT_BOOL;
    value.boolVal = static_cast<VARIANT_BOOL>(flag ? -1 : 0);
}

void FillText(VARIANT& value, std::u16string_view text) {
    BSTR copy = AllocBstr(text);
    if (copy == nullptr) throw std::bad_alloc();
    value.vt = VT_BSTR;
    value.bstrVal = copy;
}

void FillBytes(VARIANT& value, const std::vector<uint8_t>& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) throw std::bad_alloc();
    if (!bytes.empty()) std::memcpy(array->pvData, bytes.data(), bytes.size());
    value.vt = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);
    value.parray = array;
}

void FillObject(VARIANT& value, IUnknown* object) {
    value.vt = VT_UNKNOWN;
    value.punkVal = object;
}

}  // namespace velorin::simcom
