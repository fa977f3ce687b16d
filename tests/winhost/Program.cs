// A Windows PowerShell console host for the module's tests under Wine: the PowerShell SDK's own
// console shell with the default session state, and nothing else.
using System;
using System.Management.Automation.Runspaces;
using Microsoft.PowerShell;

internal static class Program
{
    private static int Main(string[] args)
    {
        return ConsoleShell.Start(InitialSessionState.CreateDefault2(), string.Empty, string.Empty, args);
    }
}
