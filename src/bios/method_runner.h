// The road that every BiosManager method call takes: spawn the in-parameter object from the
// method's signature, put each in-parameter, ExecMethod with retries, get each out-parameter.
// A method is a row of data (MethodSpec) and RunProviderMethod walks the road for it.
#pragma once

#include "bios/wtolq_core.h"
#include "com/com_handles.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velorin::tool {

// Number: 16 bits as VT_I4 and CIM_UINT16. Text: a BSTR and CIM_STRING. Object: an embedded
// WMI object as VT_UNKNOWN, CIM type 0.
enum class ParamKind { Number, Text, Object };

struct ParamSpec {
    const wchar_t* name;
    ParamKind kind;
    const wchar_t* failure;  // the Put line of an in-parameter, the Get line of an out-parameter
};

// The lines of the road itself, beside those of the parameters and of ExecMethod.
struct CallLines {
    const wchar_t* spawnFailure;
    const wchar_t* accessDenied;  // always shown with 80041003
};

inline constexpr CallLines PROVIDER_CALL_LINES = {
    L"ERROR:: WTOLQ Call:: WTOLQ SpawnInstance() - InParam, hr=%08X\n",
    L"ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=%08X\n",
};

constexpr size_t MAX_IN_PARAMS = 2;
constexpr size_t MAX_OUT_PARAMS = 3;

struct MethodSpec {
    MethodRow row;
    size_t inCount;  // 0: the method is called without an in-parameter object
    ParamSpec in[MAX_IN_PARAMS];
    const wchar_t* execFailure;  // printed with the HRESULT of each failed attempt
    size_t outCount;
    ParamSpec out[MAX_OUT_PARAMS];
    const CallLines* lines = &PROVIDER_CALL_LINES;
};

// The caller's value of one in-parameter, by the parameter's kind.
struct InValue {
    uint16_t number;
    const wchar_t* text;
    IUnknown* object;
};

// Where one out-parameter goes: `number`, the text buffer of `units` UTF-16 units, or `object`.
struct OutSlot {
    uint16_t* number;
    wchar_t* text;
    size_t units;
    ComPtr<IWbemClassObject>* object;
};

inline InValue NumberIn(uint16_t number) { return {number, nullptr, nullptr}; }
inline InValue TextIn(const wchar_t* text) { return {0, text, nullptr}; }
inline InValue ObjectIn(IUnknown& object) { return {0, nullptr, &object}; }
inline OutSlot NumberOut(uint16_t& number) { return {&number, nullptr, 0, nullptr}; }
inline OutSlot TextOut(wchar_t* text, size_t units) { return {nullptr, text, units, nullptr}; }
template <size_t N>
OutSlot TextOut(wchar_t (&text)[N]) {
    return TextOut(text, N);
}
inline OutSlot ObjectOut(ComPtr<IWbemClassObject>& object) {
    return {nullptr, nullptr, 0, &object};
}

// Prints the line of one failed ExecMethod attempt.
using AttemptFailed = std::function<void(HRESULT)>;

// 1 when every step succeeded, else 0 after the step's line was printed (none when there is no
// connection or the class lacks the method). Out-values read before a failure stay written.
// `attemptFailed` prints a method's own line for a failed attempt where that line needs more
// than the HRESULT.
int RunProviderMethod(const WTolqCore& core, const MethodSpec& methodSpec, const InValue* in,
                      const OutSlot* out, const AttemptFailed& attemptFailed = {});

}  // namespace velorin::tool
