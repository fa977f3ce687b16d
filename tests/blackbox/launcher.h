// Starting the tool through a launcher such as Wine. Now and then, on a loaded machine, Wine's
// loader or its server fails a start before the tool runs. The tool writes its banner before
// anything else, so a failed run whose standard output stayed empty never reached the tool:
// the runners start it again rather than report Wine's fault as the tool's.
#pragma once

#include <cstdio>
#include <string>

namespace launcher {

inline bool InUse() {
    return std::string(VELORIN_BLACKBOX_LAUNCHER).find_first_not_of(' ') != std::string::npos;
}

// Runs `run` (which returns `out`, `err` and `exitCode`) until it reaches the tool, at most
// three times. `outRead` is false when the run's standard output went to a file the runner
// does not read, where an empty `out` says nothing.
template <typename Run>
auto RunReachingTool(Run run, bool outRead = true) {
    constexpr int kStarts = 3;
    auto result = run();
    for (int start = 1;
         start < kStarts && InUse() && outRead && result.exitCode != 0 && result.out.empty();
         ++start) {
        std::fprintf(stderr, "%s did not start the tool (exit %d), starting it again: %s\n",
                     VELORIN_BLACKBOX_LAUNCHER, result.exitCode, result.err.c_str());
        result = run();
    }
    return result;
}

}  // namespace launcher
