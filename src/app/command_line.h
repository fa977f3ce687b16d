// The command line: its options, the record they fill, the usage text, and the run of one
// command from banner to result code.
#pragma once

#include <cstdint>
#include <string>

enum CommandFlag : uint32_t {
    FLAG_HELP = 0x1,
    FLAG_GET = 0x2,
    FLAG_SET = 0x4,
    FLAG_CHANGE_USER_PASSWORD = 0x8,
    FLAG_CHANGE_SUPERVISOR_PASSWORD = 0x10,
    FLAG_CHECK = 0x20,
    FLAG_PASSWORD = 0x10000,
    FLAG_OUTPUT = 0x20000,
    FLAG_FORCE = 0x40000,
    FLAG_ITEM = 0x80000,
};

struct CommandOptions {
    uint32_t flags = 0;
    std::string inputFileName;
    std::string outputFileName;
    std::string itemName;
    std::string itemValue;
    const char* currentPassword = nullptr;  // the argument after /pw, not copied
    // /pwstdin came after the last /pw: the current password is to be read from standard
    // input once the parse has succeeded, and currentPassword then refers to that text.
    bool passwordFromStdin = false;
    const char* newPassword = nullptr;  // the argument after a change-password option
};

extern const char UsageText[];

// 0 on success, -1 on failure; prints only "Need /pw input\n".
int ParseCommandLine(int argc, char** argv, CommandOptions& options);

// Each byte becomes the UTF-16 unit of the same value; c_str() gives the NUL-terminated text
// that the provider takes. A null text gives an empty one.
std::wstring WidenArgument(const char* text);

// The whole run: banner, connection, revision check, parse, one command. Returns the result
// code that becomes the exit code.
int RunTool(int argc, char** argv);
