// BSTRs as OLE lays them out: a 4-byte length in bytes, the text, then a terminating NUL
// unit. The BSTR points at the text, so it reads as an ordinary NUL-terminated string.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using LengthPrefix = uint32_t;

constexpr size_t kMaxUnits = (std::numeric_limits<LengthPrefix>::max() / sizeof(OLECHAR)) - 1;

size_t UnitCount(const OLECHAR* text) {
    size_t count = 0;
    while (text[count] != 0) ++count;
    return count;
}

LengthPrefix* PrefixOf(BSTR text) { return reinterpret_cast<LengthPrefix*>(text) - 1; }

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr) return nullptr;
    size_t units = UnitCount(psz);
    if (units > kMaxUnits) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(units));
}

// The block crosses a C interface and is released by SysFreeString, so it comes from malloc.
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (ui > kMaxUnits) return nullptr;
    size_t textBytes = static_cast<size_t>(ui) * sizeof(OLECHAR);
    void* block = std::malloc(sizeof(LengthPrefix) + textBytes + sizeof(OLECHAR));
    if (block == nullptr) return nullptr;
    auto* prefix = static_cast<LengthPrefix*>(block);
    *prefix = static_cast<LengthPrefix>(textBytes);
    BSTR text = reinterpret_cast<BSTR>(prefix + 1);
    if (strIn != nullptr) {
        std::memcpy(text, strIn, textBytes);
    } else {
        std::memset(text, 0, textBytes);
    }
    text[ui] = 0;
    return text;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString != nullptr) std::free(PrefixOf(bstrString));
}

UINT SysStringLen(BSTR pbstr) {
    if (pbstr == nullptr) return 0;
    return static_cast<UINT>(*PrefixOf(pbstr) / sizeof(OLECHAR));
}
