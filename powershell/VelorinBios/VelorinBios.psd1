@{
    RootModule           = 'VelorinBios.psm1'
    ModuleVersion        = '1.1.1'
    GUID                 = 'de8032a6-8beb-416c-aa86-210fcd1617cd'
    Author               = 'Velorin'
    CompanyName          = 'Velorin'
    Copyright            = '(c) Velorin. All rights reserved.'
    Description          = 'Reads, checks and changes the BIOS setup settings of Velorin PCs through VelorinBiosConfigTool.'
    PowerShellVersion    = '5.1'
    CompatiblePSEditions = @('Desktop', 'Core')
    FunctionsToExport    = @(
        'Get-VelorinBiosSetting'
        'Export-VelorinBiosConfiguration'
        'Test-VelorinBiosConfiguration'
        'Set-VelorinBiosConfiguration'
        'Set-VelorinBiosSetting'
        'Set-VelorinBiosPassword'
        'Export-VelorinBiosMachine'
        'Test-VelorinBiosBaseline'
        'Reset-VelorinBiosPassword'
        'Unprotect-VelorinBiosPassword'
        'Clear-VelorinBiosPassword'
        'Get-VelorinBiosPasswordStatus'
        'Get-VelorinBaselineState'
        'Invoke-VelorinBaselineRemediation'
        'Invoke-VelorinModelBaseline'
        'Get-VelorinPasswordRotationState'
        'Invoke-VelorinPasswordRotation'
        'Get-VelorinComplianceState'
        'New-VelorinComplianceRule'
        'Write-VelorinFleetEvent'
    )
    FormatsToProcess     = @('VelorinBios.Format.ps1xml')
    CmdletsToExport      = @()
    VariablesToExport    = @()
    AliasesToExport      = @()
    PrivateData          = @{
        PSData = @{
            Tags = @('BIOS', 'Velorin', 'Intune', 'ConfigMgr')
        }
    }
}
