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

// What a byte source gives instead of a byte (0 to 255): the end of its input, or a failure
// (a directory, a closed descriptor), after which nothing it gave counts.
constexpr int STDIN_END = -1;
constexpr int STDIN_UNREADABLE = -2;

// The first line of a byte source: its bytes up to the first LF or the end, a CR right before
// the LF or right before the end dropped, the first MAX_STDIN_PASSWORD_BYTES of them kept and
// the rest of the line read and dropped. Nothing after the LF is asked for. Empty when the
// source fails (`unreadable` then set).
struct StdinLine {
    std::string text;
    bool unreadable = false;
};
StdinLine ReadFirstLine(const std::function<int()>& nextByte);

// A UTF-8 byte-order mark (EF BB BF) at the very start of a byte source is no part of its
// text: .NET Framework writes one ahead of whatever a parent sends on a UTF-8 console. This
// source gives what `nextByte` gives without it, reading no further than the first byte that
// differs from the mark, and gives those bytes back as they came.
class WithoutByteOrderMark {
  public:
    explicit WithoutByteOrderMark(std::function<int()> nextByte);
    int operator()();

  private:
    std::function<int()> next_;
    int held_[3] = {};
    size_t heldCount_ = 0;
    size_t given_ = 0;
    bool started_ = false;
};

// What a command reads from standard input: the current password, the new one, or both.
struct StdinPasswords {
    std::string current;
    std::string replacement;
    bool retypeDiffers = false;  // at a terminal, the two entries of the new password differ
    bool unreadable = false;     // standard input failed: neither text is a password
};

// Holds a closed standard input (descriptor 0) with a directory, which no read takes for
// text: otherwise the next file the process opens (the machine file, a configuration file)
// would become descriptor 0, and a password read from standard input would read that file.
// Called first in main; does nothing where standard input is open, and nothing on Windows,
// whose handles are never reused that way.
void HoldClosedStandardInput();

// Reads the current password (when `current`) and then the new one (when `replacement`), one
// line each, byte by byte so that nothing after the last needed line is consumed; a
// byte-order mark before the first line is dropped. At a terminal (a console on Windows) it
// prompts with "Supervisor password: ", "New password: " and "Retype new password: ", reads
// with echo off and ends each prompt line; from a pipe or a file it prints nothing. Empty
// input gives empty passwords; input that cannot be read gives `unreadable`.
StdinPasswords ReadPasswordsFromStdin(bool current, bool replacement);

}  // namespace velorin::tool
