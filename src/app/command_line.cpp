#include "app/command_line.h"

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

// What an option takes from the arguments that follow it.
enum class Takes {
    Nothing,
    SetFileName,      // the next argument unless it is one of the options /set leaves alone
    CheckFileName,    // the next argument unless it is one of the tool's options
    NewPassword,      // the next argument, whatever it is
    CurrentPassword,  // the next argument, whatever it is
    StdinPassword,    // nothing: the current password comes from standard input
    OutputFileName,   // the next argument, whatever it is
    ItemArguments,    // none, one or two, by the command already seen
};

struct OptionRule {
    const char* name;
    uint32_t flag;
    bool isCommand;
    Takes takes;
};

constexpr OptionRule OPTION_RULES[] = {
    {"/get", FLAG_GET, true, Takes::Nothing},
    {"/set", FLAG_SET, true, Takes::SetFileName},
    {"/ChangeUserPassword", FLAG_CHANGE_USER_PASSWORD, true, Takes::NewPassword},
    {"/ChangeSupervisorPassword", FLAG_CHANGE_SUPERVISOR_PASSWORD, true, Takes::NewPassword},
    {"/check", FLAG_CHECK, true, Takes::CheckFileName},
    {"/capture", FLAG_CAPTURE, true, Takes::OutputFileName},
    {"/VerifyPassword", FLAG_VERIFY_PASSWORD, true, Takes::Nothing},
    {"/?", FLAG_HELP, true, Takes::Nothing},
    {"/h", FLAG_HELP, true, Takes::Nothing},
    {"/pw", FLAG_PASSWORD, false, Takes::CurrentPassword},
    {"/pwstdin", FLAG_PASSWORD, false, Takes::StdinPassword},
    {"/newpwstdin", FLAG_NEW_PASSWORD_STDIN, false, Takes::Nothing},
    {"/o", FLAG_OUTPUT, false, Takes::OutputFileName},
    {"/f", FLAG_FORCE, false, Takes::Nothing},
    {"/i", FLAG_ITEM, false, Takes::ItemArguments},
};

// A /set followed by one of these has no file name: the option is parsed in its own right.
// /pwstdin stands wherever /pw may stand, so /set leaves it alone as well. Any other word, an
// option among them, is the file name of /set, as scripts in the field rely on.
constexpr const char* NOT_SET_FILE_NAMES[] = {"/i", "/f", "/pw", "/pwstdin"};

// Once the options are read, the first rule whose command is present decides whether the
// combination stands.
struct CommandRule {
    uint32_t commands;
    uint32_t forbiddenOptions;
    bool needsPassword;
    bool fileExcludesItem;  // a file name and /i together are refused
};

constexpr CommandRule COMMAND_RULES[] = {
    {FLAG_GET, FLAG_PASSWORD | FLAG_FORCE, false, false},
    // /set /i ignores a file name given as well.
    {FLAG_SET, FLAG_OUTPUT, true, false},
    {CHANGE_PASSWORD_COMMANDS, FLAG_OUTPUT | FLAG_FORCE, true, false},
    // A read-only command takes no password; it compares a file or one typed item, and a
    // line naming both would leave one of them unchecked while the run reports success.
    {FLAG_CHECK, FLAG_OUTPUT | FLAG_PASSWORD, false, true},
    // The capture names its file itself and reads only.
    {FLAG_CAPTURE, FLAG_OUTPUT | FLAG_PASSWORD | FLAG_FORCE | FLAG_ITEM, false, false},
    {FLAG_VERIFY_PASSWORD, FLAG_OUTPUT | FLAG_FORCE | FLAG_ITEM, true, false},
};

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

bool SameOption(const char* argument, const char* option) {
    return LowerAscii(argument) == LowerAscii(option);
}

const OptionRule* FindOption(const char* argument) {
    for (const OptionRule& rule : OPTION_RULES) {
        if (SameOption(argument, rule.name)) return &rule;
    }
    return nullptr;
}

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
    for (const char* option : NOT_SET_FILE_NAMES) {
        if (SameOption(argument, option)) return true;
    }
    return false;
}

// Unlike /set, /check leaves every option alone: a password given to it is then refused as
// a password, never taken for a file name.
bool IsLeftAloneByCheck(const char* argument) { return FindOption(argument) != nullptr; }

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

bool TakeItemArguments(ArgumentCursor& args, CommandOptions& options) {
    if (options.flags & FLAG_GET) return AppendNext(args, options.itemName);
    if (options.flags & (FLAG_SET | FLAG_CHECK)) {
        return AppendNext(args, options.itemName) && AppendNext(args, options.itemValue);
    }
    return true;
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

bool ReadOptions(ArgumentCursor& args, CommandOptions& options) {
    int commandCount = 0;
    while (!args.AtEnd()) {
        const OptionRule* rule = FindOption(args.Take());
        if (rule == nullptr) return false;
        options.flags |= rule->flag;
        if (rule->isCommand) ++commandCount;
        if (!TakeArguments(rule->takes, args, options)) return false;
        if (commandCount > MAX_COMMANDS) return false;
    }
    return true;
}

// Looked for before the walk: it decides what the change-password options take, wherever it
// stands.
bool MentionsNewPasswordStdin(int argc, char** argv) {
    ArgumentCursor args(argc, argv);
    while (!args.AtEnd()) {
        if (SameOption(args.Take(), "/newpwstdin")) return true;
    }
    return false;
}

bool ValidateCombination(const CommandOptions& options) {
    const uint32_t flags = options.flags;
    // /newpwstdin serves the change-password commands only; beside any other command it fails.
    if ((flags & FLAG_NEW_PASSWORD_STDIN) && (flags & COMMAND_FLAGS & ~CHANGE_PASSWORD_COMMANDS)) {
        return false;
    }
    for (const CommandRule& rule : COMMAND_RULES) {
        if ((flags & rule.commands) == 0) continue;
        if (flags & rule.forbiddenOptions) return false;
        if (rule.fileExcludesItem && options.inputFileNamed && (flags & FLAG_ITEM)) return false;
        if (rule.needsPassword && (flags & FLAG_PASSWORD) == 0) {
            ConsolePrint("Need /pw input\n");
            return false;
        }
        return true;
    }
    return true;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, CommandOptions& options) {
    ArgumentCursor args(argc, argv);
    if (MentionsNewPasswordStdin(argc, argv)) options.flags |= FLAG_NEW_PASSWORD_STDIN;
    if (!ReadOptions(args, options)) return -1;
    return ValidateCombination(options) ? 0 : -1;
}

}  // namespace velorin::tool
