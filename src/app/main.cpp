#include "app/command_line.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The tool runs elevated, often from a download or a share. From here on every DLL that
    // is loaded, by the tool or by COM and WMI on its behalf, and every dependency of those
    // resolves from the system folder only, never from the executable's or the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif
    return RunTool(argc, argv);
}
