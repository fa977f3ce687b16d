#include "sim/machine_file_parser.h"

#include <algorithm>
#include <filesystem>

#include "sim/text_syntax.h"

namespace velorin::sim {
namespace {

constexpr uint32_t kAnyNumber = UINT32_MAX;
// EnumSetting reports the current option as the unit 0x30 + index, which must stay one unit.
constexpr uint32_t kMaxCurrentOption = 0xFFFF - 0x30;

// One statement's words after its name: positional ones and key=value ones.
struct Statement {
    std::string name;
    std::vector<const Token*> positional;
    std::vector<const Token*> keyed;
};

bool Fail(std::string* error, std::string what) {
    *error = std::move(what);
    return false;
}

bool NumberOf(const Token& token, uint32_t max, uint32_t* value, std::string* error) {
    if (token.quoted) return Fail(error, "expected a number, not a text");
    if (!ParseNumber(token.word, max, value))
        return Fail(error, "bad number \"" + token.word + "\"");
    return true;
}

bool TextOf(const Token& token, Text* text, std::string* error) {
    if (!token.quoted) return Fail(error, "expected a quoted text, not \"" + token.word + "\"");
    *text = token.text;
    return true;
}

bool Shape(const Statement& s, size_t positional, const std::string& usage, std::string* error) {
    if (s.positional.size() == positional && s.keyed.empty()) return true;
    return Fail(error, "expected: " + usage);
}

bool UuidOf(const Token& token, std::array<uint8_t, 16>* uuid, std::string* error) {
    std::string digits = token.word;
    digits.erase(std::remove(digits.begin(), digits.end(), '-'), digits.end());
    bool ok = !token.quoted && digits.size() == 32;
    for (size_t i = 0; ok && i < 16; ++i) {
        uint32_t byte = 0;
        ok = ParseNumber("0x" + digits.substr(2 * i, 2), 0xFF, &byte);
        (*uuid)[i] = static_cast<uint8_t>(byte);
    }
    return ok || Fail(error, "a uuid is 32 hexadecimal digits");
}

bool VersionOf(const Token& token, SmbiosSource* smbios, std::string* error) {
    size_t dot = token.word.find('.');
    uint32_t major = 0;
    uint32_t minor = 0;
    bool ok = !token.quoted && dot != std::string::npos &&
              ParseNumber(token.word.substr(0, dot), 0xFF, &major) &&
              ParseNumber(token.word.substr(dot + 1), 0xFF, &minor);
    if (!ok) return Fail(error, "expected: smbios-version MAJOR.MINOR");
    smbios->major = static_cast<uint8_t>(major);
    smbios->minor = static_cast<uint8_t>(minor);
    return true;
}

// A key of `answer` or `fault` and how it fills the rule.
template <typename Rule>
struct KeyRule {
    const char* key;
    bool (*apply)(const Token& value, Rule* rule, std::string* error);
};

template <typename Rule, size_t N>
bool ApplyKeys(const Statement& s, const KeyRule<Rule> (&keys)[N], Rule* rule, std::string* error) {
    for (const Token* token : s.keyed) {
        auto known = std::find_if(std::begin(keys), std::end(keys),
                                  [&](const KeyRule<Rule>& k) { return token->key == k.key; });
        if (known == std::end(keys)) {
            return Fail(error, "unknown key \"" + token->key + "\" in " + s.name);
        }
        if (!known->apply(*token, rule, error)) return false;
    }
    return true;
}

template <typename Rule>
bool CounterKey(const Token& value, Rule* rule, bool after, std::string* error) {
    uint32_t n = 0;
    if (!NumberOf(value, kAnyNumber, &n, error)) return false;
    if (after) rule->counter.after = n;
    if (!after) rule->counter.times = n;
    return true;
}

bool OptionalNumber(const Token& value, uint32_t max, std::optional<uint32_t>* out,
                    std::string* error) {
    uint32_t n = 0;
    if (!NumberOf(value, max, &n, error)) return false;
    *out = n;
    return true;
}

bool OptionalText(const Token& value, std::optional<Text>* out, std::string* error) {
    Text text;
    if (!TextOf(value, &text, error)) return false;
    *out = std::move(text);
    return true;
}

// GetString takes its index as text; an unquoted word stands for the text it reads as.
bool AnswerIndex(const Token& value, AnswerRule* rule, std::string* error) {
    if (rule->method == "EnumSetting") {
        return OptionalNumber(value, kAnyNumber, &rule->indexNumber, error);
    }
    if (rule->method != "GetString") return Fail(error, "index= does not apply to " + rule->method);
    rule->indexText = value.quoted ? value.text : Text(value.word.begin(), value.word.end());
    return true;
}

bool AnswerItem(const Token& value, AnswerRule* rule, std::string* error) {
    if (rule->method != "GetString" && rule->method != "Set") {
        return Fail(error, "item= does not apply to " + rule->method);
    }
    return OptionalNumber(value, 0xFFFF, &rule->item, error);
}

const KeyRule<AnswerRule> kAnswerKeys[] = {
    {"item", AnswerItem},
    {"index", AnswerIndex},
    {"retcode", [](const Token& v, AnswerRule* r,
                   std::string* e) { return OptionalNumber(v, kAnyNumber, &r->retcode, e); }},
    {"revision", [](const Token& v, AnswerRule* r,
                    std::string* e) { return OptionalNumber(v, kAnyNumber, &r->revision, e); }},
    {"itemcode", [](const Token& v, AnswerRule* r,
                    std::string* e) { return OptionalText(v, &r->itemcode, e); }},
    {"data",
     [](const Token& v, AnswerRule* r, std::string* e) { return OptionalText(v, &r->data, e); }},
    {"after",
     [](const Token& v, AnswerRule* r, std::string* e) { return CounterKey(v, r, true, e); }},
    {"times",
     [](const Token& v, AnswerRule* r, std::string* e) { return CounterKey(v, r, false, e); }},
};

bool FaultHr(const Token& value, FaultRule* rule, std::string* error) {
    if (!value.quoted && value.word == "none") {
        rule->hr = 1;  // WBEM_S_FALSE: the call succeeds without an object
        return true;
    }
    return NumberOf(value, kAnyNumber, &rule->hr, error);
}

const KeyRule<FaultRule> kFaultKeys[] = {
    {"hr", FaultHr},
    {"after",
     [](const Token& v, FaultRule* r, std::string* e) { return CounterKey(v, r, true, e); }},
    {"times",
     [](const Token& v, FaultRule* r, std::string* e) { return CounterKey(v, r, false, e); }},
};

class MachineFileParser {
  public:
    MachineFileParser(const std::string& path, MachineDescription* machine)
        : path_(path), machine_(machine) {}

    bool Read(const std::vector<Token>& tokens, std::string* error);

  private:
    struct Handler {
        const char* name;
        bool (MachineFileParser::*parse)(const Statement&, std::string*);
    };
    struct TextField {
        const char* name;
        Text SystemInfo::*member;
    };
    static const Handler kHandlers[];
    static const TextField kSystemTexts[];

    bool SystemText(const Statement& s, Text SystemInfo::*member, std::string* error) {
        return Shape(s, 1, s.name + " \"TEXT\"", error) &&
               TextOf(*s.positional[0], &(machine_->system.*member), error);
    }

    bool Revision(const Statement& s, std::string* error) {
        return Shape(s, 1, "revision N", error) &&
               NumberOf(*s.positional[0], kAnyNumber, &machine_->revision, error);
    }

    bool Uuid(const Statement& s, std::string* error) {
        return Shape(s, 1, "uuid HEX32", error) &&
               UuidOf(*s.positional[0], &machine_->system.uuid, error);
    }

    bool WakeUpType(const Statement& s, std::string* error) {
        uint32_t n = 0;
        if (!Shape(s, 1, "wake-up-type N", error) || !NumberOf(*s.positional[0], 0xFF, &n, error)) {
            return false;
        }
        machine_->system.wakeUpType = static_cast<uint8_t>(n);
        return true;
    }

    bool SmbiosFile(const Statement& s, std::string* error) {
        Text name;
        if (!Shape(s, 1, "smbios-file \"PATH\"", error) ||
            !TextOf(*s.positional[0], &name, error)) {
            return false;
        }
        namespace fs = std::filesystem;
        fs::path file = fs::u8path(path_).parent_path() / fs::u8path(ToUtf8(name));
        std::string bytes;
        if (!ReadWholeFile(file.u8string(), &bytes)) {
            return Fail(error, "cannot read the smbios file \"" + file.u8string() + "\"");
        }
        machine_->smbios.kind = SmbiosSource::Kind::File;
        machine_->smbios.fileBytes.assign(bytes.begin(), bytes.end());
        return true;
    }

    bool Smbios(const Statement& s, std::string* error) {
        if (!Shape(s, 1, "smbios none", error)) return false;
        const Token& what = *s.positional[0];
        if (what.quoted || what.word != "none") return Fail(error, "expected: smbios none");
        machine_->smbios.kind = SmbiosSource::Kind::None;
        return true;
    }

    bool SmbiosVersion(const Statement& s, std::string* error) {
        return Shape(s, 1, "smbios-version MAJOR.MINOR", error) &&
               VersionOf(*s.positional[0], &machine_->smbios, error);
    }

    bool SupervisorPassword(const Statement& s, std::string* error) {
        return Shape(s, 1, "supervisor-password \"TEXT\"", error) &&
               TextOf(*s.positional[0], &machine_->supervisorPassword, error);
    }

    bool UserPassword(const Statement& s, std::string* error) {
        return Shape(s, 1, "user-password \"TEXT\"", error) &&
               TextOf(*s.positional[0], &machine_->userPassword, error);
    }

    bool ItemStatement(const Statement& s, std::string* error) {
        const char* usage = "item CODE \"NAME\" current N";
        Item item;
        uint32_t code = 0;
        if (!Shape(s, 4, usage, error)) return false;
        const Token& current = *s.positional[2];
        if (current.quoted || current.word != "current")
            return Fail(error, "expected: " + std::string(usage));
        if (!NumberOf(*s.positional[0], 0xFFFF, &code, error) ||
            !TextOf(*s.positional[1], &item.name, error) ||
            !NumberOf(*s.positional[3], kMaxCurrentOption, &item.current, error)) {
            return false;
        }
        item.code = static_cast<uint16_t>(code);
        machine_->items.push_back(std::move(item));
        return true;
    }

    bool OptionStatement(const Statement& s, std::string* error) {
        if (machine_->items.empty()) return Fail(error, "option before any item");
        if (s.positional.empty())
            return Fail(error, "expected: option \"TEXT\" [readonly] [retcode=N]");
        Option option;
        if (!TextOf(*s.positional[0], &option.text, error)) return false;
        for (size_t i = 1; i < s.positional.size(); ++i) {
            const Token& flag = *s.positional[i];
            if (flag.quoted || flag.word != "readonly") {
                return Fail(error, "unknown option flag \"" + flag.word + "\"");
            }
            option.readonly = true;
        }
        for (const Token* key : s.keyed) {
            if (key->key != "retcode")
                return Fail(error, "unknown key \"" + key->key + "\" in option");
            if (!OptionalNumber(*key, kAnyNumber, &option.retcode, error)) return false;
        }
        machine_->items.back().options.push_back(std::move(option));
        return true;
    }

    bool ValueStatement(const Statement& s, std::string* error) {
        if (machine_->items.empty()) return Fail(error, "value before any item");
        return Shape(s, 1, "value \"TEXT\"", error) &&
               TextOf(*s.positional[0], &machine_->items.back().value, error);
    }

    bool Answer(const Statement& s, std::string* error) {
        if (s.positional.size() != 1) return Fail(error, "expected: answer METHOD [key=value ...]");
        const Token& method = *s.positional[0];
        if (method.quoted || !IsAnswerableMethod(method.word)) {
            return Fail(error, "no answer can be given for \"" + method.word + "\"");
        }
        AnswerRule rule;
        rule.method = method.word;
        if (!ApplyKeys(s, kAnswerKeys, &rule, error)) return false;
        machine_->answers.push_back(std::move(rule));
        return true;
    }

    bool Fault(const Statement& s, std::string* error) {
        FaultRule rule;
        bool shaped =
            s.positional.size() == 1 || (s.positional.size() == 2 && s.positional[1]->quoted);
        if (!shaped || s.positional[0]->quoted) {
            return Fail(error, "expected: fault CALL [\"TARGET\"] hr=0xHHHHHHHH");
        }
        rule.call = s.positional[0]->word;
        if (!IsFaultableCall(rule.call))
            return Fail(error, "no fault can be set on \"" + rule.call + "\"");
        if (s.positional.size() == 2) rule.target = s.positional[1]->text;
        bool hasHr = std::any_of(s.keyed.begin(), s.keyed.end(),
                                 [](const Token* t) { return t->key == "hr"; });
        if (!hasHr) return Fail(error, "a fault needs hr=");
        if (!ApplyKeys(s, kFaultKeys, &rule, error)) return false;
        machine_->faults.push_back(std::move(rule));
        return true;
    }

    const std::string& path_;
    MachineDescription* machine_;
};

const MachineFileParser::Handler MachineFileParser::kHandlers[] = {
    {"revision", &MachineFileParser::Revision},
    {"uuid", &MachineFileParser::Uuid},
    {"wake-up-type", &MachineFileParser::WakeUpType},
    {"smbios-file", &MachineFileParser::SmbiosFile},
    {"smbios", &MachineFileParser::Smbios},
    {"smbios-version", &MachineFileParser::SmbiosVersion},
    {"supervisor-password", &MachineFileParser::SupervisorPassword},
    {"user-password", &MachineFileParser::UserPassword},
    {"item", &MachineFileParser::ItemStatement},
    {"option", &MachineFileParser::OptionStatement},
    {"value", &MachineFileParser::ValueStatement},
    {"answer", &MachineFileParser::Answer},
    {"fault", &MachineFileParser::Fault},
};

const MachineFileParser::TextField MachineFileParser::kSystemTexts[] = {
    {"manufacturer", &SystemInfo::manufacturer},
    {"product", &SystemInfo::product},
    {"version", &SystemInfo::version},
    {"serial", &SystemInfo::serial},
    {"sku", &SystemInfo::sku},
    {"family", &SystemInfo::family},
};

bool MachineFileParser::Read(const std::vector<Token>& tokens, std::string* error) {
    const Token& head = tokens.front();
    if (head.quoted || !head.key.empty()) return Fail(error, "expected a statement name");
    Statement s{head.word, {}, {}};
    for (auto it = tokens.begin() + 1; it != tokens.end(); ++it) {
        (it->key.empty() ? s.positional : s.keyed).push_back(&*it);
    }
    for (const Handler& handler : kHandlers) {
        if (s.name == handler.name) return (this->*handler.parse)(s, error);
    }
    for (const TextField& field : kSystemTexts) {
        if (s.name == field.name) return SystemText(s, field.member, error);
    }
    return Fail(error, "unknown statement \"" + s.name + "\"");
}

}  // namespace

bool ParseMachineFile(std::string_view text, const std::string& path, MachineDescription* machine,
                      std::string* error) {
    MachineFileParser parser(path, machine);
    return ForEachStatement(text, path, error,
                            [&](const std::vector<Token>& tokens, std::string* what) {
                                return parser.Read(tokens, what);
                            });
}

}  // namespace velorin::sim
