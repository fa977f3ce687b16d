// The line syntax shared by machine files and NVRAM files: words, quoted texts, key=value
// pairs, numbers, and the escapes that let any UTF-16 text be written down.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/machine.h"

namespace velorin::sim {

struct Token {
    std::string key;  // set for key=value; the value is the rest of the token
    bool quoted = false;
    std::string word;  // the bare word when not quoted
    Text text;         // the decoded text when quoted
};

// Splits one line into tokens, dropping blanks and a `#` comment. False with `error` set on
// an unterminated text, bad UTF-8 or a malformed key=value.
bool SplitLine(std::string_view line, std::vector<Token>* tokens, std::string* error);

// Hands the tokens of each line of `text` that has any to `statement`, which sets its
// error text and returns false on a bad statement. Stops at the first failure with `error`
// set to "FILE:LINE: what is wrong".
using StatementHandler = std::function<bool(const std::vector<Token>&, std::string*)>;
bool ForEachStatement(std::string_view text, const std::string& path, std::string* error,
                      const StatementHandler& statement);

// Reads a whole file as bytes; false when it cannot be read (a missing file included).
bool ReadWholeFile(const std::string& path, std::string* contents);

// Decimal or 0x hexadecimal, at most `max`.
bool ParseNumber(std::string_view word, uint32_t max, uint32_t* value);

// A quoted text that SplitLine reads back as exactly `text`.
std::string QuoteText(const Text& text);

// `text` as UTF-8 (lone surrogates as U+FFFD), for paths and messages.
std::string ToUtf8(const Text& text);

// Upper-case hexadecimal without a prefix, at least `minDigits` digits.
Text HexText(uint32_t value, int minDigits);

// Names in rules, namespaces, classes and properties compare without regard to ASCII case.
bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// The parameter `name` when it is present and of `kind`, else null.
const Value* FindParam(const Params& params, const char* name, Value::Kind kind);

}  // namespace velorin::sim
