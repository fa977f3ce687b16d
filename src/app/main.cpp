#include "app/command_line.h"
#include "app/report/console.h"
#include "catalog/config_tool.h"

#include <memory>

int main(int argc, char** argv) {
    // The banner comes before the connection, whose failures it must precede.
    PrintBanner();
    // The one tool of the process is never destroyed: the process end releases the WMI
    // connection, and tearing COM down from static destructors after main has returned is not
    // safe on Windows. The static reference keeps it reachable, so leak checkers do not flag it.
    static ConfigTool& tool = *std::make_unique<ConfigTool>().release();
    return RunTool(tool, argc, argv);
}
