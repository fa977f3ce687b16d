// One statement of a machine file split into its words, and the checks its readers share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/text_syntax.h"

namespace velorin::sim {

constexpr uint32_t kAnyNumber = UINT32_MAX;

struct Statement {
    std::string name;
    std::vector<const Token*> positional;
    std::vector<const Token*> keyed;  // key=value words

    // False when the first token is not a bare statement name.
    static bool Split(const std::vector<Token>& tokens, Statement* statement);
};

// Each returns false with `error` set, so that readers can chain them with &&.
bool Fail(std::string* error, std::string what);
bool NumberOf(const Token& token, uint32_t max, uint32_t* value, std::string* error);
bool TextOf(const Token& token, Text* text, std::string* error);
bool OptionalNumber(const Token& token, uint32_t max, std::optional<uint32_t>* value,
                    std::string* error);
bool OptionalText(const Token& token, std::optional<Text>* text, std::string* error);
// Exactly `positional` plain words and no keys.
bool Shape(const Statement& s, size_t positional, const std::string& usage, std::string* error);

}  // namespace velorin::sim
