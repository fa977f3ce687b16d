#include "simcom/wmi_method_call.h"

#include "sim/machine.h"
#include "simcom/sim_support.h"
#include "simcom/wmi_classes.h"
#include "simcom/wmi_object.h"

#include <optional>
#include <string>
#include <vector>

namespace velorin::simcom {

namespace {

// The raw request rides on an ordinary method as an extra DataBuffer; a call of that method
// without it is still complete.
constexpr std::string_view kOptionalInParameters[] = {"inData"};

bool IsOptional(const std::string& parameter) {
    for (std::string_view optional : kOptionalInParameters) {
        if (parameter == optional) return true;
    }
    return false;
}

bool NeedsInParameters(std::string_view method) {
    for (const std::string& parameter : sim::Machine::Current().InParameters(method)) {
        if (!IsOptional(parameter)) return true;
    }
    return false;
}

struct NumberType {
    VARTYPE vt;
    uint32_t (*read)(const VARIANT& value);
};

constexpr NumberType kNumberTypes[] = {
    {VT_I4, [](const VARIANT& v) { return static_cast<uint32_t>(v.lVal); }},
    {VT_UI4, [](const VARIANT& v) { return static_cast<uint32_t>(v.ulVal); }},
    {VT_INT, [](const VARIANT& v) { return static_cast<uint32_t>(v.intVal); }},
    {VT_UINT, [](const VARIANT& v) { return static_cast<uint32_t>(v.uintVal); }},
    {VT_I2, [](const VARIANT& v) { return static_cast<uint32_t>(v.iVal); }},
    {VT_UI2, [](const VARIANT& v) { return static_cast<uint32_t>(v.uiVal); }},
    {VT_UI1, [](const VARIANT& v) { return static_cast<uint32_t>(v.bVal); }},
    {VT_BOOL, [](const VARIANT& v) { return v.boolVal != 0 ? 1u : 0u; }},
};

std::optional<std::vector<uint8_t>> BytesOfArray(SAFEARRAY* array) {
    VARTYPE vt = VT_EMPTY;
    if (array == nullptr || FAILED(SafeArrayGetVartype(array, &vt)) || vt != VT_UI1) {
        return std::nullopt;
    }
    const auto* first = static_cast<const uint8_t*>(array->pvData);
    return std::vector<uint8_t>(first, first + array->rgsabound[0].cElements);
}

// The Bytes of an embedded DataBuffer, read as the provider reads it: past the fault rules.
std::optional<std::vector<uint8_t>> BytesOfBuffer(IUnknown* object) {
    ComPtr<WbemObject> buffer = FindSimulated<WbemObject>(object);
    const VARIANT* bytes = buffer ? buffer->Find(u"Bytes") : nullptr;
    if (bytes == nullptr || bytes->vt != (VT_ARRAY | VT_UI1)) return std::nullopt;
    return BytesOfArray(bytes->parray);
}

// One in-parameter value as the machine takes it; nothing for an unsupported type.
std::optional<sim::Value> ValueOf(const VARIANT& value) {
    for (const NumberType& type : kNumberTypes) {
        if (type.vt == value.vt) return sim::Value::OfNumber(type.read(value));
    }
    if (value.vt == VT_BSTR) return sim::Value::OfText(TextOf(value.bstrVal));
    std::optional<std::vector<uint8_t>> bytes;
    if (value.vt == VT_UNKNOWN) bytes = BytesOfBuffer(value.punkVal);
    if (value.vt == (VT_ARRAY | VT_UI1)) bytes = BytesOfArray(value.parray);
    if (bytes) return sim::Value::OfBytes(std::move(*bytes));
    return std::nullopt;
}

bool IsUnset(const VARIANT& value) { return value.vt == VT_EMPTY || value.vt == VT_NULL; }

HRESULT ReadInParameters(IWbemClassObject* in, sim::Params& params) {
    if (in == nullptr) return WBEM_S_NO_ERROR;
    ComPtr<WbemObject> object = FindSimulated<WbemObject>(in);
    if (!object) return (HRESULT)WBEM_E_INVALID_PARAMETER;
    HRESULT hr = WBEM_S_NO_ERROR;
    object->ForEachProperty([&](const std::u16string& name, const VARIANT& value) {
        if (FAILED(hr) || IsUnset(value) || name.substr(0, 2) == u"__") return;
        std::optional<std::string> key = AsciiOf(name);
        std::optional<sim::Value> converted = ValueOf(value);
        if (!key || !converted) {
            hr = (HRESULT)WBEM_E_TYPE_MISMATCH;
            return;
        }
        params[*key] = std::move(*converted);
    });
    return hr;
}

void FillOutValue(VARIANT& slot, const sim::Value& value) {
    switch (value.kind) {
        case sim::Value::Kind::Number:
            FillNumber(slot, static_cast<LONG>(value.number));
            break;
        case sim::Value::Kind::Text:
            FillText(slot, value.text);
            break;
        case sim::Value::Kind::Bytes:
            FillObject(slot, MakeDataBuffer(value.bytes).release());
            break;
    }
}

CIMTYPE CimTypeOf(const sim::Value& value) {
    switch (value.kind) {
        case sim::Value::Kind::Number:
            return CIM_UINT32;
        case sim::Value::Kind::Text:
            return CIM_STRING;
        case sim::Value::Kind::Bytes:
            return CIM_OBJECT;
    }
    return CIM_EMPTY;
}

ComPtr<WbemObject> MakeOutParameters(std::u16string_view method, const sim::Params& params) {
    ComPtr<WbemObject> out =
        MakeObject<WbemObject>(std::u16string(method), WbemObject::Kind::Instance);
    FillText(out->Define(u"__CLASS", CIM_STRING), u"__PARAMETERS");
    for (const auto& [name, value] : params) {
        FillOutValue(out->Define(TextOfAscii(name), CimTypeOf(value)), value);
    }
    return out;
}

}  // namespace

HRESULT MethodSignature(std::u16string_view method, IWbemClassObject** inSignature) {
    std::optional<std::string> name = AsciiOf(method);
    sim::Machine& machine = sim::Machine::Current();
    if (!name || !machine.HasMethod(*name)) return (HRESULT)WBEM_E_NOT_FOUND;
    std::vector<std::string> parameters = machine.InParameters(*name);
    if (parameters.empty() || inSignature == nullptr) return WBEM_S_NO_ERROR;
    ComPtr<WbemObject> signature =
        MakeObject<WbemObject>(std::u16string(method), WbemObject::Kind::Class);
    FillText(signature->Define(u"__CLASS", CIM_STRING), u"__PARAMETERS");
    for (const std::string& parameter : parameters) {
        FillNull(signature->Define(TextOfAscii(parameter), CIM_EMPTY));
    }
    *inSignature = signature.release();
    return WBEM_S_NO_ERROR;
}

HRESULT RunProviderMethod(std::u16string_view method, IWbemClassObject* in,
                          IWbemClassObject** out) {
    std::optional<std::string> name = AsciiOf(method);
    sim::Machine& machine = sim::Machine::Current();
    if (!name || !machine.HasMethod(*name)) return (HRESULT)WBEM_E_INVALID_METHOD;
    if (in == nullptr && NeedsInParameters(*name)) return (HRESULT)WBEM_E_INVALID_PARAMETER;
    sim::Params params;
    HRESULT hr = ReadInParameters(in, params);
    if (FAILED(hr)) return hr;
    ComPtr<WbemObject> answer = MakeOutParameters(method, machine.Execute(*name, params));
    if (out != nullptr) *out = answer.release();
    return WBEM_S_NO_ERROR;
}

}  // namespace velorin::simcom
