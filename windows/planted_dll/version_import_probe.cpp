// The control for the planted-DLL check: a program that imports version.dll the ordinary way,
// as the tool once did. Run beside the planted version.dll it must load it, or the check would
// prove nothing about the release executable.
#include <windows.h>

int main() {
    DWORD handle = 0;
    return GetFileVersionInfoSizeW(L"C:\\windows\\system32\\kernel32.dll", &handle) == 0 ? 1 : 0;
}
