#include "tool_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace velorin::load {

namespace {

void RedirectTo(const std::filesystem::path& path, int fd) {
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) _exit(125);
    dup2(file, fd);
    close(file);
}

}  // namespace

ToolRun StartTool(const std::filesystem::path& workDir, const std::filesystem::path& machine,
                  const std::vector<std::string>& args, const std::filesystem::path& stdoutFile) {
    std::vector<std::string> command{VELORIN_TOOL_PATH};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string machineSetting = "VELORIN_MACHINE=" + machine.string();
    const pid_t pid = fork();
    if (pid == 0) {
        RedirectTo(stdoutFile, STDOUT_FILENO);
        RedirectTo(stdoutFile.string() + ".err", STDERR_FILENO);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        putenv(const_cast<char*>(machineSetting.c_str()));
        execv(argv[0], argv.data());
        _exit(127);
    }
    return {pid, stdoutFile};
}

ToolResult FinishTool(const ToolRun& run) {
    int status = 0;
    if (run.pid <= 0 || waitpid(run.pid, &status, 0) != run.pid) return {};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            ReadFile(run.stdoutFile)};
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace velorin::load
