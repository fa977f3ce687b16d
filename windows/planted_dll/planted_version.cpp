// A stand-in for a version.dll that an attacker places beside the executable. Whenever a
// process loads it, it leaves a mark file beside itself and says so on standard error, so a
// check can tell whether it was loaded. Its version calls all fail.
#include <windows.h>

#include <cwchar>

namespace {

void LeaveMark(HINSTANCE self) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t* name = std::wcsrchr(path, L'\\');
    if (name == nullptr) return;
    constexpr wchar_t kMark[] = L"planted-dll-ran";
    if (static_cast<size_t>(name + 1 - path) + sizeof(kMark) / sizeof(wchar_t) > MAX_PATH) return;
    std::wcscpy(name + 1, kMark);
    const HANDLE mark =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    constexpr char kSay[] = "planted version.dll ran\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kSay, sizeof kSay - 1, &written, nullptr);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMark(self);
    return TRUE;
}

DWORD WINAPI PlantedGetFileVersionInfoSizeW(LPCWSTR, LPDWORD handle) {
    if (handle != nullptr) *handle = 0;
    return 0;
}

BOOL WINAPI PlantedGetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }

BOOL WINAPI PlantedVerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }

}  // extern "C"
