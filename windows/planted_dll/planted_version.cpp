// A stand-in for a version.dll that an attacker places beside the executable. It leaves mark
// files beside itself: "planted-dll-loaded-at-start" when a process loads it among the
// imports resolved at its start, "planted-dll-loaded-later" when it is loaded afterwards
// (LoadLibrary), and "planted-dll-called" when one of its version calls runs. The calls fail.
#include <windows.h>

#include <cwchar>

namespace {

HINSTANCE self = nullptr;

void LeaveMark(const wchar_t* mark) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t* name = std::wcsrchr(path, L'\\');
    if (name == nullptr) return;
    const size_t room = MAX_PATH - static_cast<size_t>(name + 1 - path);
    if (std::wcslen(mark) >= room) return;
    std::wcscpy(name + 1, mark);
    const HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" {

// `reserved` is non-null for a DLL loaded while the process starts, null for LoadLibrary.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        LeaveMark(reserved != nullptr ? L"planted-dll-loaded-at-start"
                                      : L"planted-dll-loaded-later");
    }
    return TRUE;
}

DWORD WINAPI PlantedGetFileVersionInfoSizeW(LPCWSTR, LPDWORD handle) {
    LeaveMark(L"planted-dll-called");
    if (handle != nullptr) *handle = 0;
    return 0;
}

BOOL WINAPI PlantedGetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) {
    LeaveMark(L"planted-dll-called");
    return FALSE;
}

BOOL WINAPI PlantedVerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) {
    LeaveMark(L"planted-dll-called");
    return FALSE;
}

}  // extern "C"
