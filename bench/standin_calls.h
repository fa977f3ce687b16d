// One provider call made straight through the platform interfaces, with none of the tool's own
// work around it: what the stand-in alone costs per call.
#pragma once

#include "bios/wtolq_core.h"

#include <cstdint>

namespace velorin::tool::bench {

// GetString(itemCode, index) through SpawnInstance, two Puts, ExecMethod and the three Gets
// that the tool's GetString makes. False when any of them fails.
bool RawGetString(const WTolqCore& core, uint16_t itemCode, const wchar_t* index);

// Seconds per RawGetString, measured over `calls` calls spread over `items` items.
double StandinSecondsPerCall(const WTolqCore& core, int items, int calls);

}  // namespace velorin::tool::bench
