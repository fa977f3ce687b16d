#include "sim/text_syntax.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace velorin::sim {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsWordChar(char c) { return !IsBlank(c) && c != '#' && c != '"' && c != '='; }

// Windows refuses to open a file for the moment that another process renames a new one over it
// (a sharing violation), so a reader there tries again for a while, as the writer does.
#ifdef _WIN32
constexpr int kOpenAttempts = 50;
#else
constexpr int kOpenAttempts = 1;
#endif

void OpenForReading(const std::filesystem::path& file, std::ifstream& in) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        in.open(file, std::ios::binary);
        if (in.is_open()) return;
        in.clear();
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads one line; every Read* stops at the first byte it does not take.
class LineLexer {
  public:
    LineLexer(std::string_view line, std::string* error) : line_(line), error_(error) {}

    bool Run(std::vector<Token>* tokens) {
        for (SkipBlanks(); !AtLineEnd(); SkipBlanks()) {
            Token token;
            if (!ReadToken(&token)) return false;
            if (!AtLineEnd() && !IsBlank(Peek())) return Fail("a blank must follow each word");
            tokens->push_back(std::move(token));
        }
        return true;
    }

  private:
    bool AtLineEnd() const { return pos_ >= line_.size() || line_[pos_] == '#'; }
    bool AtEnd() const { return pos_ >= line_.size(); }
    char Peek() const { return line_[pos_]; }
    uint8_t Byte(size_t at) const { return static_cast<uint8_t>(line_[at]); }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) ++pos_;
    }
    bool Fail(const char* what) {
        *error_ = what;
        return false;
    }

    bool ReadToken(Token* token) {
        if (Peek() == '"') return ReadQuoted(token);
        std::string word = ReadWord();
        if (AtEnd() || Peek() != '=') {
            token->word = std::move(word);
            return true;
        }
        if (word.empty()) return Fail("a key must come before '='");
        token->key = std::move(word);
        ++pos_;
        if (!AtEnd() && Peek() == '"') return ReadQuoted(token);
        token->word = ReadWord();
        if (token->word.empty()) return Fail("missing value after '='");
        return AtLineEnd() || IsBlank(Peek()) || Fail("unexpected character in a value");
    }

    std::string ReadWord() {
        size_t start = pos_;
        while (!AtEnd() && IsWordChar(Peek())) ++pos_;
        return std::string(line_.substr(start, pos_ - start));
    }

    bool ReadQuoted(Token* token) {
        token->quoted = true;
        ++pos_;
        while (!AtEnd()) {
            char c = Peek();
            if (c == '"') {
                ++pos_;
                return true;
            }
            bool ok = c == '\\' ? ReadEscape(&token->text) : ReadUtf8(&token->text);
            if (!ok) return false;
        }
        return Fail("unterminated text");
    }

    // A backslash that starts no escape stands for itself, so Windows paths read as written.
    bool ReadEscape(Text* text) {
        ++pos_;
        if (AtEnd()) {
            text->push_back(u'\\');
            return true;
        }
        char c = Peek();
        if (c == '\\' || c == '"') {
            text->push_back(static_cast<char16_t>(c));
            ++pos_;
            return true;
        }
        size_t digits = c == 'x' ? 2 : c == 'u' ? 4 : 0;
        uint32_t unit = 0;
        bool hex = digits != 0 && pos_ + digits < line_.size();
        for (size_t i = 1; hex && i <= digits; ++i) {
            int d = HexDigit(line_[pos_ + i]);
            hex = d >= 0;
            unit = unit * 16 + static_cast<uint32_t>(d);
        }
        if (!hex) {
            text->push_back(u'\\');
            return true;
        }
        text->push_back(static_cast<char16_t>(unit));
        pos_ += digits + 1;
        return true;
    }

    bool ReadUtf8(Text* text) {
        uint8_t lead = Byte(pos_);
        if (lead < 0x80) {
            text->push_back(lead);
            ++pos_;
            return true;
        }
        if (lead >= 0xF0 && lead <= 0xF4) return Fail("character above U+FFFF in a text");
        size_t extra = (lead >= 0xC2 && lead <= 0xDF) ? 1 : (lead & 0xF0) == 0xE0 ? 2 : 0;
        if (extra == 0 || pos_ + extra >= line_.size()) return Fail("bad UTF-8 in a text");
        uint32_t code = lead & (extra == 1 ? 0x1Fu : 0x0Fu);
        for (size_t i = 1; i <= extra; ++i) {
            if ((Byte(pos_ + i) & 0xC0) != 0x80) return Fail("bad UTF-8 in a text");
            code = (code << 6) | (Byte(pos_ + i) & 0x3Fu);
        }
        bool overlong = extra == 2 && code < 0x800;
        if (overlong || (code >= 0xD800 && code <= 0xDFFF)) return Fail("bad UTF-8 in a text");
        text->push_back(static_cast<char16_t>(code));
        pos_ += extra + 1;
        return true;
    }

    std::string_view line_;
    std::string* error_;
    size_t pos_ = 0;
};

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
        return;
    }
    int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static constexpr uint8_t kLeads[] = {0, 0xC0, 0xE0, 0xF0};
    out->push_back(static_cast<char>(kLeads[extra] | (code >> (6 * extra))));
    for (int i = extra - 1; i >= 0; --i) {
        out->push_back(static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F)));
    }
}

}  // namespace

bool SplitLine(std::string_view line, std::vector<Token>* tokens, std::string* error) {
    return LineLexer(line, error).Run(tokens);
}

bool ForEachStatement(std::string_view text, const std::string& path, std::string* error,
                      const StatementHandler& statement) {
    // Windows editors like to start UTF-8 files with a byte order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::vector<Token> tokens;
        std::string what;
        if (!SplitLine(line, &tokens, &what) || (!tokens.empty() && !statement(tokens, &what))) {
            *error = path + ":" + std::to_string(lineNumber) + ": " + what;
            return false;
        }
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
    std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return false;
    std::ifstream in;
    OpenForReading(file, in);
    if (!in) return false;
    contents->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool ParseNumber(std::string_view word, uint32_t max, uint32_t* value) {
    bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    if (hex) word.remove_prefix(2);
    if (word.empty()) return false;
    uint64_t number = 0;
    for (char c : word) {
        int digit = HexDigit(c);
        if (digit < 0 || (!hex && digit > 9)) return false;
        number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (number > max) return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

std::string QuoteText(const Text& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char16_t unit : text) {
        if (unit == u'\\' || unit == u'"') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
        }
    }
    return out + "\"";
}

std::string ToUtf8(const Text& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = text[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        bool pairs = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pairs) {
            AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00u), &out);
        } else {
            AppendUtf8((unit >= 0xD800 && unit <= 0xDFFF) ? 0xFFFD : unit, &out);
        }
    }
    return out;
}

Text HexText(uint32_t value, int minDigits) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    Text digits;
    for (; value != 0 || minDigits > 0; value >>= 4, --minDigits)
        digits.insert(0, 1, kHex[value & 0xF]);
    return digits.empty() ? Text(u"0") : digits;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    const auto lower = [](char16_t c) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

const Value* FindParam(const Params& params, const char* name, Value::Kind kind) {
    auto it = params.find(name);
    return (it != params.end() && it->second.kind == kind) ? &it->second : nullptr;
}

}  // namespace velorin::sim
