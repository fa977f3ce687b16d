#include "report/text_conversion.h"

namespace velorin::tool {

std::wstring WidenArgument(const char* text) {
    return text == nullptr ? std::wstring() : WidenBytes(text);
}

std::wstring WidenBytes(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char byte : text)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return wide;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAsciiByte(c);
    return text;
}

}  // namespace velorin::tool
