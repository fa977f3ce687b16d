#include "report/console.h"

#include "report/file_version.h"
#include "report/text_conversion.h"

#include <windows.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace velorin::tool {

// The messages are kept letter for letter, small letters of 11 included: the field's scripts
// match them.
const std::array<std::string, RESULT_CODE_COUNT> ResultMessages = {
    "Success",
    "Invalid command or option",
    "Wrong password",
    "Not supported revision",
    "Input file not found",
    "Invalid char included in file name",
    "Invalid input file format",
    "Target item not found",
    "Target option not found",
    "Wrong description or option included in input file",
    "There is no supervisor password set",
    "invalid password length to set",
    "Internal error",
    "Settings differ from the input file",
};

void ConsolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

// The wide text is narrowed unit by unit and written through the narrow stdout stream: a wide
// write would fix the stream's orientation on some C libraries and break the other writers.
void ConsolePrintW(const wchar_t* format, ...) {
    constexpr size_t MAX_MESSAGE_UNITS = size_t{1} << 20;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        // C's vswprintf fails on a buffer that is too small; MinGW's returns the full length.
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) {
            std::string narrow(static_cast<size_t>(written), '\0');
            for (size_t i = 0; i < narrow.size(); ++i) {
                narrow[i] = NarrowUnit(buffer[i]);
            }
            std::fwrite(narrow.data(), 1, narrow.size(), stdout);
            return;
        }
        if (buffer.size() >= MAX_MESSAGE_UNITS) return;  // a message this long is a format fault
        buffer.resize(buffer.size() * 2);
    }
}

void ReportCommandFail(int code) {
    const bool known = code >= 0 && code < RESULT_CODE_COUNT;
    std::cout << "*******COMMAND FAIL******\n";
    std::cout << "Return Code : " << code << " Error Message : "
              << (known ? ResultMessages[static_cast<size_t>(code)] : "Unknown result code")
              << '\n';
    FlushOutput();
}

void BufferOutput() {
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
    const bool terminal = isatty(fileno(stdout)) != 0;
#endif
    // The C library would ignore the size without a buffer of the caller's.
    static char buffer[OUTPUT_BUFFER_BYTES];
    if (!terminal) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void FlushOutput() {
    std::cout.flush();
    std::fflush(stdout);
}

void PrintBanner() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::optional<VS_FIXEDFILEINFO> info = FixedFileVersionOf(path);
    if (info) PrintVersionLines(info->dwFileVersionMS, info->dwFileVersionLS);
}

// The revision letter is the revision plus 0x40 kept to 16 bits: 1 gives A, 0 gives '@'.
void PrintVersionLines(uint32_t fileVersionMS, uint32_t fileVersionLS) {
    const WORD revision = LOWORD(fileVersionLS);
    const auto marker = static_cast<WORD>(revision + 0x40);
    ConsolePrint("======================VelorinBiosConfigTool==================\n");
    ConsolePrint("Tool version : % d. % d. % d. % d(%c)\n", HIWORD(fileVersionMS),
                 LOWORD(fileVersionMS), HIWORD(fileVersionLS), revision,
                 static_cast<int>(marker & 0xFF));
}

bool IsValidFileName(std::string name) {
    for (const char c : name) {
        for (const char forbidden : FORBIDDEN_FILE_NAME_CHARS) {
            if (c == forbidden) return false;
        }
    }
    return true;
}

}  // namespace velorin::tool
