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
        'Get-VelorinBiosBaselineState'
        'Invoke-VelorinBiosBaselineRemediation'
        'Invoke-VelorinBiosModelBaseline'
        'Get-VelorinBiosPasswordRotationState'
        'Invoke-VelorinBiosPasswordRotation'
        'Get-VelorinBiosComplianceState'
        'New-VelorinBiosComplianceRule'
        'Write-VelorinBiosFleetEvent'
    )
    FormatsToProcess     = @('VelorinBios.Format.ps1xml')
    CmdletsToExport      = @()
    VariablesToExport    = @()
    # The names these commands had before they took the VelorinBios prefix: each is an alias
    # declared beside its command, so that scripts written against the old name still run.
    AliasesToExport      = @(
        'Get-VelorinBaselineState'
        'Invoke-VelorinBaselineRemediation'
        'Invoke-VelorinModelBaseline'
        'Get-VelorinPasswordRotationState'
        'Invoke-VelorinPasswordRotation'
        'Get-VelorinComplianceState'
        'New-VelorinComplianceRule'
        'Write-VelorinFleetEvent'
    )
    PrivateData          = @{
        PSData = @{
            Tags = @('BIOS', 'Velorin', 'Intune', 'ConfigMgr')
        }
    }
}
