// Arbitrary argument vectors through the command line parser: the input split at NUL bytes
// gives the arguments after the program name.
#include "app/command_line.h"
#include "report/text_conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace velorin::tool;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return std::freopen("/dev/null", "w", stdout) == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words{"VelorinBiosConfigTool"};
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back().push_back(static_cast<char>(data[i]));
        }
    }
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);  // as the C start-up code hands it over
    CommandOptions options;
    const int result = ParseCommandLine(static_cast<int>(words.size()), argv.data(), options);
    if (result != 0 && result != -1) __builtin_trap();
    // /pwstdin leaves the current password to be read later; it never refers to an argument.
    if (options.passwordFromStdin && options.currentPassword.data() != nullptr) __builtin_trap();
    // Password references point into the argument vector, never elsewhere.
    for (const char* password : {options.currentPassword.data(), options.newPassword}) {
        if (password == nullptr) continue;
        bool inside = false;
        for (const std::string& word : words) inside = inside || password == word.data();
        if (!inside) __builtin_trap();
    }
    WidenBytes(options.currentPassword);
    return 0;
}
