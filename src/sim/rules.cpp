#include "sim/rules.h"

#include "sim/text_syntax.h"

#include <algorithm>
#include <array>

namespace velorin::sim {
namespace {

constexpr std::array<std::string_view, 14> kFaultableCalls = {"CoInitializeEx",
                                                              "CoInitializeSecurity",
                                                              "CoCreateInstance",
                                                              "ExecQuery",
                                                              "ConnectServer",
                                                              "CoSetProxyBlanket",
                                                              "GetObject",
                                                              "CreateInstanceEnum",
                                                              "GetMethod",
                                                              "ExecMethod",
                                                              "SpawnInstance",
                                                              "Next",
                                                              "Get",
                                                              "Put"};

constexpr std::array<std::string_view, 6> kAnswerableMethods = {
    "GetRevision", "EnumSetting", "GetString", "Set", "SetPassword", "Save"};

// Get and Put name "Owner.Name"; a rule target without a dot names the property of any owner.
bool PropertyTargetMatches(std::u16string_view rule, std::u16string_view called) {
    if (rule.find(u'.') != std::u16string_view::npos) return EqualIgnoringAsciiCase(rule, called);
    size_t dot = called.rfind(u'.');
    return EqualIgnoringAsciiCase(
        rule, dot == std::u16string_view::npos ? called : called.substr(dot + 1));
}

template <typename Rule, typename Match>
const Rule* Pick(std::vector<Rule>& rules, Match matches) {
    const Rule* winner = nullptr;
    for (Rule& rule : rules) {
        if (!matches(rule)) continue;
        if (rule.counter.CountAndCheck() && winner == nullptr) {
            winner = &rule;
            ++rule.counter.used;
        }
    }
    return winner;
}

}  // namespace

bool RuleCounter::CountAndCheck() {
    if (seen < UINT32_MAX) ++seen;
    return seen > after && (!times || used < *times);
}

bool AnswerRule::Matches(std::string_view calledMethod, const Params& in) const {
    if (calledMethod != method) return false;
    if (item) {
        const Value* code = FindParam(in, "inItemCode", Value::Kind::Number);
        if (code == nullptr || code->number != *item) return false;
    }
    if (indexNumber) {
        const Value* index = FindParam(in, "inIndex", Value::Kind::Number);
        if (index == nullptr || index->number != *indexNumber) return false;
    }
    if (indexText) {
        const Value* index = FindParam(in, "inIndex", Value::Kind::Text);
        if (index == nullptr || index->text != *indexText) return false;
    }
    return true;
}

void AnswerRule::Override(Params& out) const {
    if (retcode) out["RetCode"] = Value::OfNumber(*retcode);
    if (revision) out["Revision"] = Value::OfNumber(*revision);
    if (itemcode) out["ItemCode"] = Value::OfText(*itemcode);
    if (data) out["Data"] = Value::OfText(*data);
}

bool FaultRule::Matches(std::string_view calledName, std::u16string_view calledTarget) const {
    if (calledName != call) return false;
    if (!target) return true;
    if (call == "Get" || call == "Put") return PropertyTargetMatches(*target, calledTarget);
    return EqualIgnoringAsciiCase(*target, calledTarget);
}

const AnswerRule* PickAnswerRule(std::vector<AnswerRule>& rules, std::string_view method,
                                 const Params& in) {
    return Pick(rules, [&](const AnswerRule& rule) { return rule.Matches(method, in); });
}

const FaultRule* PickFaultRule(std::vector<FaultRule>& rules, std::string_view call,
                               std::u16string_view target) {
    return Pick(rules, [&](const FaultRule& rule) { return rule.Matches(call, target); });
}

bool IsFaultableCall(std::string_view call) {
    return std::find(kFaultableCalls.begin(), kFaultableCalls.end(), call) != kFaultableCalls.end();
}

bool IsAnswerableMethod(std::string_view method) {
    return std::find(kAnswerableMethods.begin(), kAnswerableMethods.end(), method) !=
           kAnswerableMethods.end();
}

}  // namespace velorin::sim
