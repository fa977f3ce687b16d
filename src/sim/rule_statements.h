// Reading the `answer` and `fault` statements of a machine file.
#pragma once

#include <string>

#include "sim/rules.h"
#include "sim/statement.h"

namespace velorin::sim {

bool ReadAnswerRule(const Statement& s, AnswerRule* rule, std::string* error);
bool ReadFaultRule(const Statement& s, FaultRule* rule, std::string* error);

}  // namespace velorin::sim
