// The one set-up of the unit tests that drive the tool against the simulated machine: point the
// process at a machine (forgetting the SMBIOS table cached from the one before), capture
// standard output, and work in a scratch folder that is left again afterwards.
#pragma once

#include "bios/smbios_reader.h"
#include "sim/machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace velorin::tool::tool_fixture {

// Keep: the tests of the SMBIOS reader's cache itself change machines under a loaded table.
enum class SmbiosCache { Forget, Keep };

// Makes the machine of `text` the process's current one; the next SMBIOS read sees its table
// unless the cache is kept.
inline void UseMachine(std::string_view text, const std::string& path = "test.machine",
                       SmbiosCache cache = SmbiosCache::Forget) {
    std::string error;
    velorin::sim::Machine::SetCurrent(velorin::sim::Machine::Parse(text, path, "", &error));
    EXPECT_EQ(error, "") << text;
    if (cache == SmbiosCache::Forget) ProcessSmbiosCache().loaded = false;
}

// What `body` writes to standard output.
template <typename Body>
std::string CaptureOutput(Body&& body) {
    ::testing::internal::CaptureStdout();
    body();
    return ::testing::internal::GetCapturedStdout();
}

// Makes `folder` the working directory for as long as it lives and restores the one it found,
// so that no test leaves the process somewhere else.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;
    ~ScopedWorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }

  private:
    std::filesystem::path previous_;
};

}  // namespace velorin::tool::tool_fixture
