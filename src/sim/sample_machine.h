// The machine the tool sees when no machine file is named.
#pragma once

#include <string_view>

namespace velorin::sim {

// The built-in business notebook, as machine-file text.
std::string_view SampleMachineText();

}  // namespace velorin::sim
