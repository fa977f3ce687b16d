// Reads the statements of a machine file into a MachineDescription.
#pragma once

#include <string>
#include <string_view>

#include "sim/machine_model.h"

namespace velorin::sim {

// Parses `text` over the defaults already in `machine`. `path` names the file in messages
// and decides the folder that a relative `smbios-file` is looked up in. On failure sets
// `error` to "FILE:LINE: what is wrong".
bool ParseMachineFile(std::string_view text, const std::string& path, MachineDescription* machine,
                      std::string* error);

}  // namespace velorin::sim
