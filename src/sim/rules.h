// `answer` and `fault` rules: which calls they match and how often they apply.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/machine.h"

namespace velorin::sim {

// Passes over the first `after` matching calls, then applies `times` times (always when
// `times` is absent). Counts are kept per machine object, so each process starts afresh.
struct RuleCounter {
    uint32_t after = 0;
    std::optional<uint32_t> times;
    uint32_t seen = 0;
    uint32_t used = 0;

    // Counts one matching call; true when the rule could apply to it.
    bool CountAndCheck();
};

struct AnswerRule {
    std::string method;
    std::optional<uint32_t> item;
    std::optional<uint32_t> indexNumber;  // EnumSetting
    std::optional<Text> indexText;        // GetString
    std::optional<uint32_t> retcode;
    std::optional<uint32_t> revision;
    std::optional<Text> itemcode;
    std::optional<Text> data;
    RuleCounter counter;

    bool Matches(std::string_view calledMethod, const Params& in) const;
    // Replaces the parts of `out` that the rule gives.
    void Override(Params& out) const;
};

struct FaultRule {
    std::string call;
    std::optional<Text> target;
    uint32_t hr = 0;
    RuleCounter counter;

    bool Matches(std::string_view calledName, std::u16string_view calledTarget) const;
};

// Counts the call against every rule that matches it and returns the first rule that
// applies (consuming one of its times), or null.
const AnswerRule* PickAnswerRule(std::vector<AnswerRule>& rules, std::string_view method,
                                 const Params& in);
const FaultRule* PickFaultRule(std::vector<FaultRule>& rules, std::string_view call,
                               std::u16string_view target);

// The platform calls a `fault` rule may name, and the provider methods an `answer` rule may.
bool IsFaultableCall(std::string_view call);
bool IsAnswerableMethod(std::string_view method);

}  // namespace velorin::sim
