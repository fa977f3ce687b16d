// One run of the tool: banner, connection, revision check, parse, and exactly one command.
// Every failing road ends with the COMMAND FAIL report of the code it returns.
#include "app/command_line.h"
#include "app/command_table.h"
#include "app/password_input.h"
#include "apply/input_reader.h"
#include "catalog/config_tool.h"
#include "catalog/machine_capture.h"
#include "catalog/machine_file_writer.h"
#include "report/console.h"
#include "report/text_conversion.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

namespace velorin::tool {

// Some texts below keep spellings that look like slips ("GetRivision", "systeam", "contians"):
// scripts in the field match them as they stand, so they are kept.
namespace {

constexpr uint16_t MIN_REVISION = 6;

int Fail(int code) {
    ReportCommandFail(code);
    return code;
}

// Keeps the exit code of a failure within the failure codes whatever a command hands back, so
// that no failure can pass for success or for the settings-differ outcome of /check.
int AsFailureCode(int code) { return IsFailureCode(code) ? code : RC_INTERNAL_ERROR; }

int CheckRevision(WTolqCore& core) {
    uint16_t revision = 0;
    if (!core.GetRevision(revision)) {
        ConsolePrint("GetRivision call failed\n");
        return Fail(RC_INTERNAL_ERROR);
    }
    if (revision >= MIN_REVISION) return RC_SUCCESS;
    ConsolePrint("Velorin BIOS WMI interface requires revision 6 or higher\n");
    ConsolePrint(
        "If your system shows lower revision on following command, please update systeam BIOS "
        "to the latest version for each model\n");
    ConsolePrint("Your current revision : %d\n", static_cast<int>(revision));
    return Fail(RC_NOT_SUPPORTED_REVISION);
}

void PrintUsage() { ConsolePrint("%s", UsageText); }

// Saves what the command changed. `resultSoFar` is the command's own code, already reported
// when it is a failure; a failed save adds a report of its own and wins.
int SaveChanges(WTolqCore& core, int resultSoFar, bool announceReboot) {
    uint16_t retCode = 0;
    if (!core.Save(retCode)) {
        ConsolePrint("Save call failed\n");
        return Fail(RC_INTERNAL_ERROR);
    }
    if (retCode == PROVIDER_RET_FAILED) return Fail(RC_INTERNAL_ERROR);
    if (resultSoFar == RC_SUCCESS && announceReboot) {
        ConsolePrint("Please Reboot computer to apply changes\n");
    }
    return resultSoFar;
}

// Only a refusal, a bad length or a failed call stops the set; any other answer of the
// provider (10 included) lets it go on, and the item sets report what the firmware refuses.
int CheckSetPassword(ConfigTool& tool, const CommandOptions& options) {
    const PasswordCheck check = tool.CheckSupervisorPassword(WidenBytes(options.currentPassword));
    const int checked =
        check.result != RC_SUCCESS ? check.result : check.answer.value_or(RC_SUCCESS);
    if (checked == RC_WRONG_PASSWORD) ConsolePrint("Incorrect Password\n");
    if (checked == RC_WRONG_PASSWORD || checked == RC_INVALID_PASSWORD_LENGTH ||
        checked == RC_INTERNAL_ERROR) {
        return Fail(checked);
    }
    return RC_SUCCESS;
}

// Reads the input file of /set or /check once. A file that cannot be used ends the command
// before its heading: nothing is compared, set or saved.
int ReadCommandInput(const CommandOptions& options, InputFile& input) {
    input = ReadInputFile(options.inputFileName);
    if (input.status == InputFileStatus::NotFound) {
        ConsolePrint("input file not exist or input file is empty\n");
        return Fail(RC_INPUT_FILE_NOT_FOUND);
    }
    if (input.status == InputFileStatus::TooLarge) {
        ConsolePrint("input file is too large\n");
        return Fail(RC_INVALID_INPUT_FILE_FORMAT);
    }
    return RC_SUCCESS;
}

// A failed file set still reaches the save, so whatever it changed before failing is kept.
int ApplyFromFile(ConfigTool& tool, const CommandOptions& options) {
    InputFile input{InputFileStatus::NotFound, {}};
    const int read = ReadCommandInput(options, input);
    if (read != RC_SUCCESS) return read;
    const int applied = tool.ApplyConfigFile(input.lines, (options.flags & FLAG_FORCE) != 0);
    if (applied == RC_SUCCESS) return SaveChanges(*tool.core, RC_SUCCESS, true);
    const int failure = AsFailureCode(applied);
    ConsolePrint("set failed\n");
    ReportCommandFail(failure);
    return SaveChanges(*tool.core, failure, true);
}

int ApplyTypedItem(ConfigTool& tool, const CommandOptions& options) {
    const int applied = tool.ApplySingleItem(options.itemName, options.itemValue);
    if (applied != RC_SUCCESS) {
        ConsolePrint("set failed\n");
        return Fail(AsFailureCode(applied));
    }
    ConsolePrint("set command success\n");
    return SaveChanges(*tool.core, RC_SUCCESS, true);
}

int CheckInputFileName(const CommandOptions& options) {
    if (IsValidFileName(options.inputFileName)) return RC_SUCCESS;
    ConsolePrint("input file name contians invalid char for file name\n");
    return Fail(RC_INVALID_FILE_NAME_CHAR);
}

// The items a typed /check names: the one whose name matches in any letter case.
std::set<int> TypedItemCodes(ConfigTool& tool, const std::string& itemName) {
    tool.IndexLowerCase();
    const auto item = tool.itemCodeByLowerName.find(LowerAscii(itemName));
    if (item == tool.itemCodeByLowerName.end()) return {};
    return {item->second};
}

// The closing line of a /check, and the exit code: 0 when everything matches, 13 when
// something differs, and a failure's own code with its report.
int ReportCheckOutcome(int checked, uint32_t differing) {
    if (checked == RC_SUCCESS) {
        ConsolePrint("check command success, the settings match\n");
        return RC_SUCCESS;
    }
    if (checked == RC_SETTINGS_DIFFER) {
        ConsolePrint("check command success, differing settings : %u\n",
                     static_cast<unsigned>(differing));
        return RC_SETTINGS_DIFFER;
    }
    ConsolePrint("check failed\n");
    return Fail(AsFailureCode(checked));
}

struct PasswordCommandText {
    const char* failed;
    const char* succeeded;
    const char* succeededUnshown;  // a new password from standard input is never echoed
};

constexpr PasswordCommandText USER_PASSWORD_TEXT = {"set userPassword fail\n",
                                                    "user password is successfully set to %s\n",
                                                    "user password is successfully set\n"};
constexpr PasswordCommandText SUPERVISOR_PASSWORD_TEXT = {
    "set supervisorpassword fail\n", "supervisor password is successfully set to %s\n",
    "supervisor password is successfully set\n"};

// The save follows a failed change as well; when it fails too, its report comes second and its
// 12 is the exit code.
int RunChangePassword(ConfigTool& tool, const CommandOptions& options, bool supervisor) {
    const PasswordCommandText& text = supervisor ? SUPERVISOR_PASSWORD_TEXT : USER_PASSWORD_TEXT;
    int result = tool.ChangePassword(supervisor, options.currentPassword, options.newPassword);
    if (result != RC_SUCCESS) {
        result = AsFailureCode(result);
        ConsolePrint("%s", text.failed);
        ReportCommandFail(result);
    } else if (options.flags & FLAG_NEW_PASSWORD_STDIN) {
        ConsolePrint("%s", text.succeededUnshown);
    } else {
        ConsolePrint(text.succeeded, options.newPassword);
    }
    return SaveChanges(*tool.core, result, false);
}

bool IsControlByte(char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    return byte < 0x20 || byte == 0x7F;
}

// A new password from standard input is refused before the provider sees anything: two
// different entries at a terminal, nothing at all (removing a password takes the deliberate
// empty argument on the command line), or a byte no setup screen can type.
int CheckTypedNewPassword(const StdinPasswords& typed) {
    if (typed.retypeDiffers) {
        ConsolePrint("new passwords do not match\n");
        return Fail(RC_INVALID_COMMAND);
    }
    if (typed.replacement.empty()) {
        ConsolePrint("new password is empty\n");
        return Fail(RC_INVALID_PASSWORD_LENGTH);
    }
    // The provider takes a NUL-terminated text: a NUL byte would set a shorter password than
    // the one typed, which nobody could then present.
    if (typed.replacement.find('\0') != std::string::npos) {
        ConsolePrint("new password holds a NUL byte\n");
        return Fail(RC_INVALID_COMMAND);
    }
    // No setup screen can type a TAB, an ESC or a CR into a password field: the firmware would
    // then hold a password that locks everyone out.
    if (std::any_of(typed.replacement.begin(), typed.replacement.end(), IsControlByte)) {
        ConsolePrint("new password holds a control character\n");
        return Fail(RC_INVALID_COMMAND);
    }
    return RC_SUCCESS;
}

// Reads what the command takes from standard input into `typed` and `options`. Input that
// cannot be read is refused, so that no failed read passes for the empty password.
int TakeStdinPasswords(CommandOptions& options, StdinPasswords& typed) {
    const CommandRow* command = options.command;
    const bool readsCurrent =
        options.passwordFromStdin && command != nullptr && command->Has(NEEDS_PASSWORD);
    const bool readsNew = (options.flags & FLAG_NEW_PASSWORD_STDIN) && command != nullptr &&
                          command->Has(TAKES_NEW_PASSWORD);
    if (!readsCurrent && !readsNew) return RC_SUCCESS;
    typed = ReadPasswordsFromStdin(readsCurrent, readsNew);
    if (typed.unreadable) {
        ConsolePrint("standard input cannot be read\n");
        return Fail(RC_INVALID_COMMAND);
    }
    if (readsCurrent) options.currentPassword = typed.current;
    if (!readsNew) return RC_SUCCESS;
    const int checked = CheckTypedNewPassword(typed);
    if (checked == RC_SUCCESS) options.newPassword = typed.replacement.c_str();
    return checked;
}

}  // namespace

// The handlers of the rows of the command table (command_table.cpp).

int RunHelp(ConfigTool&, const CommandOptions& options) {
    if (options.command == nullptr) {
        ConsolePrint("Invalid Command %s, check help guide below\n", options.firstArgument);
    }
    PrintUsage();
    return RC_SUCCESS;
}

int RunGet(ConfigTool& tool, const CommandOptions& options) {
    if (tool.LoadCatalogue() == RC_INTERNAL_ERROR) return Fail(RC_INTERNAL_ERROR);
    if (!IsValidFileName(options.outputFileName)) {
        ConsolePrint("output file name contians invalid char for file name\n");
        return Fail(RC_INVALID_FILE_NAME_CHAR);
    }
    const bool toFile = (options.flags & FLAG_OUTPUT) != 0;
    const int exported = tool.ExportConfig((options.flags & FLAG_ITEM) != 0, toFile,
                                           options.outputFileName, options.itemName);
    if (exported != RC_SUCCESS) return Fail(AsFailureCode(exported));
    ConsolePrint("get config command success\n");
    if (toFile) {
        ConsolePrint("Configurations are saved into %s successfully.\n",
                     options.outputFileName.c_str());
    }
    return RC_SUCCESS;
}

int RunSet(ConfigTool& tool, const CommandOptions& options) {
    const int checked = CheckSetPassword(tool, options);
    if (checked != RC_SUCCESS) return checked;
    const int named = CheckInputFileName(options);
    if (named != RC_SUCCESS) return named;
    if (tool.LoadCatalogue() == RC_INTERNAL_ERROR) return Fail(RC_INTERNAL_ERROR);
    if (options.flags & FLAG_ITEM) return ApplyTypedItem(tool, options);
    return ApplyFromFile(tool, options);
}

int RunChangeUserPassword(ConfigTool& tool, const CommandOptions& options) {
    return RunChangePassword(tool, options, false);
}

int RunChangeSupervisorPassword(ConfigTool& tool, const CommandOptions& options) {
    return RunChangePassword(tool, options, true);
}

// /check asks the firmware only what it compares: every item's name, then the current value
// and options of the items its input names. No password check, no set, no save; a failing
// provider ends it before its report.
int RunCheck(ConfigTool& tool, const CommandOptions& options) {
    const int named = CheckInputFileName(options);
    if (named != RC_SUCCESS) return named;
    CurrentIndexTable listed;
    if (tool.LoadItemNames(listed) == RC_INTERNAL_ERROR) return Fail(RC_INTERNAL_ERROR);
    const bool typed = (options.flags & FLAG_ITEM) != 0;
    InputFile input{InputFileStatus::NotFound, {}};
    if (!typed) {
        const int read = ReadCommandInput(options, input);
        if (read != RC_SUCCESS) return read;
    }
    const std::set<int> compared =
        typed ? TypedItemCodes(tool, options.itemName) : NamedItemCodes(tool, input.lines);
    if (tool.LoadItemDetails(listed, compared) != RC_SUCCESS) return Fail(RC_INTERNAL_ERROR);
    uint32_t differing = 0;
    const int checked =
        typed ? tool.CheckSingleItem(options.itemName, options.itemValue, differing)
              : tool.CheckConfigFile(input.lines, (options.flags & FLAG_FORCE) != 0, differing);
    return ReportCheckOutcome(checked, differing);
}

// The provider's answers go to the files as they are; the catalogue is not loaded.
int RunCapture(ConfigTool& tool, const CommandOptions& options) {
    if (!IsValidFileName(options.outputFileName)) {
        ConsolePrint("output file name contians invalid char for file name\n");
        return Fail(RC_INVALID_FILE_NAME_CHAR);
    }
    CapturedMachine machine;
    if (!CaptureMachine(*tool.core, machine)) return Fail(RC_INTERNAL_ERROR);
    if (!WriteMachineFiles(machine, options.outputFileName)) {
        ConsolePrint("can't write the output file %s\n", options.outputFileName.c_str());
        return Fail(RC_INTERNAL_ERROR);
    }
    ConsolePrint("capture command success\n");
    return RC_SUCCESS;
}

// The provider is asked and nothing else: no catalogue, no set, no save.
int RunVerifyPassword(ConfigTool& tool, const CommandOptions& options) {
    const int verified = tool.VerifySupervisorPassword(WidenBytes(options.currentPassword));
    if (verified == RC_SUCCESS) {
        ConsolePrint("supervisor password is correct\n");
        return RC_SUCCESS;
    }
    if (verified == RC_WRONG_PASSWORD) ConsolePrint("Incorrect Password\n");
    return Fail(AsFailureCode(verified));
}

int RunTool(ConfigTool& tool, int argc, char** argv) {
    const int revisionResult = CheckRevision(*tool.core);
    if (revisionResult != RC_SUCCESS) return revisionResult;
    CommandOptions options;
    if (ParseCommandLine(argc, argv, options) != 0) {
        ConsolePrint("invalid command, please check help guide below\n");
        PrintUsage();
        return Fail(RC_INVALID_COMMAND);
    }
    // Read once, before a password is first used; the help road never uses one, so no
    // prompt stands in front of the usage text.
    StdinPasswords typed;
    const int taken = TakeStdinPasswords(options, typed);
    if (taken != RC_SUCCESS) return taken;
    return options.command != nullptr ? options.command->run(tool, options)
                                      : RunHelp(tool, options);
}

}  // namespace velorin::tool
