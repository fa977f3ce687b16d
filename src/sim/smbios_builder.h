// The raw SMBIOS structure table of a machine whose file gives only the System Information
// fields.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/machine_model.h"

namespace velorin::sim {

// BIOS Information (type 0), System Information (type 1, 0x1B bytes) and end-of-table
// (type 127), laid out as SMBIOS 2.4 and later define them.
std::vector<uint8_t> BuildSmbiosTable(const SystemInfo& system);

}  // namespace velorin::sim
