// Runs the built executable on the cases in cases/*.case and compares standard output, the exit
// code and the files it writes, byte for byte.
//
// A case file is a list of sections, each opened by a line that starts with "=== ":
//   === machine                 the machine file (VELORIN_MACHINE points at it); without this
//                               section the run sees the built-in sample machine. A line
//                               "@NAME" stands for the shared machine tests/data/machines/
//                               NAME.machine, and the lines after it add to that machine
//   === input NAME [crlf] [noeol] [repeat=N]   a file written into the working folder before
//                               the next run; repeat=N writes its text N times over
//   === link NAME TARGET        a symbolic link made before the next run (TARGET as written)
//   === dir NAME / === fifo NAME    a directory or a named pipe made before the next run
//   === chmod NAME MODE         permission bits (octal) given to a file before the next run
//   === args                    starts a run: one argument per line (an empty line is an
//                               empty argument)
//   === stdin [tty] [noeol]     the run's standard input (without it the run inherits the
//                               runner's); with tty it comes from a pseudo-terminal, typed once
//                               the tool has turned echo off (or has ended) with each line end
//                               sent as the Enter key sends it, and the run must leave the
//                               terminal's echo on and show nothing of the input
//   === stdin closed / === stdin dir    no standard input at all (a closed descriptor), or
//                               one that cannot be read (a directory)
//   === signal NAME             with a tty standard input: instead of typing, send the signal
//                               SIGNAME once echo is off (the run then ends of it, exit 128 +
//                               its number); such a run is left out for a Windows build,
//                               which has no such signals
//   === unread [noeol]          the part of a piped standard input the run must leave unread
//   === stdout [noeol]          the run's expected standard output; a line "@banner" stands
//                               for the two banner lines, "@usage" for the usage text
//   === stdout-to PATH          the run writes its standard output to PATH (e.g. /dev/full)
//                               instead; its expected standard output is then empty
//   === stderr [noeol]          the run's expected standard error (empty when not given); the
//                               working folder's path reads "@dir" there
//   === exit N                  the run's expected exit code
//   === file NAME [crlf] [noeol]    a file the run must leave with exactly this content
//   === nofile NAME             a file the run must not leave behind
//   === mode NAME MODE          a file the run must leave with these POSIX permission bits
//                               (octal); not checked for a Windows build, which keeps a
//                               file's security descriptor instead (Wine maps neither way)
//   === onlyfiles NAMES...      the run leaves exactly these names in the working folder
//                               (besides machine.txt and its state)
// Lines starting with "#" before the first section are comments. Every section line of text
// ends with LF unless the section says crlf (CR LF) or noeol (no line end after the last line).
// "\xHH" in a text line stands for the byte HH, so cases can hold bytes that are not ASCII.
#include "case_file.h"
#include "launcher.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using casefile::ReadFile;
using casefile::Section;
using casefile::SplitSections;
using casefile::Unescape;
using casefile::WriteFile;

const char kBanner[] =
    "======================VelorinBiosConfigTool==================\n"
    "Tool version :  1.  1.  1.  0(@)\n";

const char kUsage[] =
    "=====================Dora Ruvoro Daru User Manual====================\n"
    "Usage : \n"
    "  command /get is used to get curretn setting of bios\n"
    "  > VelorinBiosConfigTool.exe /get [/o OutputfileName]\n"
    "    /o - current config setting of bios is extracted to OutputfileName\n"
    "\n"
    "  command /set is used to set bios using input file\n"
    "  > VelorinBiosConfigTool.exe /set InputFileName /pw CurrentBiosPassword\n"
    "    InputFileName - Config file name to import\n"
    "    CurrentBiosPassword - Supervisor password of bios\n"
    "\n"
    "  command /set is used to set bios using input file\n"
    "  > VelorinBiosConfigTool.exe /ChangeSupervisorPassword NewPassword /pw CurrentBiosPassword\n"
    "  > VelorinBiosConfigTool.exe /ChangeUserPassword NewPassword /pw CurrentBiosPassword\n"
    "    NewPassword - New supervisor/user password to set\n"
    "    CurrentBiosPassword - Supervisor password of bios\n"
    "\n";

struct ExpectedFile {
    std::string name;
    std::string content;
    bool present = true;
    int mode = -1;  // permission bits to check instead of the content
};

// Something put into the working folder before a run: a file, a link, a directory, a named
// pipe, or new permission bits of a file.
struct SetupStep {
    std::string kind;
    std::string name;
    std::string content;  // the file's bytes, the link's target or the octal mode
};

struct ToolRun {
    std::vector<std::string> args;
    std::vector<SetupStep> setup;
    bool hasStdin = false;
    bool stdinIsTerminal = false;
    bool stdinClosed = false;
    bool stdinIsDirectory = false;
    std::string stdinText;
    int signalAtPrompt = 0;  // sent instead of typing the input
    bool checkUnread = false;
    std::string unreadText;
    std::string stdoutPath;  // empty: standard output is captured
    std::vector<std::string> onlyFiles;
    bool checkOnlyFiles = false;
    std::string stdoutText;
    std::string stderrText;
    int exitCode = 0;
    std::vector<ExpectedFile> files;
};

struct Case {
    std::string machine;
    bool hasMachine = false;
    std::vector<ToolRun> runs;
};

// Joins a section's lines with the line end it asks for.
std::string JoinSection(const std::vector<std::string>& lines, const std::string& options,
                        bool expandBanner) {
    const std::string eol = options.find("crlf") != std::string::npos ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : lines) {
        if (expandBanner && line == "@banner") {
            text += kBanner;
        } else if (expandBanner && line == "@usage") {
            text += kUsage;
        } else {
            text += Unescape(line) + eol;
        }
    }
    if (options.find("noeol") != std::string::npos && !text.empty()) {
        text.erase(text.size() - eol.size());
    }
    return text;
}

std::string FirstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

std::string AfterFirstWord(const std::string& text) {
    const size_t space = text.find(' ');
    return space == std::string::npos ? std::string() : text.substr(space + 1);
}

// The N of a "repeat=N" option, 1 without one.
size_t RepeatCount(const std::string& options) {
    const size_t at = options.find("repeat=");
    return at == std::string::npos ? 1 : std::stoul(options.substr(at + 7));
}

std::string Repeated(const std::string& text, size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i) out += text;
    return out;
}

// The signals a case may send at the prompt, by their names without "SIG".
int SignalNumber(const std::string& name) {
    const std::map<std::string, int> numbers = {
        {"HUP", SIGHUP},   {"INT", SIGINT},    {"TERM", SIGTERM},     {"USR1", SIGUSR1},
        {"USR2", SIGUSR2}, {"ALRM", SIGALRM},  {"VTALRM", SIGVTALRM}, {"PIPE", SIGPIPE},
        {"PROF", SIGPROF}, {"RTMIN", SIGRTMIN}};
    const auto number = numbers.find(name);
    if (number == numbers.end()) ADD_FAILURE() << "unknown signal " << name;
    return number == numbers.end() ? 0 : number->second;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

Case LoadCase(const std::string& path) {
    Case c;
    std::vector<SetupStep> pendingSetup;
    for (const Section& s : SplitSections(path)) {
        if (s.kind == "machine") {
            std::vector<std::string> missing;
            c.hasMachine = true;
            c.machine = casefile::MachineText(s, VELORIN_SHARED_MACHINES, missing);
            for (const std::string& name : missing) {
                ADD_FAILURE() << path << ": no shared machine " << name;
            }
        } else if (s.kind == "input") {
            const std::string options = AfterFirstWord(s.argument);
            pendingSetup.push_back(
                {s.kind, FirstWord(s.argument),
                 Repeated(JoinSection(s.lines, options, false), RepeatCount(options))});
        } else if (s.kind == "link" || s.kind == "dir" || s.kind == "fifo" || s.kind == "chmod") {
            pendingSetup.push_back({s.kind, FirstWord(s.argument), AfterFirstWord(s.argument)});
        } else if (s.kind == "args") {
            ToolRun run;
            run.args = s.lines;
            run.setup = std::move(pendingSetup);
            pendingSetup.clear();
            c.runs.push_back(run);
        } else if (c.runs.empty()) {
            ADD_FAILURE() << path << ": section " << s.kind << " before any args";
        } else if (s.kind == "stdin") {
            c.runs.back().hasStdin = true;
            c.runs.back().stdinIsTerminal = s.argument.find("tty") != std::string::npos;
            c.runs.back().stdinClosed = s.argument == "closed";
            c.runs.back().stdinIsDirectory = s.argument == "dir";
            c.runs.back().stdinText = JoinSection(s.lines, s.argument, false);
        } else if (s.kind == "signal") {
            c.runs.back().signalAtPrompt = SignalNumber(s.argument);
        } else if (s.kind == "unread") {
            c.runs.back().checkUnread = true;
            c.runs.back().unreadText = JoinSection(s.lines, s.argument, false);
        } else if (s.kind == "stdout") {
            c.runs.back().stdoutText = JoinSection(s.lines, s.argument, true);
        } else if (s.kind == "stdout-to") {
            c.runs.back().stdoutPath = s.argument;
        } else if (s.kind == "mode") {
            c.runs.back().files.push_back({FirstWord(s.argument), "", true,
                                           std::stoi(AfterFirstWord(s.argument), nullptr, 8)});
        } else if (s.kind == "onlyfiles") {
            c.runs.back().checkOnlyFiles = true;
            c.runs.back().onlyFiles = Words(s.argument);
        } else if (s.kind == "stderr") {
            c.runs.back().stderrText = JoinSection(s.lines, s.argument, false);
        } else if (s.kind == "exit") {
            c.runs.back().exitCode = std::stoi(s.argument);
        } else if (s.kind == "file") {
            c.runs.back().files.push_back(
                {FirstWord(s.argument), JoinSection(s.lines, AfterFirstWord(s.argument), false)});
        } else if (s.kind == "nofile") {
            c.runs.back().files.push_back({s.argument, "", false});
        } else {
            ADD_FAILURE() << path << ": unknown section " << s.kind;
        }
    }
    return c;
}

struct Outcome {
    std::string out;
    std::string err;
    int exitCode = -1;
    std::string unread;  // what a piped standard input still held after the run
    std::string echoed;  // what a terminal standard input showed
    bool echoLeftOn = true;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

std::string ReadAvailable(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return ReadAll(fd);
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// The standard input of one run: a pipe filled before the run starts, or a pseudo-terminal
// typed into once the tool has turned its echo off.
class RunInput {
  public:
    explicit RunInput(const ToolRun& run) : run_(run) {
        if (!run.hasStdin || run.stdinClosed) return;
        if (run.stdinIsDirectory) {
            readEnd_ = open("/", O_RDONLY | O_DIRECTORY);
        } else if (run.stdinIsTerminal) {
            OpenTerminal();
        } else {
            OpenPipe();
        }
    }
    ~RunInput() {
        for (int fd : {readEnd_, master_, slave_}) {
            if (fd >= 0) close(fd);
        }
    }
    RunInput(const RunInput&) = delete;
    RunInput& operator=(const RunInput&) = delete;

    // A terminal becomes the controlling terminal of a session of its own, as a login's is.
    void AttachInChild() const {
        if (slave_ >= 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
        }
        const int input = run_.stdinIsTerminal ? slave_ : readEnd_;
        if (input >= 0) dup2(input, STDIN_FILENO);
        if (run_.stdinClosed) close(STDIN_FILENO);
        for (int fd : {readEnd_, master_, slave_}) {
            if (fd >= 0) close(fd);
        }
    }

    // Types the input at the terminal (or sends the run's signal) once echo is off, or once the
    // tool has ended without asking. Returns true when that wait has reaped the tool, with its
    // status.
    bool TypeWhenAsked(pid_t pid, int& status) const {
        if (master_ < 0) return false;
        bool reaped = false;
        for (int waited = 0; waited < 2000; ++waited) {
            reaped = waitpid(pid, &status, WNOHANG) == pid;
            if (reaped || !EchoIsOn()) break;
            usleep(5000);
        }
        if (run_.signalAtPrompt != 0 && !reaped) {
            kill(pid, run_.signalAtPrompt);
        } else {
            WriteAll(master_, AsTyped(run_.stdinText));
        }
        return reaped;
    }

    void Collect(Outcome& outcome) const {
        if (readEnd_ >= 0 && !run_.stdinIsDirectory) outcome.unread = ReadAvailable(readEnd_);
        if (master_ >= 0) {
            outcome.echoed = ReadAvailable(master_);
            outcome.echoLeftOn = EchoIsOn();
        }
    }

  private:
    // The Enter key sends CR; the terminal's own line discipline (or a console on top of it)
    // makes the line end of it.
    static std::string AsTyped(std::string text) {
        std::replace(text.begin(), text.end(), '\n', '\r');
        return text;
    }

    void OpenPipe() {
        int ends[2];
        if (pipe(ends) != 0) return;
        readEnd_ = ends[0];
        EXPECT_LT(run_.stdinText.size(), 60000u) << "more standard input than a pipe holds";
        WriteAll(ends[1], run_.stdinText);
        close(ends[1]);
    }

    void OpenTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name != nullptr) slave_ = open(name, O_RDWR | O_NOCTTY);
    }

    bool EchoIsOn() const {
        termios mode{};
        return slave_ >= 0 && tcgetattr(slave_, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
    }

    const ToolRun& run_;
    int readEnd_ = -1;
    int master_ = -1;
    int slave_ = -1;
};

void Prepare(const fs::path& workDir, const SetupStep& step) {
    const fs::path path = workDir / step.name;
    std::error_code ignored;
    if (step.kind == "input") {
        WriteFile(path, step.content);
        return;
    }
    if (step.kind == "chmod") {
        fs::permissions(path, static_cast<fs::perms>(std::stoi(step.content, nullptr, 8)));
        return;
    }
    fs::remove_all(path, ignored);
    if (step.kind == "link") fs::create_symlink(step.content, path);
    if (step.kind == "dir") fs::create_directory(path);
    if (step.kind == "fifo") {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << step.name;
    }
}

// Names in the working folder that the harness itself did not put there.
std::vector<std::string> LeftNames(const fs::path& workDir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(workDir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("machine.txt", 0) != 0 && name != "state") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the tool in `workDir`; standard error goes to a file so neither pipe can fill up.
// With a `stdoutPath` standard output goes to that file instead of the pipe.
Outcome RunTool(const fs::path& workDir, const ToolRun& run,
                const std::map<std::string, std::string>& env) {
    const fs::path errPath = workDir / ".stderr";
    const RunInput input(run);
    int outPipe[2];
    if (pipe(outPipe) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        input.AttachInChild();
        const std::string& stdoutPath = run.stdoutPath;
        const int redirected =
            stdoutPath.empty() ? -1 : open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (!stdoutPath.empty() && redirected < 0) _exit(125);
        dup2(stdoutPath.empty() ? outPipe[1] : redirected, STDOUT_FILENO);
        close(outPipe[0]);
        close(outPipe[1]);
        FILE* err = std::fopen(errPath.c_str(), "wb");
        if (err != nullptr) dup2(fileno(err), STDERR_FILENO);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        for (const auto& [name, value] : env) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        std::vector<std::string> command;
        std::istringstream launcher(VELORIN_BLACKBOX_LAUNCHER);
        for (std::string word; launcher >> word;) command.push_back(word);
        command.push_back(VELORIN_TOOL_PATH);
        command.insert(command.end(), run.args.begin(), run.args.end());
        std::vector<char*> argv;
        for (std::string& word : command) argv.push_back(word.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    int status = 0;
    const bool reaped = input.TypeWhenAsked(pid, status);
    Outcome outcome;
    outcome.out = ReadAll(outPipe[0]);
    close(outPipe[0]);
    if (!reaped) waitpid(pid, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.err = ReadFile(errPath);
    fs::remove(errPath);
    input.Collect(outcome);
    return outcome;
}

// Output of a Windows build run under Wine keeps CR LF on the console; compare it as LF.
std::string FoldCrLf(std::string text) {
    if (!VELORIN_BLACKBOX_FOLD_CRLF) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

bool IsWindowsBuild() {
    const std::string tool = VELORIN_TOOL_PATH;
    return tool.size() >= 4 && tool.compare(tool.size() - 4, 4, ".exe") == 0;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(VELORIN_BLACKBOX_CASES)) {
        if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class BlackBox : public testing::TestWithParam<std::string> {};

TEST_P(BlackBox, Case) {
    const std::string name = GetParam();
    const Case c = LoadCase(std::string(VELORIN_BLACKBOX_CASES) + "/" + name + ".case");
    ASSERT_FALSE(c.runs.empty()) << "no run in " << name;

    const fs::path workDir = fs::path(VELORIN_BLACKBOX_WORK) / name;
    fs::remove_all(workDir);
    fs::create_directories(workDir);
    std::map<std::string, std::string> env = {{"VELORIN_MACHINE", ""},
                                              {"XDG_STATE_HOME", (workDir / "state").string()}};
    if (c.hasMachine) {
        WriteFile(workDir / "machine.txt", c.machine);
        env["VELORIN_MACHINE"] = (workDir / "machine.txt").string();
    }

    for (size_t i = 0; i < c.runs.size(); ++i) {
        const ToolRun& run = c.runs[i];
        SCOPED_TRACE("run " + std::to_string(i + 1));
        if (run.signalAtPrompt != 0 && IsWindowsBuild()) continue;
        for (const SetupStep& step : run.setup) Prepare(workDir, step);
        const Outcome outcome = launcher::RunReachingTool(
            [&]() { return RunTool(workDir, run, env); }, run.stdoutPath.empty());
        EXPECT_EQ(run.stdoutText, FoldCrLf(outcome.out));
        if (run.checkUnread) {
            EXPECT_EQ(run.unreadText, outcome.unread);
        }
        if (run.stdinIsTerminal) {
            EXPECT_EQ("", outcome.echoed) << "the terminal showed what was typed";
            EXPECT_TRUE(outcome.echoLeftOn) << "the terminal's echo was left off";
        }
        EXPECT_EQ(run.exitCode, outcome.exitCode);
        EXPECT_EQ(run.stderrText, ReplaceAll(FoldCrLf(outcome.err), workDir.string(), "@dir"));
        for (const ExpectedFile& file : run.files) {
            const fs::path path = workDir / file.name;
            if (!file.present) {
                EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << file.name;
            } else if (file.mode >= 0) {
                if (!IsWindowsBuild()) {
                    EXPECT_EQ(static_cast<int>(fs::status(path).permissions() & fs::perms::mask),
                              file.mode)
                        << file.name;
                }
            } else {
                ASSERT_TRUE(fs::exists(path)) << file.name;
                EXPECT_EQ(file.content, ReadFile(path)) << file.name;
            }
        }
        if (run.checkOnlyFiles) {
            std::vector<std::string> expected = run.onlyFiles;
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(expected, LeftNames(workDir));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BlackBox, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             return casefile::TestIdOf(param.param);
                         });

}  // namespace
