// The capture round trip over every machine the black-box cases describe, each once, and the
// built-in sample: /get on the capture prints what /get on the machine prints, /check of a
// baseline reports the same on both with the same exit code, and capturing the capture writes
// the same two files byte for byte. A machine that /get cannot read cannot be captured either.
#include "case_file.h"
#include "launcher.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using casefile::ReadFile;
using casefile::WriteFile;

constexpr char kSample[] = "sample_machine";
constexpr char kMachineName[] = "machine.txt";

struct RunResult {
    std::string out;
    std::string err;
    int exitCode = -1;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

RunResult RunOnce(const fs::path& folder, const fs::path& machine, const std::string& args) {
    const fs::path out = folder / ".stdout";
    const fs::path err = folder / ".stderr";
    const std::string command = "cd " + Quoted(folder.string()) +
                                " && VELORIN_MACHINE=" + Quoted(machine.string()) +
                                " XDG_STATE_HOME=" + Quoted((folder / "state").string()) + " " +
                                VELORIN_BLACKBOX_LAUNCHER + " " + Quoted(VELORIN_TOOL_PATH) + " " +
                                args + " > " + Quoted(out.string()) + " 2> " + Quoted(err.string());
    const int status = std::system(command.c_str());
    RunResult result;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    fs::remove(out);
    fs::remove(err);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Runs the tool in `folder` on the machine file `machine` (the sample machine when empty).
RunResult RunTool(const fs::path& folder, const fs::path& machine, const std::string& args) {
    return launcher::RunReachingTool([&]() { return RunOnce(folder, machine, args); });
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& options) {
    const std::string eol = options.find("crlf") != std::string::npos ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : lines) text += casefile::Unescape(line) + eol;
    if (options.find("noeol") != std::string::npos && !text.empty()) {
        text.erase(text.size() - eol.size());
    }
    return text;
}

// The files a case gives its machine, by name: the machine file (none when the case has no
// machine of its own) and the input files, an SMBIOS table among them.
std::map<std::string, std::string> CaseMachineFiles(const std::string& name) {
    std::map<std::string, std::string> files;
    const auto sections =
        casefile::SplitSections(std::string(VELORIN_BLACKBOX_CASES) + "/" + name + ".case");
    for (const casefile::Section& section : sections) {
        if (section.kind == "machine") {
            std::vector<std::string> missing;
            files[kMachineName] = casefile::MachineText(section, VELORIN_SHARED_MACHINES, missing);
            EXPECT_EQ(missing, std::vector<std::string>()) << name;
        }
        const std::string file = section.argument.substr(0, section.argument.find(' '));
        const std::string options = section.argument.substr(file.size());
        if (section.kind == "input" && options.find("repeat=") == std::string::npos) {
            files[file] = JoinLines(section.lines, options);
        }
    }
    return files;
}

// Writes the case's machine and its files into `folder`; false when it has no machine.
bool WriteCaseMachine(const std::string& name, const fs::path& folder) {
    const std::map<std::string, std::string> files = CaseMachineFiles(name);
    for (const auto& [file, content] : files) WriteFile(folder / file, content);
    return files.count(kMachineName) != 0;
}

// A baseline that picks, in every block of a /get listing, the option at `pick` (0 the first,
// -1 the last).
std::string BaselineOf(const std::string& listing, int pick) {
    std::istringstream in(listing);
    std::vector<std::string> block;
    std::string baseline;
    auto flush = [&]() {
        if (block.empty()) return;
        baseline += block[0] + "\n";
        const size_t options = block.size() - 1;
        for (size_t i = 1; i < block.size(); ++i) {
            std::string option = block[i][0] == '*' ? block[i].substr(1) : block[i];
            const size_t chosen = pick < 0 ? options : 1;
            baseline += (i == chosen ? "*" : "") + option + "\n";
        }
        baseline += "\n";
        block.clear();
    };
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("+++", 0) == 0) {
            flush();
            block.push_back(line);
        } else if (line.empty()) {
            flush();
        } else if (!block.empty()) {
            block.push_back(line);
        }
    }
    flush();
    return baseline;
}

// The sample and, of the cases that give their machine the same files (a shared machine, the
// same SMBIOS table), the first by name: one round trip covers them all.
std::vector<std::string> MachineNames() {
    std::vector<std::string> cases;
    for (const auto& entry : fs::directory_iterator(VELORIN_BLACKBOX_CASES)) {
        if (entry.path().extension() == ".case") cases.push_back(entry.path().stem().string());
    }
    std::sort(cases.begin(), cases.end());
    std::vector<std::string> names = {kSample};
    std::set<std::map<std::string, std::string>> seen;
    for (const std::string& name : cases) {
        std::map<std::string, std::string> files = CaseMachineFiles(name);
        if (files.count(kMachineName) != 0 && seen.insert(std::move(files)).second) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CaptureRoundTrip : public testing::TestWithParam<std::string> {};

TEST_P(CaptureRoundTrip, AnswersTheSame) {
    const std::string name = GetParam();
    const fs::path work = fs::path(VELORIN_BLACKBOX_WORK) / "round-trip" / name;
    const fs::path original = work / "original";
    const fs::path capture = work / "capture";
    const fs::path again = work / "again";
    fs::remove_all(work);
    for (const fs::path& folder : {original, capture, again}) fs::create_directories(folder);
    const bool ownMachine = name != kSample && WriteCaseMachine(name, original);
    const fs::path originalMachine = ownMachine ? original / kMachineName : fs::path();
    const fs::path captured = capture / kMachineName;

    const RunResult get = RunTool(original, originalMachine, "/get");
    const RunResult captureRun = RunTool(capture, originalMachine, "/capture machine.txt");
    // A machine that /get can list is always captured; one it cannot (not a Velorin PC, a
    // failing provider) may still be, as a machine without items is, and its capture must
    // then fail /get in the same words.
    if (captureRun.exitCode != 0) {
        ASSERT_NE(get.exitCode, 0) << captureRun.out;
        return;
    }

    const RunResult getCaptured = RunTool(capture, captured, "/get");
    EXPECT_EQ(get.out, getCaptured.out) << get.err << getCaptured.err;
    EXPECT_EQ(get.exitCode, getCaptured.exitCode);

    for (const int pick : {0, -1}) {
        if (get.exitCode != 0) break;
        SCOPED_TRACE("baseline choosing option " + std::to_string(pick));
        const std::string baseline = BaselineOf(get.out, pick);
        WriteFile(original / "baseline.txt", baseline);
        WriteFile(capture / "baseline.txt", baseline);
        const RunResult check = RunTool(original, originalMachine, "/check baseline.txt");
        const RunResult checkCaptured = RunTool(capture, captured, "/check baseline.txt");
        EXPECT_EQ(check.out, checkCaptured.out);
        EXPECT_EQ(check.exitCode, checkCaptured.exitCode);
    }

    const RunResult captureAgain = RunTool(again, captured, "/capture machine.txt");
    ASSERT_EQ(captureAgain.exitCode, 0) << captureAgain.out << captureAgain.err;
    EXPECT_EQ(ReadFile(captured), ReadFile(again / kMachineName));
    EXPECT_EQ(fs::exists(capture / "machine.txt.smbios"), fs::exists(again / "machine.txt.smbios"));
    EXPECT_EQ(ReadFile(capture / "machine.txt.smbios"), ReadFile(again / "machine.txt.smbios"));
}

INSTANTIATE_TEST_SUITE_P(Machines, CaptureRoundTrip, testing::ValuesIn(MachineNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             return casefile::TestIdOf(param.param);
                         });

}  // namespace
