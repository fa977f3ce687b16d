# The engine host's stand-in for Windows' CimCmdlets (see CimCmdlets.psm1).
@{
    RootModule        = 'CimCmdlets.psm1'
    ModuleVersion     = '1.0.0'
    GUID              = '3b0e6f0c-5a71-4d55-9f3e-2f1c8a7d4e21'
    Description       = 'Test stand-in: Get-CimInstance answers the SMBIOS classes of the simulated sample machine.'
    FunctionsToExport = @('Get-CimInstance')
    CmdletsToExport   = @()
    VariablesToExport = @()
    AliasesToExport   = @()
}
