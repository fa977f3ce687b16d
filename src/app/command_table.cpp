#include "app/command_table.h"

#include "report/text_conversion.h"

#include <iterator>
#include <string>

namespace velorin::tool {

namespace {

constexpr uint32_t NONE = 0;

// One row a command, in the order of their bits.
// clang-format off
constexpr CommandRow COMMAND_ROWS[] = {
    // spellings                    bit      its word takes         /i handler
    //   refused options                                       traits
    {{"/?", "/h"},                  1u << 0, Takes::Nothing,        0, RunHelp,
         NONE,                                                 NO_TRAITS},
    {{"/get"},                      1u << 1, Takes::Nothing,        1, RunGet,
         FLAG_PASSWORD | FLAG_FORCE,                           NO_TRAITS},
    // /set /i ignores a file name given as well.
    {{"/set"},                      1u << 2, Takes::SetFileName,    2, RunSet,
         FLAG_OUTPUT,                                          NEEDS_PASSWORD},
    {{"/ChangeUserPassword"},       1u << 3, Takes::NewPassword,    0, RunChangeUserPassword,
         FLAG_OUTPUT | FLAG_FORCE,                             NEEDS_PASSWORD | TAKES_NEW_PASSWORD},
    {{"/ChangeSupervisorPassword"}, 1u << 4, Takes::NewPassword,    0, RunChangeSupervisorPassword,
         FLAG_OUTPUT | FLAG_FORCE,                             NEEDS_PASSWORD | TAKES_NEW_PASSWORD},
    // A read-only command takes no password; it compares a file or one typed item, and a line
    // naming both would leave one of them unchecked while the run reports success.
    {{"/check"},                    1u << 5, Takes::CheckFileName,  2, RunCheck,
         FLAG_OUTPUT | FLAG_PASSWORD,                          FILE_EXCLUDES_ITEM},
    // The capture names its file itself and reads only.
    {{"/capture"},                  1u << 6, Takes::OutputFileName, 0, RunCapture,
         FLAG_OUTPUT | FLAG_PASSWORD | FLAG_FORCE | FLAG_ITEM, NO_TRAITS},
    {{"/VerifyPassword"},           1u << 7, Takes::Nothing,        0, RunVerifyPassword,
         FLAG_OUTPUT | FLAG_FORCE | FLAG_ITEM,                 NEEDS_PASSWORD},
};
// clang-format on

// /pwstdin stands wherever /pw may stand, so /set leaves it alone as well. Any other word, an
// option among them, is the file name of /set, as scripts in the field rely on.
constexpr OptionRow OPTION_ROWS[] = {
    {"/pw", FLAG_PASSWORD, Takes::CurrentPassword, true},
    {"/pwstdin", FLAG_PASSWORD, Takes::StdinPassword, true},
    {"/newpwstdin", FLAG_NEW_PASSWORD_STDIN, Takes::Nothing, false},
    {"/o", FLAG_OUTPUT, Takes::OutputFileName, false},
    {"/f", FLAG_FORCE, Takes::Nothing, true},
    {"/i", FLAG_ITEM, Takes::ItemArguments, true},
};

bool IsSpelled(const std::string& lowerWord, const char* spelling) {
    return spelling != nullptr && lowerWord == LowerAscii(spelling);
}

}  // namespace

TableRows<CommandRow> CommandRows() { return {COMMAND_ROWS, std::size(COMMAND_ROWS)}; }

TableRows<OptionRow> OptionRows() { return {OPTION_ROWS, std::size(OPTION_ROWS)}; }

const CommandRow* FindCommand(const char* word) {
    const std::string lowerWord = LowerAscii(word);
    for (const CommandRow& row : COMMAND_ROWS) {
        for (const char* spelling : row.spellings) {
            if (IsSpelled(lowerWord, spelling)) return &row;
        }
    }
    return nullptr;
}

const OptionRow* FindOption(const char* word) {
    const std::string lowerWord = LowerAscii(word);
    for (const OptionRow& row : OPTION_ROWS) {
        if (IsSpelled(lowerWord, row.spelling)) return &row;
    }
    return nullptr;
}

}  // namespace velorin::tool
