// The current supervisor password (/pwstdin) and the new password (/newpwstdin) read from
// standard input, so that neither stands on a command line, which every user of the machine
// can read.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace velorin::tool {

// The most bytes of the line that are kept as the password.
constexpr size_t MAX_STDIN_PASSWORD_BYTES = 255;
// The most bytes read in all: a line without end (a device, an endless pipe) stops here.
constexpr size_t MAX_STDIN_PASSWORD_LINE = 64 * 1024;

// The first line of a byte source: its bytes up to the first LF or the end, a CR right before
// the LF dropped, the first MAX_STDIN_PASSWORD_BYTES of them kept and the rest of the line
// read and dropped. Nothing after the LF is asked for. `nextByte` gives 0 to 255, or a
// negative value at the end.
std::string ReadFirstLine(const std::function<int()>& nextByte);

// What a command reads from standard input: the current password, the new one, or both.
struct StdinPasswords {
    std::string current;
    std::string replacement;
    bool retypeDiffers = false;  // at a terminal, the two entries of the new password differ
};

// Reads the current password (when `current`) and then the new one (when `replacement`), one
// line each, byte by byte so that nothing after the last needed line is consumed. At a
// terminal (a console on Windows) it prompts with "Supervisor password: ", "New password: "
// and "Retype new password: ", reads with echo off and ends each prompt line; from a pipe or
// a file it prints nothing. Empty or closed input gives empty passwords.
StdinPasswords ReadPasswordsFromStdin(bool current, bool replacement);

}  // namespace velorin::tool
