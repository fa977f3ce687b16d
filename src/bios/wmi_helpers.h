// Pieces shared by the WMI code of src/bios: the diagnostic line with an HRESULT, BSTR
// construction that treats a failed allocation as fatal, and the opening of a namespace that
// the connection and the SMBIOS reader share. The method calls have a road of their own
// (bios/method_runner.h).
#pragma once

#include "bios/wtolq_core.h"
#include "com/com_handles.h"

namespace velorin::tool {

// Prints one of the interface's diagnostic lines; `format` takes the HRESULT in its %08X
// field, and `detail` after it where a line shows a count as well.
void PrintHr(const wchar_t* format, HRESULT hr, int detail = 0);

// A BSTR copy of `text`; running out of memory throws std::bad_alloc, which nothing catches.
UniqueBstr MakeBstr(const wchar_t* text);
// A BSTR of 8-bit text, each byte becoming the UTF-16 unit of the same value.
UniqueBstr MakeBstrFromNarrow(const char* text);

// The steps of opening a namespace, in their order.
enum class ConnectStep { CreateLocator, ConnectServer, SetProxyBlanket };
constexpr int CONNECT_STEP_COUNT = 3;

struct ConnectResult {
    HRESULT hr;
    ConnectStep failedStep;  // meaningful only when `hr` failed
};

// Creates the locator, connects it to `nameSpace` and sets the proxy blanket that every call of
// the tool runs under (WinNT authentication per call, impersonation). Prints nothing; on
// failure it names the step that failed.
ConnectResult ConnectNamespace(const wchar_t* nameSpace, ComPtr<IWbemLocator>& locator,
                               ComPtr<IWbemServices>& services);

}  // namespace velorin::tool
