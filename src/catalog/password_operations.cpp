// The supervisor password check that guards every change, its plain yes-or-no form, and the
// change of a BIOS password through the password items.
#include "catalog/config_tool.h"
#include "report/console.h"
#include "report/text_conversion.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velorin::tool {

namespace {

constexpr size_t MAX_PASSWORD_LENGTH = 20;

// The provider's answer to the Set of a password item; an answer that means nothing to the
// tool is an internal error.
int PasswordSetResult(uint16_t retCode) {
    return ResultOfProviderAnswer(retCode).value_or(RC_INTERNAL_ERROR);
}

// RC_SUCCESS once the provider has answered, with its answer in `retCode`; otherwise the
// tool's own code for a password it never saw or a call that failed.
int PresentPassword(WTolqCore& core, const std::wstring& password, uint16_t& retCode) {
    if (password.size() > MAX_PASSWORD_LENGTH) {
        ConsolePrintW(L"password length must be under 20\n");
        return RC_INVALID_PASSWORD_LENGTH;
    }
    // The provider takes a NUL-terminated text, so a password read with a NUL in it would
    // reach it cut short: a different, shorter password than the one given. No such text is
    // anyone's password; it is refused as a wrong one, and the provider is not asked.
    if (password.find(L'\0') != std::wstring::npos) return RC_WRONG_PASSWORD;
    if (!core.SetPassword(password.c_str(), retCode)) {
        ConsolePrint("Setpassword call failed\n");  // spelled as the field expects it
        return RC_INTERNAL_ERROR;
    }
    return RC_SUCCESS;
}

}  // namespace

PasswordCheck ConfigTool::CheckSupervisorPassword(const std::wstring& password) {
    uint16_t retCode = 0;
    PasswordCheck check;
    check.result = PresentPassword(*core, password, retCode);
    if (check.result == RC_SUCCESS) check.answer = ResultOfProviderAnswer(retCode);
    return check;
}

// Unlike the check before a change, only a plain yes or no of the provider counts: a caller
// tells the two passwords a device may hold apart by it, so an answer it cannot read must not
// pass for either.
int ConfigTool::VerifySupervisorPassword(const std::wstring& password) {
    const PasswordCheck check = CheckSupervisorPassword(password);
    if (check.result != RC_SUCCESS) return check.result;
    if (check.answer == RC_SUCCESS || check.answer == RC_WRONG_PASSWORD) return *check.answer;
    return RC_INTERNAL_ERROR;
}

int ConfigTool::ChangePassword(bool supervisor, std::string_view currentPassword,
                               const char* newPassword) {
    const PasswordCheck check = CheckSupervisorPassword(WidenBytes(currentPassword));
    if (check.result != RC_SUCCESS || check.answer != RC_SUCCESS) {
        ConsolePrint("Incorrect Password\n");
        return RC_WRONG_PASSWORD;
    }
    const auto itemCode =
        static_cast<uint16_t>(supervisor ? supervisorPasswordItem : userPasswordItem);
    const std::wstring value = WidenArgument(newPassword);
    uint16_t retCode = 0;
    wchar_t itemCodeText[SET_TEXT_UNITS] = {};
    wchar_t dataText[SET_TEXT_UNITS] = {};
    if (!core->Set(itemCode, value.c_str(), retCode, itemCodeText, dataText)) {
        ConsolePrint("Set call failed\n");
        return RC_INTERNAL_ERROR;
    }
    return PasswordSetResult(retCode);
}

}  // namespace velorin::tool
