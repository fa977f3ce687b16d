// The supervisor password check that guards every change, and the two commands that set a
// new BIOS password through the password items.
#include "app/command_line.h"
#include "app/report/console.h"
#include "app/report/text_conversion.h"
#include "catalog/config_tool.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

constexpr size_t MAX_PASSWORD_LENGTH = 20;

// Counts no further than one unit past the limit, so an unterminated or huge text is never
// walked to its end.
bool ExceedsPasswordLength(const wchar_t* password) {
    size_t length = 0;
    while (password[length] != L'\0') {
        if (++length > MAX_PASSWORD_LENGTH) return true;
    }
    return false;
}

// The provider's answer to the Set of a password item: its own codes 1 to 12 mean what the
// tool's result codes mean (2 not authorised, 10 no supervisor password, 11 bad length);
// anything else it refuses with is an internal error.
int PasswordSetResult(uint16_t retCode) {
    if (retCode == PROVIDER_RET_DONE) return RC_SUCCESS;
    if (IsFailureCode(retCode)) return retCode;
    return RC_INTERNAL_ERROR;
}

// RC_SUCCESS once the provider has answered, with its answer in `retCode`; otherwise the
// tool's own code for a password it never saw or a call that failed.
int PresentPassword(WTolqCore& core, const wchar_t* password, uint16_t& retCode) {
    const wchar_t* text = password != nullptr ? password : L"";
    if (ExceedsPasswordLength(text)) {
        ConsolePrintW(L"password length must be under 20\n");
        return RC_INVALID_PASSWORD_LENGTH;
    }
    if (!core.SetPassword(text, retCode)) {
        ConsolePrint("Setpassword call failed\n");  // spelled as the field expects it
        return RC_INTERNAL_ERROR;
    }
    return RC_SUCCESS;
}

}  // namespace

int ConfigTool::CheckSupervisorPassword(const wchar_t* password) {
    uint16_t retCode = 0;
    const int presented = PresentPassword(*core, password, retCode);
    return presented != RC_SUCCESS ? presented : retCode;
}

// Unlike the check before a change, only a plain yes or no of the provider counts: a caller
// tells the two passwords a device may hold apart by it, so an answer it cannot read must not
// pass for either.
int ConfigTool::VerifySupervisorPassword(const wchar_t* password) {
    uint16_t retCode = 0;
    const int presented = PresentPassword(*core, password, retCode);
    if (presented != RC_SUCCESS) return presented;
    if (retCode == PROVIDER_RET_DONE) return RC_SUCCESS;
    return retCode == RC_WRONG_PASSWORD ? RC_WRONG_PASSWORD : RC_INTERNAL_ERROR;
}

int ConfigTool::ChangePassword(bool supervisor, const char* currentPassword,
                               const char* newPassword) {
    const std::wstring current = WidenArgument(currentPassword);
    if (CheckSupervisorPassword(current.c_str()) != RC_SUCCESS) {
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
