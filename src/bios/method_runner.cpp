#include "bios/method_runner.h"

#include "bios/wmi_helpers.h"

#include <algorithm>

namespace velorin::tool {

namespace {

constexpr int EXEC_METHOD_ATTEMPTS = 3;

// The provider declares these parameters as uint16, but WMI may hand them back in any
// integer VARIANT; whatever it is, the low 16 bits are the value. Anything else reads as 0.
uint16_t LowWord(const VARIANT& value) {
    switch (value.vt) {
        case VT_I4:
            return static_cast<uint16_t>(value.lVal);
        case VT_UI4:
            return static_cast<uint16_t>(value.ulVal);
        case VT_INT:
            return static_cast<uint16_t>(value.intVal);
        case VT_UINT:
            return static_cast<uint16_t>(value.uintVal);
        case VT_I2:
            return static_cast<uint16_t>(value.iVal);
        case VT_UI2:
            return value.uiVal;
        case VT_I1:
            return static_cast<uint16_t>(static_cast<signed char>(value.bVal));
        case VT_UI1:
            return value.bVal;
        case VT_BOOL:
            return static_cast<uint16_t>(value.boolVal);
        default:
            return 0;
    }
}

// A provider text longer than the caller's buffer is cut to fit rather than overrunning it.
void CopyBoundedText(BSTR source, wchar_t* target, size_t units) {
    if (units == 0) return;
    const size_t length = std::min<size_t>(SysStringLen(source), units - 1);
    std::copy(source, source + length, target);
    target[length] = L'\0';
}

// The VARIANT and CIM type that carry `value` as a parameter of `kind`.
CIMTYPE FillInValue(ParamKind kind, const InValue& value, VARIANT& variant) {
    switch (kind) {
        case ParamKind::Number:
            variant.vt = VT_I4;
            variant.lVal = value.number;
            return CIM_UINT16;
        case ParamKind::Text:
            variant.vt = VT_BSTR;
            variant.bstrVal = MakeBstr(value.text != nullptr ? value.text : L"").release();
            return CIM_STRING;
        case ParamKind::Object:
            variant.vt = VT_UNKNOWN;
            variant.punkVal = value.object;
            value.object->AddRef();  // the VARIANT holds its own reference
            return 0;
    }
    return 0;
}

bool PutInParam(IWbemClassObject& inParams, const ParamSpec& paramSpec, const InValue& value) {
    UniqueVariant variant;
    const CIMTYPE cimType = FillInValue(paramSpec.kind, value, variant.get());
    const HRESULT hr = inParams.Put(paramSpec.name, 0, &variant.get(), cimType);
    if (FAILED(hr)) {
        PrintHr(paramSpec.failure, hr);
        return false;
    }
    return true;
}

bool BuildInParams(const WTolqCore& core, const MethodSpec& methodSpec, const InValue* values,
                   ComPtr<IWbemClassObject>& inParams) {
    IWbemClassObject* signature = core.inSignatures[methodSpec.row].get();
    if (signature == nullptr) return false;  // the class lacks the method
    const HRESULT hr = signature->SpawnInstance(0, inParams.put());
    if (FAILED(hr)) {
        PrintHr(methodSpec.lines->spawnFailure, hr);
        return false;
    }
    for (size_t i = 0; i < methodSpec.inCount; ++i) {
        if (!PutInParam(*inParams.get(), methodSpec.in[i], values[i])) return false;
    }
    return true;
}

// An embedded object comes back as an IUnknown; anything else is the wrong type.
HRESULT TakeObject(const VARIANT& value, ComPtr<IWbemClassObject>& object) {
    if (value.vt != VT_UNKNOWN || value.punkVal == nullptr) return (HRESULT)WBEM_E_TYPE_MISMATCH;
    return value.punkVal->QueryInterface(IID_IWbemClassObject,
                                         reinterpret_cast<void**>(object.put()));
}

bool ReadOutParam(IWbemClassObject* outParams, const ParamSpec& paramSpec, const OutSlot& slot) {
    UniqueVariant value;
    // A method that succeeded without an out-parameter object has none of its outputs.
    HRESULT hr = outParams != nullptr
                     ? outParams->Get(paramSpec.name, 0, value.put(), nullptr, nullptr)
                     : (HRESULT)WBEM_E_NOT_FOUND;
    if (SUCCEEDED(hr) && paramSpec.kind == ParamKind::Object) {
        hr = TakeObject(value.get(), *slot.object);
    }
    if (FAILED(hr)) {
        PrintHr(paramSpec.failure, hr);
        return false;
    }
    if (paramSpec.kind == ParamKind::Number) {
        *slot.number = LowWord(value.get());
    } else if (paramSpec.kind == ParamKind::Text && value.get().vt == VT_BSTR &&
               value.get().bstrVal != nullptr) {
        CopyBoundedText(value.get().bstrVal, slot.text, slot.units);
    }
    return true;
}

// Runs the method up to EXEC_METHOD_ATTEMPTS times. Access denied is not retried: a
// non-administrator cannot become one between attempts.
bool ExecMethodWithRetries(const WTolqCore& core, const MethodSpec& methodSpec,
                           IWbemClassObject* inParams, ComPtr<IWbemClassObject>& outParams,
                           const AttemptFailed& attemptFailed) {
    for (int attempt = 0; attempt < EXEC_METHOD_ATTEMPTS; ++attempt) {
        const HRESULT hr = core.services->ExecMethod(core.instancePath.get(),
                                                     core.methodNames[methodSpec.row].get(), 0,
                                                     nullptr, inParams, outParams.put(), nullptr);
        if (SUCCEEDED(hr)) return true;
        if (hr == (HRESULT)WBEM_E_ACCESS_DENIED) {
            PrintHr(methodSpec.lines->accessDenied, hr);
            return false;
        }
        if (attemptFailed) {
            attemptFailed(hr);
        } else {
            PrintHr(methodSpec.execFailure, hr);
        }
    }
    return false;
}

}  // namespace

int RunProviderMethod(const WTolqCore& core, const MethodSpec& methodSpec, const InValue* in,
                      const OutSlot* out, const AttemptFailed& attemptFailed) {
    if (!core.services) return 0;
    ComPtr<IWbemClassObject> inParams;
    if (methodSpec.inCount > 0 && !BuildInParams(core, methodSpec, in, inParams)) return 0;
    ComPtr<IWbemClassObject> outParams;
    if (!ExecMethodWithRetries(core, methodSpec, inParams.get(), outParams, attemptFailed)) {
        return 0;
    }
    for (size_t i = 0; i < methodSpec.outCount; ++i) {
        if (!ReadOutParam(outParams.get(), methodSpec.out[i], out[i])) return 0;
    }
    return 1;
}

}  // namespace velorin::tool
