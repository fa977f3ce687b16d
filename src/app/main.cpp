#include "app/command_line.h"
#include "app/password_input.h"
#include "catalog/config_tool.h"
#include "report/console.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <memory>

int main(int argc, char** argv) {
#ifdef _WIN32
    // The tool runs elevated, often from a download or a share. From here on every DLL that
    // is loaded, by the tool or by COM and WMI on its behalf, and every dependency of those
    // resolves from the system folder only, never from the executable's or the current folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif
    velorin::tool::HoldClosedStandardInput();
    velorin::tool::BufferOutput();
    // The banner comes before the connection, whose failures it must precede.
    velorin::tool::PrintBanner();
    // The one tool of the process is never destroyed: the process end releases the WMI
    // connection, and tearing COM down from static destructors after main has returned is not
    // safe on Windows. The static reference keeps it reachable, so leak checkers do not flag it.
    static velorin::tool::ConfigTool& tool =
        *std::make_unique<velorin::tool::ConfigTool>().release();
    return velorin::tool::RunTool(tool, argc, argv);
}
