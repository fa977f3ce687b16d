// The command line: its options, the record they fill, the usage text, and the run of one
// command after the banner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::tool {

// The bits of CommandOptions::flags: the commands in the low bits, the options from bit 16 up.
enum CommandFlag : uint32_t {
    FLAG_HELP = 1u << 0,
    FLAG_GET = 1u << 1,
    FLAG_SET = 1u << 2,
    FLAG_CHANGE_USER_PASSWORD = 1u << 3,
    FLAG_CHANGE_SUPERVISOR_PASSWORD = 1u << 4,
    FLAG_CHECK = 1u << 5,
    FLAG_CAPTURE = 1u << 6,
    FLAG_VERIFY_PASSWORD = 1u << 7,
    FLAG_PASSWORD = 1u << 16,
    FLAG_OUTPUT = 1u << 17,
    FLAG_FORCE = 1u << 18,
    FLAG_ITEM = 1u << 19,
    // /newpwstdin anywhere on the command line: the change-password options take no argument
    // and the new password is read from standard input after the current one.
    FLAG_NEW_PASSWORD_STDIN = 1u << 20,
};

// The commands live in the low 16 bits.
constexpr uint32_t COMMAND_FLAGS = 0xFFFFu;
// The commands that set a new password; only they take one from /newpwstdin.
constexpr uint32_t CHANGE_PASSWORD_COMMANDS =
    FLAG_CHANGE_USER_PASSWORD | FLAG_CHANGE_SUPERVISOR_PASSWORD;

struct CommandOptions {
    uint32_t flags = 0;
    std::string inputFileName;
    bool inputFileNamed = false;  // a file name followed /set or /check (an empty one too)
    std::string outputFileName;
    std::string itemName;
    std::string itemValue;
    // The argument after /pw, not copied; null data until a /pw is met.
    std::string_view currentPassword;
    // /pwstdin came after the last /pw: the current password is to be read from standard
    // input once the parse has succeeded, and currentPassword then refers to that line, NUL
    // bytes and all.
    bool passwordFromStdin = false;
    const char* newPassword = nullptr;  // the argument after a change-password option
};

extern const char UsageText[];

// 0 on success, -1 on failure; prints only "Need /pw input\n".
int ParseCommandLine(int argc, char** argv, CommandOptions& options);

class ConfigTool;

// The run of one command line with `tool`, once the banner is printed and the tool connected:
// revision check, parse, one command. Returns the result code that becomes the exit code.
int RunTool(ConfigTool& tool, int argc, char** argv);

}  // namespace velorin::tool
