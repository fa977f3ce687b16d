#include "bios/wmi_helpers.h"

#include "report/console.h"
#include "report/text_conversion.h"

#include <new>
#include <string>

namespace velorin::tool {

void PrintHr(const wchar_t* format, HRESULT hr, int detail) {
    ConsolePrintW(format, static_cast<unsigned>(hr), detail);
}

UniqueBstr MakeBstr(const wchar_t* text) {
    UniqueBstr bstr(SysAllocString(text));
    if (!bstr) throw std::bad_alloc();
    return bstr;
}

UniqueBstr MakeBstrFromNarrow(const char* text) { return MakeBstr(WidenArgument(text).c_str()); }

ConnectResult ConnectNamespace(const wchar_t* nameSpace, ComPtr<IWbemLocator>& locator,
                               ComPtr<IWbemServices>& services) {
    HRESULT hr = CreateWbemLocator(locator.put());
    if (FAILED(hr)) return {hr, ConnectStep::CreateLocator};
    {
        // The namespace text lives for the one call only.
        const UniqueBstr name = MakeBstr(nameSpace);
        hr = locator->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.put());
    }
    if (FAILED(hr)) return {hr, ConnectStep::ConnectServer};
    hr = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                           RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return {hr, ConnectStep::SetProxyBlanket};
}

}  // namespace velorin::tool
