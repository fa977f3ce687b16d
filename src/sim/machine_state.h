// What a Machine object holds: the machine as this process's session sees it.
#pragma once

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
};

}  // namespace velorin::sim
