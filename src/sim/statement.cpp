#include "sim/statement.h"

namespace velorin::sim {

bool Statement::Split(const std::vector<Token>& tokens, Statement* statement) {
    const Token& head = tokens.front();
    if (head.quoted || !head.key.empty()) return false;
    statement->name = head.word;
    for (auto it = tokens.begin() + 1; it != tokens.end(); ++it) {
        (it->key.empty() ? statement->positional : statement->keyed).push_back(&*it);
    }
    return true;
}

bool Fail(std::string* error, std::string what) {
    *error = std::move(what);
    return false;
}

bool NumberOf(const Token& token, uint32_t max, uint32_t* value, std::string* error) {
    if (token.quoted) return Fail(error, "expected a number, not a text");
    if (!ParseNumber(token.word, max, value)) {
        return Fail(error, "bad number \"" + token.word + "\"");
    }
    return true;
}

bool TextOf(const Token& token, Text* text, std::string* error) {
    if (!token.quoted) return Fail(error, "expected a quoted text, not \"" + token.word + "\"");
    *text = token.text;
    return true;
}

bool OptionalNumber(const Token& token, uint32_t max, std::optional<uint32_t>* value,
                    std::string* error) {
    uint32_t n = 0;
    if (!NumberOf(token, max, &n, error)) return false;
    *value = n;
    return true;
}

bool OptionalText(const Token& token, std::optional<Text>* text, std::string* error) {
    Text t;
    if (!TextOf(token, &t, error)) return false;
    *text = std::move(t);
    return true;
}

bool Shape(const Statement& s, size_t positional, const std::string& usage, std::string* error) {
    if (s.positional.size() == positional && s.keyed.empty()) return true;
    return Fail(error, "expected: " + usage);
}

}  // namespace velorin::sim
