#include "catalog/config_tool.h"

namespace velorin::tool {

ConfigTool::ConfigTool() : core(std::make_unique<WTolqCore>()) {
    // A connection that failed is not fatal here: the first provider call reports it.
    static_cast<void>(core->Init());
}

// A unit whose low byte is a control character would put a line end or another control byte
// into the export and let a provider text forge lines of it; it becomes '?' instead.
std::string NarrowText(const wchar_t* text) {
    std::string narrow;
    if (text == nullptr) return narrow;
    for (; *text != L'\0'; ++text) {
        const char low = NarrowUnit(*text);
        const auto value = static_cast<unsigned char>(low);
        narrow.push_back(value < 0x20u || value == 0x7Fu ? '?' : low);
    }
    return narrow;
}

void TextList::push_back(std::string_view text) {
    bytes_.append(text);
    ends_.push_back(static_cast<uint32_t>(bytes_.size()));
}

void TextList::clear() {
    bytes_.clear();
    ends_.clear();
}

std::string_view TextList::operator[](size_t index) const {
    const size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(bytes_).substr(begin, ends_[index] - begin);
}

}  // namespace velorin::tool
