// The command line: its options, the record they fill, the usage text, and the run of one
// command after the banner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::tool {

// The bits of CommandOptions::flags. The commands hold the low 16 bits, each its own as its row
// in command_table.cpp gives it; the options hold these, from bit 16 up.
enum CommandFlag : uint32_t {
    FLAG_PASSWORD = 1u << 16,
    FLAG_OUTPUT = 1u << 17,
    FLAG_FORCE = 1u << 18,
    FLAG_ITEM = 1u << 19,
    // /newpwstdin anywhere on the command line: the change-password options take no argument
    // and the new password is read from standard input after the current one.
    FLAG_NEW_PASSWORD_STDIN = 1u << 20,
};

struct CommandRow;

struct CommandOptions {
    uint32_t flags = 0;
    const CommandRow* command = nullptr;   // the row of the command on the line, if any
    const char* firstArgument = "(null)";  // the word after the program name, when there is one
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
