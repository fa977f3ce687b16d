#include "sim/machine_file_parser.h"

#include <algorithm>
#include <filesystem>

#include "sim/rule_statements.h"
#include "sim/statement.h"

namespace velorin::sim {
namespace {

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

bool IsWord(const Token& token, const char* word) { return !token.quoted && token.word == word; }

// The statements that only give a text: `NAME "TEXT"`.
struct TextStatement {
    const char* name;
    Text* (*field)(MachineDescription& machine);
};

const TextStatement kTextStatements[] = {
    {"manufacturer", [](MachineDescription& m) { return &m.system.manufacturer; }},
    {"product", [](MachineDescription& m) { return &m.system.product; }},
    {"version", [](MachineDescription& m) { return &m.system.version; }},
    {"serial", [](MachineDescription& m) { return &m.system.serial; }},
    {"sku", [](MachineDescription& m) { return &m.system.sku; }},
    {"family", [](MachineDescription& m) { return &m.system.family; }},
    {"supervisor-password", [](MachineDescription& m) { return &m.supervisorPassword; }},
    {"user-password", [](MachineDescription& m) { return &m.userPassword; }},
};

class MachineFileParser {
  public:
    MachineFileParser(const std::string& path, MachineDescription* machine)
        : path_(path), machine_(machine) {}

    bool Read(const std::vector<Token>& tokens, std::string* error);

  private:
    struct Handler {
        const char* name;
        bool (MachineFileParser::*read)(const Statement&, std::string*);
    };
    static const Handler kHandlers[];

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
        if (s.positional.size() != 1 || !s.keyed.empty() || !IsWord(*s.positional[0], "none")) {
            return Fail(error, "expected: smbios none");
        }
        machine_->smbios.kind = SmbiosSource::Kind::None;
        return true;
    }

    bool SmbiosVersion(const Statement& s, std::string* error) {
        return Shape(s, 1, "smbios-version MAJOR.MINOR", error) &&
               VersionOf(*s.positional[0], &machine_->smbios, error);
    }

    bool ItemStatement(const Statement& s, std::string* error) {
        const std::string usage = "item CODE \"NAME\" current N";
        Item item;
        uint32_t code = 0;
        if (!Shape(s, 4, usage, error)) return false;
        if (!IsWord(*s.positional[2], "current")) return Fail(error, "expected: " + usage);
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
        if (s.positional.empty()) {
            return Fail(error, "expected: option \"TEXT\" [readonly] [retcode=N]");
        }
        Option option;
        if (!TextOf(*s.positional[0], &option.text, error)) return false;
        for (size_t i = 1; i < s.positional.size(); ++i) {
            const Token& flag = *s.positional[i];
            if (!IsWord(flag, "readonly")) {
                return Fail(error, "unknown option flag \"" + flag.word + "\"");
            }
            option.readonly = true;
        }
        for (const Token* key : s.keyed) {
            if (key->key != "retcode") {
                return Fail(error, "unknown key \"" + key->key + "\" in option");
            }
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
        AnswerRule rule;
        if (!ReadAnswerRule(s, &rule, error)) return false;
        machine_->answers.push_back(std::move(rule));
        return true;
    }

    bool Fault(const Statement& s, std::string* error) {
        FaultRule rule;
        if (!ReadFaultRule(s, &rule, error)) return false;
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
    {"item", &MachineFileParser::ItemStatement},
    {"option", &MachineFileParser::OptionStatement},
    {"value", &MachineFileParser::ValueStatement},
    {"answer", &MachineFileParser::Answer},
    {"fault", &MachineFileParser::Fault},
};

bool MachineFileParser::Read(const std::vector<Token>& tokens, std::string* error) {
    Statement s;
    if (!Statement::Split(tokens, &s)) return Fail(error, "expected a statement name");
    for (const Handler& handler : kHandlers) {
        if (s.name == handler.name) return (this->*handler.read)(s, error);
    }
    for (const TextStatement& text : kTextStatements) {
        if (s.name == text.name) {
            return Shape(s, 1, s.name + " \"TEXT\"", error) &&
                   TextOf(*s.positional[0], text.field(*machine_), error);
        }
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
