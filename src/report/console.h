// Result codes, their messages, and everything the tool prints: all of it goes to standard
// output through one stdout stream, whichever of the three writers (ConsolePrint,
// ConsolePrintW, std::cout) a caller uses, so output keeps the order of the calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velorin::tool {

enum ResultCode : int {
    RC_SUCCESS = 0,
    RC_INVALID_COMMAND = 1,
    RC_WRONG_PASSWORD = 2,
    RC_NOT_SUPPORTED_REVISION = 3,
    RC_INPUT_FILE_NOT_FOUND = 4,
    RC_INVALID_FILE_NAME_CHAR = 5,
    RC_INVALID_INPUT_FILE_FORMAT = 6,
    RC_TARGET_ITEM_NOT_FOUND = 7,
    RC_TARGET_OPTION_NOT_FOUND = 8,
    RC_WRONG_DESCRIPTION = 9,
    RC_NO_SUPERVISOR_PASSWORD = 10,
    RC_INVALID_PASSWORD_LENGTH = 11,
    RC_INTERNAL_ERROR = 12,
    // Not a failure: /check ran and found settings that differ from its input. It has no
    // COMMAND FAIL report, and no failing road may hand it back.
    RC_SETTINGS_DIFFER = 13,
};
constexpr int RESULT_CODE_COUNT = 14;

// The codes that end a command with a COMMAND FAIL report: 1 to 12.
constexpr bool IsFailureCode(int code) { return code > RC_SUCCESS && code <= RC_INTERNAL_ERROR; }

extern const std::array<std::string, RESULT_CODE_COUNT> ResultMessages;

constexpr char FORBIDDEN_FILE_NAME_CHARS[] = {'/', '\\', ':', '*', '?', '"', '<', '>', '|'};

#if defined(__GNUC__)
#define VELORIN_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VELORIN_PRINTF_FORMAT(fmt, args)
#endif

void ConsolePrint(const char* format, ...) VELORIN_PRINTF_FORMAT(1, 2);
// Formats a wide message and writes it through the same narrow stdout stream.
void ConsolePrintW(const wchar_t* format, ...);
// Ends the COMMAND FAIL report, and with it the output of the run, with one flush.
void ReportCommandFail(int code);
// Report lines are written in blocks: a line end is a line feed, and a report, a prompt or
// the end of a run pushes out what is pending with this one flush.
void FlushOutput();
// Gives standard output a buffer of OUTPUT_BUFFER_BYTES when it is a file or a pipe, before
// anything is written: a report of millions of lines then takes a write per buffer, not per
// few lines. A terminal keeps its line buffering.
void BufferOutput();
inline constexpr size_t OUTPUT_BUFFER_BYTES = size_t{64} << 10;
void PrintBanner();
// The banner and version lines for a file version as the fixed version record carries it
// (major and minor in the high word, build and revision in the low word).
void PrintVersionLines(uint32_t fileVersionMS, uint32_t fileVersionLS);
bool IsValidFileName(std::string name);

}  // namespace velorin::tool
