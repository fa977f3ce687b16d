// The text conversions that the front end, the catalogue, the BIOS interface and the console
// share. The tool's texts are 8-bit bytes; toward the provider each byte becomes the UTF-16 unit
// of the same value, and each unit that comes back becomes its low 8 bits. No code page is
// involved. Case-insensitive comparisons lower-case the ASCII letters A to Z only.
#pragma once

#include <string>
#include <string_view>

namespace velorin::tool {

// Each byte becomes the UTF-16 unit of the same value; c_str() gives the NUL-terminated text
// that the provider takes. A null text gives an empty one.
std::wstring WidenArgument(const char* text);
// The same for text that may hold NUL bytes: each one becomes a NUL unit.
std::wstring WidenBytes(std::string_view text);

// The byte a UTF-16 unit stands for: its low 8 bits.
inline char NarrowUnit(wchar_t unit) {
    return static_cast<char>(static_cast<unsigned char>(static_cast<unsigned>(unit) & 0xFFu));
}

inline char LowerAsciiByte(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline wchar_t LowerAsciiUnit(wchar_t unit) {
    return (unit >= L'A' && unit <= L'Z') ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}
// Lower-cases the ASCII letters A to Z only; every other byte passes unchanged.
std::string LowerAscii(std::string text);

}  // namespace velorin::tool
