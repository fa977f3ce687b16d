/* Stands in front of VelorinBiosConfigTool for the tests under Windows, as record-tool.sh does
 * on Unix: keeps the arguments (UTF-8, NUL-separated) and the standard input of every run in
 * VELORIN_RECORD_DIR, then runs the real tool (VELORIN_REAL_TOOL) with the same command line
 * and that input, and passes its exit code on. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <wchar.h>

static HANDLE create_file(const wchar_t* base, const wchar_t* suffix) {
    wchar_t path[2048];
    swprintf(path, 2048, L"%ls%ls", base, suffix);
    return CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
}

static int write_arguments(const wchar_t* base) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    HANDLE file = create_file(base, L".args");
    if (!arguments || file == INVALID_HANDLE_VALUE) return 0;
    for (int i = 1; i < count; ++i) {
        char text[8192];
        int length =
            WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, text, sizeof text, NULL, NULL);
        DWORD written = 0;
        if (length <= 0 || !WriteFile(file, text, (DWORD)length, &written, NULL)) return 0;
    }
    CloseHandle(file);
    LocalFree(arguments);
    return 1;
}

static int copy_input(const wchar_t* base) {
    HANDLE file = create_file(base, L".stdin");
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[4096];
    DWORD got = 0, written = 0;
    if (file == INVALID_HANDLE_VALUE) return 0;
    while (input != INVALID_HANDLE_VALUE && input != NULL &&
           ReadFile(input, buffer, sizeof buffer, &got, NULL) && got > 0) {
        if (!WriteFile(file, buffer, got, &written, NULL)) return 0;
    }
    CloseHandle(file);
    return 1;
}

/* The command line after the program's own name, as the Windows parser skips it. */
static const wchar_t* command_tail(void) {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    return line;
}

static DWORD run_tool(const wchar_t* tool, const wchar_t* base) {
    wchar_t input_path[2048], line[32768];
    swprintf(input_path, 2048, L"%ls.stdin", base);
    swprintf(line, 32768, L"\"%ls\"%ls", tool, command_tail());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE input =
        CreateFileW(input_path, GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, NULL);
    STARTUPINFOW start;
    ZeroMemory(&start, sizeof start);
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = input;
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    DWORD code = 127;
    if (input == INVALID_HANDLE_VALUE ||
        !CreateProcessW(tool, line, NULL, NULL, TRUE, 0, NULL, NULL, &start, &process)) {
        fwprintf(stderr, L"record-tool: cannot run %ls\n", tool);
        return code;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(input);
    return code;
}

int wmain(void) {
    const wchar_t* folder = _wgetenv(L"VELORIN_RECORD_DIR");
    const wchar_t* tool = _wgetenv(L"VELORIN_REAL_TOOL");
    if (!folder || !tool) {
        fwprintf(stderr, L"record-tool: VELORIN_RECORD_DIR and VELORIN_REAL_TOOL must be set\n");
        return 127;
    }
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    wchar_t base[2048];
    swprintf(base, 2048, L"%ls\\%020llu-%lu", folder,
             ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime,
             GetCurrentProcessId());
    if (!write_arguments(base) || !copy_input(base)) {
        fwprintf(stderr, L"record-tool: cannot record into %ls\n", folder);
        return 127;
    }
    return (int)run_tool(tool, base);
}
