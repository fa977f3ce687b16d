#include "standin_calls.h"

#include "bench_machines.h"
#include "com/com_handles.h"

#include <stdexcept>

namespace velorin::tool::bench {

namespace {

bool PutNumber(IWbemClassObject& in, const wchar_t* name, uint16_t number) {
    UniqueVariant value;
    value.get().vt = VT_I4;
    value.get().lVal = number;
    return SUCCEEDED(in.Put(name, 0, &value.get(), CIM_UINT16));
}

bool PutText(IWbemClassObject& in, const wchar_t* name, const wchar_t* text) {
    UniqueVariant value;
    value.get().vt = VT_BSTR;
    value.get().bstrVal = SysAllocString(text);
    return SUCCEEDED(in.Put(name, 0, &value.get(), CIM_STRING));
}

}  // namespace

bool RawGetString(const WTolqCore& core, uint16_t itemCode, const wchar_t* index) {
    ComPtr<IWbemClassObject> in;
    if (FAILED(core.inSignatures[ROW_GET_STRING]->SpawnInstance(0, in.put())) ||
        !PutNumber(*in.get(), L"inItemCode", itemCode) || !PutText(*in.get(), L"inIndex", index)) {
        return false;
    }
    ComPtr<IWbemClassObject> out;
    if (FAILED(core.services->ExecMethod(core.instancePath.get(),
                                         core.methodNames[ROW_GET_STRING].get(), 0, nullptr,
                                         in.get(), out.put(), nullptr))) {
        return false;
    }
    for (const wchar_t* name : {L"RetCode", L"ItemCode", L"Data"}) {
        UniqueVariant value;
        if (FAILED(out.get()->Get(name, 0, value.put(), nullptr, nullptr))) return false;
    }
    return true;
}

double StandinSecondsPerCall(const WTolqCore& core, int items, int calls) {
    const wchar_t* const indexes[] = {L"0", L"1", L"5", L"9"};
    const double start = CpuSeconds();
    for (int n = 0; n < calls; ++n) {
        if (!RawGetString(core, ItemCode(n % items), indexes[n % 4])) {
            throw std::runtime_error("stand-in call failed");
        }
    }
    return (CpuSeconds() - start) / calls;
}

}  // namespace velorin::tool::bench
