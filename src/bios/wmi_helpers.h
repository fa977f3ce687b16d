// Small pieces shared by the WMI code of src/bios: BSTR construction that treats a failed
// allocation as fatal, and the ExecMethod retry rule that every provider call follows.
#pragma once

#include "com/com_handles.h"
#include "bios/wtolq_core.h"

#include <functional>

// A BSTR copy of `text`; running out of memory throws std::bad_alloc, which nothing catches.
UniqueBstr MakeBstr(const wchar_t* text);
// A BSTR of 8-bit text, each byte becoming the UTF-16 unit of the same value.
UniqueBstr MakeBstrFromNarrow(const char* text);

// What ExecMethodWithRetries prints: the access-denied line (always shown with 80041003)
// and the line for any other failed attempt.
struct ExecFailureReport {
    const wchar_t* accessDenied;
    std::function<void(HRESULT)> attemptFailed;
};

constexpr int EXEC_METHOD_ATTEMPTS = 3;

// Runs the method of `row` on the BiosManager instance, up to EXEC_METHOD_ATTEMPTS times.
// Access denied is not retried: a non-administrator cannot become one between attempts.
bool ExecMethodWithRetries(const WTolqCore& core, MethodRow row, IWbemClassObject* inParams,
                           ComPtr<IWbemClassObject>& outParams, const ExecFailureReport& report);
