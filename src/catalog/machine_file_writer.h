// A captured machine written down as a machine file of the simulated Velorin machine: the file
// itself and, beside it, the raw SMBIOS table it names. Texts are escaped so that every UTF-16
// unit reads back as it was and the file holds ASCII only.
#pragma once

#include "catalog/machine_capture.h"

#include <string>

namespace velorin::tool {

// The machine file's text; `smbiosFileName` is the table's file name relative to it.
std::string MachineFileText(const CapturedMachine& machine, const std::string& smbiosFileName);

// A quoted text of the machine-file syntax that reads back as exactly `text`.
std::string QuotedMachineText(const std::wstring& text);

// Writes `path` and, when the machine publishes a table, `path` + ".smbios", each replaced as
// an export is; a failed write leaves both as they were.
bool WriteMachineFiles(const CapturedMachine& machine, const std::string& path);

}  // namespace velorin::tool
