#include "sim/provider.h"

#include <algorithm>
#include <optional>

#include "sim/text_syntax.h"

namespace velorin::sim {
namespace {

constexpr uint32_t kCountRequest = 0xFFFF;
constexpr uint32_t kRetSuccess = 0;
constexpr uint32_t kRetGarbage = 1;
constexpr uint32_t kRetNotAuthorised = 2;
constexpr uint32_t kRetReadOnly = 7;
constexpr uint32_t kRetNoSupervisorPassword = 10;
constexpr uint32_t kRetPasswordTooLong = 11;
constexpr uint32_t kRetEndOfOptions = 14;
constexpr size_t kMaxPasswordUnits = 20;
constexpr size_t kRawRequestBytes = 21;
constexpr size_t kRawFlagByte = 4;
constexpr uint8_t kRawDone = 0xAA;

Answer Reply(uint32_t retCode, Text itemCode, Text data, Effect effect = {}) {
    Params out{{"RetCode", Value::OfNumber(retCode)},
               {"ItemCode", Value::OfText(std::move(itemCode))},
               {"Data", Value::OfText(std::move(data))}};
    return {std::move(out), std::move(effect)};
}

Answer Garbage() { return Reply(kRetGarbage, u"", u""); }
Answer RetCodeOnly(uint32_t retCode, Effect effect = {}) {
    return {{{"RetCode", Value::OfNumber(retCode)}}, std::move(effect)};
}

Text ItemCodeText(uint32_t code) { return HexText(code, 4); }

// Decimal digits only; a value too large for 32 bits reads as the largest.
std::optional<uint32_t> DecimalValue(const Text& text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char16_t unit : text) {
        if (unit < u'0' || unit > u'9') return std::nullopt;
        value = std::min<uint64_t>(value * 10 + (unit - u'0'), UINT32_MAX);
    }
    return static_cast<uint32_t>(value);
}

// The firmware reads one unit above '0' as an offset from '0', so ":" asks for option 10.
std::optional<uint32_t> OptionNumberOfIndex(const Text& index) {
    if (index.size() == 1 && index[0] > u'0') return index[0] - uint32_t(u'0');
    if (index.empty()) return 0;
    return DecimalValue(index);
}

Answer RawRequest(const Value* request) {
    std::vector<uint8_t> bytes = request ? request->bytes : std::vector<uint8_t>();
    if (bytes.size() < kRawRequestBytes) bytes.resize(kRawRequestBytes, 0);
    bytes[kRawFlagByte] = kRawDone;
    return {{{"outData", Value::OfBytes(std::move(bytes))}}, {}};
}

Answer GetRevision(const SessionView& s, const Params& in) {
    if (in.count("inData")) return RawRequest(FindParam(in, "inData", Value::Kind::Bytes));
    return {{{"Revision", Value::OfNumber(s.machine.revision)}}, {}};
}

Answer EnumSetting(const SessionView& s, const Params& in) {
    const Value* index = FindParam(in, "inIndex", Value::Kind::Number);
    if (index == nullptr) return Garbage();
    const auto& items = s.machine.items;
    if (index->number == kCountRequest)
        return Reply(kRetSuccess, HexText(uint32_t(items.size()), 1), u"");
    if (index->number >= items.size()) return Garbage();
    const Item& item = items[index->number];
    return Reply(kRetSuccess, ItemCodeText(item.code), Text(1, char16_t(u'0' + item.current)));
}

Answer GetString(const SessionView& s, const Params& in) {
    const Value* code = FindParam(in, "inItemCode", Value::Kind::Number);
    const Value* index = FindParam(in, "inIndex", Value::Kind::Text);
    const Item* item = code ? s.machine.FindItem(code->number) : nullptr;
    if (item == nullptr || index == nullptr) return Garbage();
    Text itemCode = ItemCodeText(item->code);
    if (index->text == u"0") return Reply(kRetSuccess, itemCode, item->name);
    std::optional<uint32_t> j = OptionNumberOfIndex(index->text);
    if (!j) return Garbage();
    size_t n = item->options.size();
    if (*j == 0) return Reply(kRetEndOfOptions, itemCode, item->value);
    if (*j > n) return Reply(kRetEndOfOptions, itemCode, n ? item->options[n - 1].text : u"");
    const Option& option = item->options[*j - 1];
    uint32_t retCode = option.retcode    ? *option.retcode
                       : option.readonly ? kRetReadOnly
                                         : kRetSuccess;
    return Reply(retCode, itemCode, option.text);
}

Answer SetPasswordItem(const SessionView& s, uint32_t code, const Text& password) {
    Text itemCode = ItemCodeText(code);
    if (!s.authorised) return Reply(kRetNotAuthorised, itemCode, u"");
    if (password.size() > kMaxPasswordUnits) return Reply(kRetPasswordTooLong, itemCode, u"");
    if (code == kUserPasswordCode && s.machine.supervisorPassword.empty()) {
        return Reply(kRetNoSupervisorPassword, itemCode, u"");
    }
    return Reply(kRetSuccess, itemCode, u"", {Effect::Kind::SetPassword, code, 0, password});
}

Answer Set(const SessionView& s, const Params& in) {
    const Value* code = FindParam(in, "inItemCode", Value::Kind::Number);
    const Value* data = FindParam(in, "inSetData", Value::Kind::Text);
    if (code == nullptr || data == nullptr) return Garbage();
    if (code->number == kSupervisorPasswordCode || code->number == kUserPasswordCode) {
        return SetPasswordItem(s, code->number, data->text);
    }
    const Item* item = s.machine.FindItem(code->number);
    if (item == nullptr) return Garbage();
    auto reply = [&](uint32_t retCode, Effect effect = {}) {
        return Reply(retCode, ItemCodeText(item->code), data->text, std::move(effect));
    };
    if (s.machine.supervisorPassword.empty()) return reply(kRetNoSupervisorPassword);
    if (!s.authorised) return reply(kRetNotAuthorised);
    std::optional<uint32_t> j = DecimalValue(data->text);
    if (!j || *j == 0 || *j > item->options.size()) return reply(kRetGarbage);
    if (item->options[*j - 1].readonly) return reply(kRetReadOnly);
    return reply(kRetSuccess, {Effect::Kind::SelectOption, item->code, *j, u""});
}

Answer SetPassword(const SessionView& s, const Params& in) {
    const Value* password = FindParam(in, "Password", Value::Kind::Text);
    if (password == nullptr) return RetCodeOnly(kRetGarbage);
    if (password->text != s.machine.supervisorPassword) return RetCodeOnly(kRetNotAuthorised);
    return RetCodeOnly(kRetSuccess, {Effect::Kind::Authorise, 0, 0, u""});
}

Answer Save(const SessionView&, const Params&) {
    return RetCodeOnly(kRetSuccess, {Effect::Kind::Save, 0, 0, u""});
}

// Methods the class declares that no firmware of this kind implements.
Answer Unsupported(const SessionView&, const Params&) { return RetCodeOnly(kRetGarbage); }

struct MethodAnswer {
    std::string_view method;
    Answer (*answer)(const SessionView&, const Params&);
};

constexpr MethodAnswer kMethods[] = {
    {"GetRevision", GetRevision}, {"EnumSetting", EnumSetting},
    {"GetString", GetString},     {"Set", Set},
    {"SetPassword", SetPassword}, {"Save", Save},
    {"Get", Unsupported},         {"LoadDefault", Unsupported},
};

}  // namespace

Answer NaturalAnswer(const SessionView& session, std::string_view method, const Params& in) {
    for (const MethodAnswer& m : kMethods) {
        if (m.method == method) return m.answer(session, in);
    }
    return {};
}

}  // namespace velorin::sim
