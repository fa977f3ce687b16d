// Generated machines and configuration files of a chosen size, shared by the benchmarks.
#pragma once

#include "catalog/config_tool.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velorin::tool::bench {

constexpr int kOptionsPerItem = 8;

// The catalogue load asks per item: its EnumSetting, its name, its current value, and the
// options one by one until RetCode 14, which comes one index past the last option.
constexpr int64_t ProviderCallsPerItem() { return 3 + kOptionsPerItem + 1; }
// Plus the EnumSetting that reports the item count.
constexpr int64_t ProviderCallsToLoad(int64_t items) { return 1 + items * ProviderCallsPerItem(); }

// Codes start above the password items (0x3000, 0x3001) so that 10,000 items never reach them.
constexpr uint16_t ItemCode(int index) { return static_cast<uint16_t>(0x4000 + index); }

// A machine file of `items` items of kOptionsPerItem options each, supervisor password "admin".
std::string MachineText(int items);
// A configuration file of `blocks` item blocks that picks a new option for each item.
std::string ConfigText(int blocks);

// Makes a machine of `items` items the process's machine, with an empty SMBIOS cache.
void InstallMachine(int items);
// A tool connected to the installed machine, its catalogue loaded.
std::unique_ptr<ConfigTool> LoadedTool();
void ClearCatalogue(ConfigTool& tool);

// Processor time of this process in seconds: the machine running the benchmarks is shared, so
// the tool's share is worked out from processor time rather than from the wall clock.
double CpuSeconds();

// A scratch file path under the benchmark's temporary directory (created on demand).
std::string TempPath(const std::string& name);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace velorin::tool::bench
