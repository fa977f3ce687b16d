// The NVRAM file beside a machine file: the changes that sessions saved, applied over the
// machine file whenever the machine is loaded.
#pragma once

#include <string>
#include <string_view>

#include "sim/machine_model.h"

namespace velorin::sim {

// A missing file is no saved state. False with `error` ("FILE:LINE: what is wrong") when the
// file exists but cannot be read or holds something else than saved changes.
bool LoadNvram(const std::string& path, SavedChanges* saved, std::string* error);

bool ParseNvram(std::string_view text, const std::string& path, SavedChanges* saved,
                std::string* error);
std::string FormatNvram(const SavedChanges& saved);

// Merges `changes` into the file so that concurrent savers lose nothing: under an exclusive
// lock it re-reads the file, lays the changes over it and replaces it in one step. False when
// the file cannot be locked, read or written; the file is then left as it was.
bool SaveToNvram(const std::string& path, const SavedChanges& changes);

}  // namespace velorin::sim
