// Starting tool processes side by side and collecting what each did.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace velorin::load {

struct ToolRun {
    pid_t pid = -1;
    std::filesystem::path stdoutFile;
};

struct ToolResult {
    int exitCode = -1;
    std::string out;
};

// Starts the tool in `workDir` on the machine file `machine`; standard output goes to
// `stdoutFile` and standard error beside it, so no pipe can fill while the others run.
ToolRun StartTool(const std::filesystem::path& workDir, const std::filesystem::path& machine,
                  const std::vector<std::string>& args, const std::filesystem::path& stdoutFile);
ToolResult FinishTool(const ToolRun& run);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace velorin::load
