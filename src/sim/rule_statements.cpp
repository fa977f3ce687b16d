#include "sim/rule_statements.h"

#include <algorithm>
#include <iterator>

namespace velorin::sim {
namespace {

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
bool After(const Token& value, Rule* rule, std::string* error) {
    return NumberOf(value, kAnyNumber, &rule->counter.after, error);
}

template <typename Rule>
bool Times(const Token& value, Rule* rule, std::string* error) {
    return OptionalNumber(value, kAnyNumber, &rule->counter.times, error);
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

bool AnswerRetCode(const Token& value, AnswerRule* rule, std::string* error) {
    return OptionalNumber(value, kAnyNumber, &rule->retcode, error);
}

bool AnswerRevision(const Token& value, AnswerRule* rule, std::string* error) {
    return OptionalNumber(value, kAnyNumber, &rule->revision, error);
}

bool AnswerItemCode(const Token& value, AnswerRule* rule, std::string* error) {
    return OptionalText(value, &rule->itemcode, error);
}

bool AnswerData(const Token& value, AnswerRule* rule, std::string* error) {
    return OptionalText(value, &rule->data, error);
}

const KeyRule<AnswerRule> kAnswerKeys[] = {
    {"item", AnswerItem},         {"index", AnswerIndex},       {"retcode", AnswerRetCode},
    {"revision", AnswerRevision}, {"itemcode", AnswerItemCode}, {"data", AnswerData},
    {"after", After<AnswerRule>}, {"times", Times<AnswerRule>},
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
    {"after", After<FaultRule>},
    {"times", Times<FaultRule>},
};

}  // namespace

bool ReadAnswerRule(const Statement& s, AnswerRule* rule, std::string* error) {
    if (s.positional.size() != 1) return Fail(error, "expected: answer METHOD [key=value ...]");
    const Token& method = *s.positional[0];
    if (method.quoted || !IsAnswerableMethod(method.word)) {
        return Fail(error, "no answer can be given for \"" + method.word + "\"");
    }
    rule->method = method.word;
    return ApplyKeys(s, kAnswerKeys, rule, error);
}

bool ReadFaultRule(const Statement& s, FaultRule* rule, std::string* error) {
    size_t words = s.positional.size();
    bool shaped =
        (words == 1 || (words == 2 && s.positional[1]->quoted)) && !s.positional[0]->quoted;
    if (!shaped) return Fail(error, "expected: fault CALL [\"TARGET\"] hr=0xHHHHHHHH");
    rule->call = s.positional[0]->word;
    if (!IsFaultableCall(rule->call)) {
        return Fail(error, "no fault can be set on \"" + rule->call + "\"");
    }
    if (words == 2) rule->target = s.positional[1]->text;
    bool hasHr =
        std::any_of(s.keyed.begin(), s.keyed.end(), [](const Token* t) { return t->key == "hr"; });
    if (!hasHr) return Fail(error, "a fault needs hr=");
    return ApplyKeys(s, kFaultKeys, rule, error);
}

}  // namespace velorin::sim
