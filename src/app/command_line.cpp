#include "app/command_line.h"

#include "app/command_table.h"
#include "report/console.h"
#include "report/text_conversion.h"

#include <cstddef>

namespace velorin::tool {

// The usage text is kept letter for letter ("curretn", the heading, the second "/set is used to
// set bios using input file" over the password commands): the field expects it as it stands.
const char UsageText[] =
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
    "  > VelorinBiosConfigTool.exe /ChangeSupervisorPassword NewPassword /pw "
    "CurrentBiosPassword\n"
    "  > VelorinBiosConfigTool.exe /ChangeUserPassword NewPassword /pw CurrentBiosPassword\n"
    "    NewPassword - New supervisor/user password to set\n"
    "    CurrentBiosPassword - Supervisor password of bios\n"
    "\n";

namespace {

constexpr int MAX_COMMANDS = 1;

// The arguments after the program name. A null entry ends them early, so a vector shorter
// than its count is never read past its end.
class ArgumentCursor {
  public:
    ArgumentCursor(int argc, char** argv) : argv_(argv) {
        while (argv_ != nullptr && end_ < argc && argv_[end_] != nullptr) ++end_;
    }
    bool AtEnd() const { return next_ >= end_; }
    const char* Peek() const { return AtEnd() ? nullptr : argv_[next_]; }
    const char* Take() { return AtEnd() ? nullptr : argv_[next_++]; }

  private:
    char** argv_;
    int end_ = 0;
    int next_ = 1;
};

bool AppendNext(ArgumentCursor& args, std::string& field) {
    const char* argument = args.Take();
    if (argument == nullptr) return false;
    field += argument;
    return true;
}

// The field refers to the argument itself (a pointer or a view of it); nothing is copied.
template <typename Reference>
bool ReferToNext(ArgumentCursor& args, Reference& field) {
    const char* argument = args.Take();
    if (argument == nullptr) return false;
    field = argument;
    return true;
}

bool IsLeftAloneBySet(const char* argument) {
    const OptionRow* option = FindOption(argument);
    return option != nullptr && option->leftAloneBySet;
}

// Unlike /set, /check leaves every word of the tool alone: a password given to it is then
// refused as a password, never taken for a file name.
bool IsLeftAloneByCheck(const char* argument) {
    return FindCommand(argument) != nullptr || FindOption(argument) != nullptr;
}

bool TakeInputFileName(ArgumentCursor& args, CommandOptions& options,
                       bool (*isLeftAlone)(const char*)) {
    const char* next = args.Peek();
    if (next == nullptr) return false;
    if (isLeftAlone(next)) return true;
    options.inputFileNamed = true;
    return AppendNext(args, options.inputFileName);
}

bool TakeCurrentPassword(ArgumentCursor& args, CommandOptions& options) {
    options.passwordFromStdin = false;
    return ReferToNext(args, options.currentPassword);
}

// The last of /pw and /pwstdin wins, as the last of two /pw does.
bool TakeStdinPassword(CommandOptions& options) {
    options.passwordFromStdin = true;
    options.currentPassword = {};
    return true;
}

// Each /i takes as many arguments as the command before it gives it: none before a command.
bool TakeItemArguments(ArgumentCursor& args, CommandOptions& options) {
    const int count = options.command != nullptr ? options.command->itemArguments : 0;
    if (count >= 1 && !AppendNext(args, options.itemName)) return false;
    return count < 2 || AppendNext(args, options.itemValue);
}

bool TakeArguments(Takes takes, ArgumentCursor& args, CommandOptions& options) {
    switch (takes) {
        case Takes::Nothing:
            return true;
        case Takes::SetFileName:
            return TakeInputFileName(args, options, IsLeftAloneBySet);
        case Takes::CheckFileName:
            return TakeInputFileName(args, options, IsLeftAloneByCheck);
        case Takes::NewPassword:
            return (options.flags & FLAG_NEW_PASSWORD_STDIN) != 0 ||
                   ReferToNext(args, options.newPassword);
        case Takes::CurrentPassword:
            return TakeCurrentPassword(args, options);
        case Takes::StdinPassword:
            return TakeStdinPassword(options);
        case Takes::OutputFileName:
            return AppendNext(args, options.outputFileName);
        case Takes::ItemArguments:
            return TakeItemArguments(args, options);
    }
    return false;
}

// The flag and what the word takes, from the command or option row that spells it.
struct Word {
    uint32_t flag;
    Takes takes;
};

bool ReadWord(const char* argument, CommandOptions& options, int& commandCount, Word& word) {
    if (const CommandRow* command = FindCommand(argument)) {
        options.command = command;
        ++commandCount;
        word = {command->flag, command->takes};
        return true;
    }
    const OptionRow* option = FindOption(argument);
    if (option == nullptr) return false;
    word = {option->flag, option->takes};
    return true;
}

bool ReadOptions(ArgumentCursor& args, CommandOptions& options) {
    int commandCount = 0;
    while (!args.AtEnd()) {
        Word word{0, Takes::Nothing};
        if (!ReadWord(args.Take(), options, commandCount, word)) return false;
        options.flags |= word.flag;
        if (!TakeArguments(word.takes, args, options)) return false;
        if (commandCount > MAX_COMMANDS) return false;
    }
    return true;
}

// Looked for before the walk: it decides what the change-password options take, wherever it
// stands.
bool MentionsNewPasswordStdin(int argc, char** argv) {
    ArgumentCursor args(argc, argv);
    while (!args.AtEnd()) {
        const OptionRow* option = FindOption(args.Take());
        if (option != nullptr && option->flag == FLAG_NEW_PASSWORD_STDIN) return true;
    }
    return false;
}

// The rules of the line's command; a line without a command has none.
bool ValidateCombination(const CommandOptions& options) {
    const CommandRow* command = options.command;
    if (command == nullptr) return true;
    const uint32_t flags = options.flags;
    // /newpwstdin serves the change-password commands only; beside any other command it fails.
    if ((flags & FLAG_NEW_PASSWORD_STDIN) && !command->Has(TAKES_NEW_PASSWORD)) return false;
    if (flags & command->refusedOptions) return false;
    const bool fileAndItem = options.inputFileNamed && (flags & FLAG_ITEM);
    if (fileAndItem && command->Has(FILE_EXCLUDES_ITEM)) return false;
    if (command->Has(NEEDS_PASSWORD) && (flags & FLAG_PASSWORD) == 0) {
        ConsolePrint("Need /pw input\n");
        return false;
    }
    return true;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, CommandOptions& options) {
    ArgumentCursor args(argc, argv);
    if (argc > 1 && argv != nullptr && argv[1] != nullptr) options.firstArgument = argv[1];
    if (MentionsNewPasswordStdin(argc, argv)) options.flags |= FLAG_NEW_PASSWORD_STDIN;
    if (!ReadOptions(args, options)) return -1;
    return ValidateCombination(options) ? 0 : -1;
}

}  // namespace velorin::tool
