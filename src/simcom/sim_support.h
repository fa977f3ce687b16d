// Small helpers shared by the simulated WMI objects and the platform stand-in: text between
// the platform's wide strings and the machine's UTF-16, and the gate through which every
// simulated platform call meets the machine's fault rules.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace velorin::simcom {

// A platform wide string as UTF-16 units (wchar_t holds one unit); null gives "".
std::u16string TextOf(const wchar_t* text);
std::u16string TextOfAscii(std::string_view text);
// The name as 8-bit ASCII, or nothing when it holds a unit above 0x7F.
std::optional<std::string> AsciiOf(std::u16string_view text);
// Names of namespaces, classes, properties and methods compare without regard to ASCII case.
bool SameName(std::u16string_view a, std::u16string_view b);
// A new BSTR of `text`; null when out of memory.
BSTR AllocBstr(std::u16string_view text);
// VariantCopy from a const source (MinGW's header declares the source without const).
inline HRESULT CopyVariant(VARIANT& to, const VARIANT& from) {
    return VariantCopy(&to, const_cast<VARIANT*>(&from));
}

// The HRESULT that a fault rule of the current machine gives this call, if one applies.
std::optional<HRESULT> InjectedFault(std::string_view call, std::u16string_view target = {});

// Runs `body` unless a fault rule fails the call first. A rule whose HRESULT is a success
// code lets the call do its work and replaces only the status it returns, so a caller never
// receives a success status without the object it asked for.
template <typename Body>
HRESULT WithFault(std::string_view call, std::u16string_view target, Body&& body) {
    std::optional<HRESULT> fault = InjectedFault(call, target);
    if (fault && FAILED(*fault)) return *fault;
    HRESULT hr = body();
    return (fault && SUCCEEDED(hr)) ? *fault : hr;
}

}  // namespace velorin::simcom
