<#
.SYNOPSIS
Intune custom compliance discovery script: reports the BIOS posture of this Velorin PC.

.DESCRIPTION
Compares the BIOS settings with the baseline pasted below (no password needed, nothing is
changed), reads the password store (no password is presented to the firmware) and writes one
line of compressed JSON, the keys that the rules of New-VelorinBiosComplianceRule read: one per
entry of the baseline that this model has, named after the setting, its value the current
option's text; VelorinBaselineCompliant, VelorinSettingsDiffering, VelorinBaselineName,
VelorinPasswordRotated, VelorinPasswordAgeDays (-1 where the PC does not rotate) and
VelorinToolVersion. A PC that is not a Velorin PC, or whose model no baseline serves, reports
the summary keys only, compliant, with the reason in VelorinBaselineName; a check that fails
reports them not compliant, with the reason. Always exits 0: Intune reads the JSON. Writes
one event to the Application log.

.PARAMETER StorePath
The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

.PARAMETER BaselinePath
A baseline file to use instead of the baselines pasted below, for every model.

.PARAMETER Model
The SMBIOS product name to pick the baseline by instead of this PC's, for rehearsals and
tests.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder; the
engines run the script without parameters, the others are for rehearsals and tests.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Discover-VelorinBiosCompliance.ps1
#>
[CmdletBinding()]
param(
    [string] $StorePath,
    [string] $BaselinePath,
    [string] $Model,
    # The MSI installs into the 64-bit Program Files, which ProgramW6432 names in a 32-bit host
    # too (the Intune default), where ProgramFiles is Program Files (x86).
    [string] $InstallFolder = $(
        $programFiles = @(@($env:ProgramW6432, $env:ProgramFiles, [System.IO.Path]::DirectorySeparatorChar) | Where-Object { $_ })[0]
        Join-Path (Join-Path $programFiles 'Velorin') 'BiosConfigTool'),
    # The zip keeps the module in the install folder. The MSI installs it under the 64-bit
    # Program Files\WindowsPowerShell\Modules, which a 32-bit host's PSModulePath lacks; any
    # other copy PowerShell finds by name comes last.
    [string] $ModulePath = $(
        $programFiles = @(@($env:ProgramW6432, $env:ProgramFiles, [System.IO.Path]::DirectorySeparatorChar) | Where-Object { $_ })[0]
        $msiModule = Join-Path (Join-Path (Join-Path $programFiles 'WindowsPowerShell') 'Modules') 'VelorinBios'
        $candidates = @(
            Join-Path $InstallFolder 'VelorinBios'
            Get-ChildItem -LiteralPath $msiModule -Directory -ErrorAction SilentlyContinue |
                Sort-Object { $_.Name -as [version] } -Descending | ForEach-Object FullName
            Get-Module -ListAvailable -Name VelorinBios | Sort-Object Version -Descending | ForEach-Object ModuleBase)
        # None found: the install folder's, so that the import names where it looked.
        @(@($candidates | Where-Object { Test-Path -LiteralPath (Join-Path $_ 'VelorinBios.psd1') }) + $candidates)[0]),
    [string] $ToolPath,
    [string] $MachineFile
)

# The baselines, one per model, in the order they are tried: Model is a wildcard pattern over
# the SMBIOS product name, Baseline the blocks of the settings to enforce as
# Export-VelorinBiosConfiguration writes them, the wanted option marked "*". The first entry
# whose pattern matches this PC is used; a PC that none serves is not applicable. Rehearse each
# one on the captured models with Test-VelorinBiosBaseline before pasting it here. Entries
# that a model lacks are left out; an entry whose wanted option it lacks or cannot select is
# not met.
$Baselines = @(
    @{
        Model    = 'Velorin ProBook 14*'
        Baseline = @'
+++Secure Boot
*Enabled
Disabled

+++Wake On LAN
Disabled
*LAN Only

'@
    }
    @{
        # No Wake On LAN on this model.
        Model    = 'Velorin ProBook 16*'
        Baseline = @'
+++Secure Boot
*Enabled
Disabled

'@
    }
    @{
        # This model spells the option "LAN-Only".
        Model    = 'Velorin EliteDesk 8*'
        Baseline = @'
+++Secure Boot
*Enabled
Disabled

+++Wake On LAN
Disabled
*LAN-Only

'@
    }
)

$outcome = $null
$summary = $null
try {
    Import-Module (Join-Path $ModulePath 'VelorinBios.psd1') -ErrorAction Stop
    $outcome = Get-VelorinBiosComplianceState -Baselines $Baselines -Model $Model -BaselinePath $BaselinePath -StorePath $StorePath `
        -ToolPath $ToolPath -MachineFile $MachineFile
    $discovery = $outcome.Discovery
}
catch {
    # The module's own keys for a failed check, when the module itself is what failed.
    $summary = 'Check failed: ' + $_.Exception.Message
    $discovery = [ordered]@{
        VelorinBaselineCompliant = $false
        VelorinSettingsDiffering = [long]-1
        VelorinBaselineName      = $summary
        VelorinPasswordRotated   = $false
        VelorinPasswordAgeDays   = [long]-1
        VelorinToolVersion       = '0.0.0.0'
    }
}
if (Get-Command -Name Write-VelorinBiosFleetEvent -ErrorAction SilentlyContinue) {
    Write-VelorinBiosFleetEvent -Outcome $outcome -Summary $summary -ExitCode 0
}
$discovery | ConvertTo-Json -Compress
exit 0
