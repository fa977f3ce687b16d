// What a Machine object holds: the machine as this process's session sees it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sim/machine_model.h"

namespace velorin::sim {

class MachineState {
  public:
    bool installed = false;
    std::string nvramPath;       // empty: nothing persists
    MachineDescription machine;  // saved state with this session's pending changes laid over
    SavedChanges pending;        // what Save writes
    bool authorised = false;     // SetPassword accepted the supervisor password
    std::map<std::string, uint64_t> calls;  // ExecMethod calls by method name
    std::string callLogPath;                // empty: the counts are not written
};

}  // namespace velorin::sim
