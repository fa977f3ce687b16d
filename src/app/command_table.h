// The table of the tool's commands and options: every word the command line knows and what it
// takes from the arguments after it; for a command also the options it refuses, the passwords it
// needs and the handler that runs it. The parse, the checks of a parsed line, the reading of
// passwords from standard input and the dispatch all read from these rows.
//
// To add a command:
//  1. Write its handler, `int RunName(ConfigTool&, const CommandOptions&)`, in tool_main.cpp
//     and declare it below with the others.
//  2. Add its row to COMMAND_ROWS in command_table.cpp: its spelling(s), the next free bit below
//     bit 16, what its word takes (a new kind of argument is a new Takes, read in
//     command_line.cpp), how many arguments each /i takes after it and the handler; then the
//     options it refuses and its traits (whether it needs the current supervisor password,
//     whether /newpwstdin gives it a new one, whether a file name and /i exclude each other).
//  3. Give each of its roads a case in tests/blackbox/cases. The usage text stays as it is:
//     scripts in the field match it letter for letter.
// A new option is a FLAG_* bit in command_line.h (the next free one from bit 16 up), its row in
// OPTION_ROWS, and that bit among the refused options of each command that cannot take it.
#pragma once

#include "app/command_line.h"

#include <cstddef>
#include <cstdint>

namespace velorin::tool {

class ConfigTool;

// What a word takes from the arguments that follow it.
enum class Takes {
    Nothing,
    SetFileName,      // the next argument unless it is an option /set leaves alone
    CheckFileName,    // the next argument unless it is one of the tool's words
    NewPassword,      // the next argument, whatever it is; nothing with /newpwstdin
    CurrentPassword,  // the next argument, whatever it is
    StdinPassword,    // nothing: the current password comes from standard input
    OutputFileName,   // the next argument, whatever it is
    ItemArguments,    // as many as the command already seen gives each /i
};

// Runs the one command of a parsed line; returns the result code that becomes the exit code.
using CommandHandler = int (*)(ConfigTool& tool, const CommandOptions& options);

// What else a command asks of its line, as bits of CommandRow::traits.
enum CommandTrait : uint32_t {
    NO_TRAITS = 0,
    NEEDS_PASSWORD = 1u << 0,      // the current supervisor password, from /pw or /pwstdin
    TAKES_NEW_PASSWORD = 1u << 1,  // /newpwstdin gives its new password; no other command takes it
    FILE_EXCLUDES_ITEM = 1u << 2,  // a file name and /i together are refused
};

struct CommandRow {
    const char* spellings[2];  // in any letter case; the second may be null
    uint32_t flag;             // its bit in CommandOptions::flags, one of the low 16
    Takes takes;               // what its word takes
    int itemArguments;         // the arguments each /i takes on its line
    CommandHandler run;
    uint32_t refusedOptions;  // FLAG_* bits of the options it cannot stand beside
    uint32_t traits;          // CommandTrait bits

    bool Has(CommandTrait trait) const { return (traits & trait) != 0; }
};

struct OptionRow {
    const char* spelling;  // in any letter case
    uint32_t flag;         // its bit in CommandOptions::flags, from bit 16 up
    Takes takes;
    bool leftAloneBySet;  // /set does not take it for its file name
};

// The rows of one table, for a range-for.
template <typename Row>
struct TableRows {
    const Row* first;
    size_t count;
    const Row* begin() const { return first; }
    const Row* end() const { return first + count; }
};

TableRows<CommandRow> CommandRows();
TableRows<OptionRow> OptionRows();

// The row spelled `word` in any letter case, or null.
const CommandRow* FindCommand(const char* word);
const OptionRow* FindOption(const char* word);

// The handlers of the rows (tool_main.cpp). RunHelp also serves a line that names no command.
int RunHelp(ConfigTool& tool, const CommandOptions& options);
int RunGet(ConfigTool& tool, const CommandOptions& options);
int RunSet(ConfigTool& tool, const CommandOptions& options);
int RunChangeUserPassword(ConfigTool& tool, const CommandOptions& options);
int RunChangeSupervisorPassword(ConfigTool& tool, const CommandOptions& options);
int RunCheck(ConfigTool& tool, const CommandOptions& options);
int RunCapture(ConfigTool& tool, const CommandOptions& options);
int RunVerifyPassword(ConfigTool& tool, const CommandOptions& options);

}  // namespace velorin::tool
