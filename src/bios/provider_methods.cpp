// The BiosManager methods the tool uses. They all take the same road (spawn the in-parameter
// object, put each in-parameter, ExecMethod with retries, get each out-parameter), so each
// method is a row of data and one runner walks the road for all of them.
#include "bios/wtolq_core.h"

#include "app/report/console.h"
#include "bios/wmi_helpers.h"

#include <algorithm>

namespace {

enum class ParamKind { Number, Text };

struct ParamSpec {
    const wchar_t* name;
    ParamKind kind;
    const wchar_t* failure;  // the Put line of an in-parameter, the Get line of an out-parameter
};

constexpr size_t kMaxInParams = 2;
constexpr size_t kMaxOutParams = 3;

struct MethodSpec {
    MethodRow row;
    size_t inCount;  // 0: the method is called without an in-parameter object
    ParamSpec in[kMaxInParams];
    const wchar_t* execFailure;
    size_t outCount;
    ParamSpec out[kMaxOutParams];
};

constexpr wchar_t kSpawnFailure[] =
    L"ERROR:: WTOLQ Call:: WTOLQ SpawnInstance() - InParam, hr=%08X\n";
constexpr wchar_t kAccessDenied[] =
    L"ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=%08X\n";
constexpr wchar_t kExecSetFailure[] =
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Set(), hr=%08X\n";

constexpr ParamSpec kInItemCode{L"inItemCode", ParamKind::Number,
                                L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inItemCode', "
                                L"hr=%08X\n"};
constexpr ParamSpec kInSetData{
    L"inSetData", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inSetData', hr=%08X\n"};
constexpr ParamSpec kInPassword{
    L"Password", ParamKind::Text,
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'Password', hr=%08X\n"};
constexpr const wchar_t* kInIndexFailure =
    L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inIndex', hr=%08X\n";
constexpr ParamSpec kInIndexNumber{L"inIndex", ParamKind::Number, kInIndexFailure};
constexpr ParamSpec kInIndexText{L"inIndex", ParamKind::Text, kInIndexFailure};

constexpr ParamSpec kOutRetCode{
    L"RetCode", ParamKind::Number,
    L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'RetCode', hr=%08X\n"};
constexpr ParamSpec kOutItemCode{L"ItemCode", ParamKind::Text,
                                 L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'ItemCode', "
                                 L"hr=%08X\n"};
constexpr ParamSpec kOutData{L"Data", ParamKind::Text,
                             L"ERROR:: WTOLQ Call:: WTOLQ Set() - OutParam 'Data', hr=%08X\n"};

constexpr MethodSpec kGetRevisionMethod{
    ROW_GET_REVISION,
    0,
    {},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=GetRevision, hr=%08X\n",
    1,
    {{L"Revision", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Get() - OutParam 'outData', hr=%08X\n"}}};
constexpr MethodSpec kSetMethod{ROW_SET,         2, {kInItemCode, kInSetData},
                                kExecSetFailure, 3, {kOutRetCode, kOutItemCode, kOutData}};
constexpr MethodSpec kSaveMethod{
    ROW_SAVE,
    0,
    {},
    kExecSetFailure,
    1,
    {{L"RetCode", ParamKind::Number,
      L"ERROR:: WTOLQ Call:: WTOLQ Save() - OutParam 'RetCode', hr=%08X\n"}}};
constexpr MethodSpec kSetPasswordMethod{
    ROW_SET_PASSWORD,
    1,
    {kInPassword},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=Setpassword(), hr=%08X\n",
    1,
    {kOutRetCode}};
constexpr MethodSpec kEnumSettingMethod{
    ROW_ENUM_SETTING,
    1,
    {kInIndexNumber},
    L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=EnumSetting(), hr=%08X\n",
    3,
    {kOutRetCode, kOutItemCode, kOutData}};
constexpr MethodSpec kGetStringMethod{ROW_GET_STRING,  2, {kInItemCode, kInIndexText},
                                      kExecSetFailure, 3, {kOutRetCode, kOutItemCode, kOutData}};

// The caller's value of one in-parameter: `number` or `text` by the parameter's kind.
struct InValue {
    uint16_t number;
    const wchar_t* text;
};

// Where one out-parameter goes: `number`, or the text buffer of `units` UTF-16 units.
struct OutSlot {
    uint16_t* number;
    wchar_t* text;
    size_t units;
};

InValue NumberIn(uint16_t number) { return {number, nullptr}; }
InValue TextIn(const wchar_t* text) { return {0, text}; }
OutSlot NumberOut(uint16_t& number) { return {&number, nullptr, 0}; }
OutSlot TextOut(wchar_t* text, size_t units) { return {nullptr, text, units}; }
template <size_t N>
OutSlot TextOut(wchar_t (&text)[N]) {
    return TextOut(text, N);
}

void PrintHr(const wchar_t* format, HRESULT hr) { ConsolePrintW(format, (unsigned)hr); }

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

bool PutInParam(IWbemClassObject& inParams, const ParamSpec& paramSpec, const InValue& value) {
    UniqueVariant variant;
    CIMTYPE cimType = CIM_UINT16;
    if (paramSpec.kind == ParamKind::Number) {
        variant.get().vt = VT_I4;
        variant.get().lVal = value.number;
    } else {
        variant.get().vt = VT_BSTR;
        variant.get().bstrVal = MakeBstr(value.text != nullptr ? value.text : L"").release();
        cimType = CIM_STRING;
    }
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
        PrintHr(kSpawnFailure, hr);
        return false;
    }
    for (size_t i = 0; i < methodSpec.inCount; ++i) {
        if (!PutInParam(*inParams.get(), methodSpec.in[i], values[i])) return false;
    }
    return true;
}

bool ReadOutParam(IWbemClassObject* outParams, const ParamSpec& paramSpec, const OutSlot& slot) {
    UniqueVariant value;
    // A method that succeeded without an out-parameter object has none of its outputs.
    const HRESULT hr = outParams != nullptr
                           ? outParams->Get(paramSpec.name, 0, value.put(), nullptr, nullptr)
                           : (HRESULT)WBEM_E_NOT_FOUND;
    if (FAILED(hr)) {
        PrintHr(paramSpec.failure, hr);
        return false;
    }
    if (paramSpec.kind == ParamKind::Number) {
        *slot.number = LowWord(value.get());
    } else if (value.get().vt == VT_BSTR && value.get().bstrVal != nullptr) {
        CopyBoundedText(value.get().bstrVal, slot.text, slot.units);
    }
    return true;
}

int RunProviderMethod(const WTolqCore& core, const MethodSpec& methodSpec, const InValue* in,
                      const OutSlot* out) {
    if (!core.services) return 0;
    ComPtr<IWbemClassObject> inParams;
    if (methodSpec.inCount > 0 && !BuildInParams(core, methodSpec, in, inParams)) return 0;
    const ExecFailureReport report{
        kAccessDenied, [&methodSpec](HRESULT hr) { PrintHr(methodSpec.execFailure, hr); }};
    ComPtr<IWbemClassObject> outParams;
    if (!ExecMethodWithRetries(core, methodSpec.row, inParams.get(), outParams, report)) return 0;
    for (size_t i = 0; i < methodSpec.outCount; ++i) {
        if (!ReadOutParam(outParams.get(), methodSpec.out[i], out[i])) return 0;
    }
    return 1;
}

}  // namespace

bool ExecMethodWithRetries(const WTolqCore& core, MethodRow row, IWbemClassObject* inParams,
                           ComPtr<IWbemClassObject>& outParams, const ExecFailureReport& report) {
    for (int attempt = 0; attempt < EXEC_METHOD_ATTEMPTS; ++attempt) {
        const HRESULT hr =
            core.services->ExecMethod(core.instancePath.get(), core.methodNames[row].get(), 0,
                                      nullptr, inParams, outParams.put(), nullptr);
        if (SUCCEEDED(hr)) return true;
        if (hr == (HRESULT)WBEM_E_ACCESS_DENIED) {
            ConsolePrintW(report.accessDenied, (unsigned)WBEM_E_ACCESS_DENIED);
            return false;
        }
        report.attemptFailed(hr);
    }
    return false;
}

int WTolqCore::GetRevision(uint16_t& revision) {
    const OutSlot out[] = {NumberOut(revision)};
    return RunProviderMethod(*this, kGetRevisionMethod, nullptr, out);
}

int WTolqCore::Set(uint16_t itemCode, const wchar_t* value, uint16_t& retCode,
                   wchar_t (&itemCodeText)[SET_TEXT_UNITS], wchar_t (&dataText)[SET_TEXT_UNITS]) {
    const InValue in[] = {NumberIn(itemCode), TextIn(value)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, kSetMethod, in, out);
}

int WTolqCore::Save(uint16_t& retCode) {
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, kSaveMethod, nullptr, out);
}

int WTolqCore::SetPassword(const wchar_t* password, uint16_t& retCode) {
    const InValue in[] = {TextIn(password)};
    const OutSlot out[] = {NumberOut(retCode)};
    return RunProviderMethod(*this, kSetPasswordMethod, in, out);
}

int WTolqCore::EnumSetting(uint16_t index, uint16_t& retCode,
                           wchar_t (&itemCodeText)[ENUM_ITEM_CODE_UNITS],
                           wchar_t (&dataText)[ENUM_DATA_UNITS]) {
    const InValue in[] = {NumberIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText)};
    return RunProviderMethod(*this, kEnumSettingMethod, in, out);
}

int WTolqCore::GetString(uint16_t itemCode, const wchar_t* index, uint16_t& retCode,
                         wchar_t (&itemCodeText)[GET_STRING_ITEM_CODE_UNITS],
                         wchar_t (&dataText)[GET_STRING_NAME_UNITS]) {
    // An item's name may be longer than an option's text; the limit follows the request.
    const size_t dataUnits =
        (index != nullptr && index[0] == L'0') ? GET_STRING_NAME_UNITS : GET_STRING_OPTION_UNITS;
    const InValue in[] = {NumberIn(itemCode), TextIn(index)};
    const OutSlot out[] = {NumberOut(retCode), TextOut(itemCodeText), TextOut(dataText, dataUnits)};
    return RunProviderMethod(*this, kGetStringMethod, in, out);
}
