#include "simcom/sim_support.h"

#include "sim/machine.h"
#include "sim/text_syntax.h"

#include <cstdint>

namespace velorin::simcom {

std::u16string TextOf(const wchar_t* text) {
    std::u16string units;
    if (text == nullptr) return units;
    for (; *text != 0; ++text) {
        units.push_back(static_cast<char16_t>(static_cast<uint32_t>(*text) & 0xFFFFu));
    }
    return units;
}

std::u16string TextOfAscii(std::string_view text) {
    std::u16string units;
    for (char c : text) units.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return units;
}

std::optional<std::string> AsciiOf(std::u16string_view text) {
    std::string narrow;
    for (char16_t unit : text) {
        if (unit > 0x7F) return std::nullopt;
        narrow.push_back(static_cast<char>(unit));
    }
    return narrow;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return sim::EqualIgnoringAsciiCase(a, b);
}

BSTR AllocBstr(std::u16string_view text) {
    std::wstring wide(text.begin(), text.end());
    return SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
}

std::optional<HRESULT> InjectedFault(std::string_view call, std::u16string_view target) {
    std::optional<uint32_t> status = sim::Machine::Current().Fault(call, target);
    if (!status) return std::nullopt;
    return static_cast<HRESULT>(*status);
}

}  // namespace velorin::simcom
