#include "app/report/text_conversion.h"

std::wstring WidenArgument(const char* text) {
    std::wstring wide;
    if (text == nullptr) return wide;
    for (const char* unit = text; *unit != '\0'; ++unit) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*unit)));
    }
    return wide;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAsciiByte(c);
    return text;
}
