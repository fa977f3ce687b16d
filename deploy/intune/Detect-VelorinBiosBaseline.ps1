<#
.SYNOPSIS
Intune Remediations detection script: does this Velorin PC match the BIOS baseline?

.DESCRIPTION
Compares the BIOS settings with the baseline pasted below (no password needed, nothing is
changed) and prints one summary of at most 2,048 characters, all that Intune keeps.
Exit 0: the settings match, or the machine is not a Velorin PC or its BIOS interface is
older than revision 6 ("Not applicable: ..."). Exit 1: some settings differ or an entry of
the baseline cannot be met, naming it (Intune then runs Remediate-VelorinBiosBaseline.ps1),
or the check failed, also when no entry of the baseline applies to this machine.

.PARAMETER BaselinePath
A baseline file to use instead of the baselines pasted below, for every model.

.PARAMETER Model
The SMBIOS product name to pick the baseline by instead of this PC's, for rehearsals and
tests. Without it, a rehearsal with -MachineFile picks by the capture's product name. When
the product name cannot be read, the script fails (exit 1), naming why.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder; the
engines run the script without parameters, the others are for rehearsals and tests.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Detect-VelorinBiosBaseline.ps1
#>
[CmdletBinding()]
param(
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

$exitCode = 1
$outcome = $null
try {
    Import-Module (Join-Path $ModulePath 'VelorinBios.psd1') -ErrorAction Stop
    $outcome = Invoke-VelorinBiosModelBaseline -Baselines $Baselines -Model $Model -CaptureFile $MachineFile -BaselinePath $BaselinePath -Action {
        param($Baseline)
        Get-VelorinBiosBaselineState -Baseline $Baseline -BaselinePath $BaselinePath -ToolPath $ToolPath -MachineFile $MachineFile
    }
    $summary = $outcome.Summary
    if ($outcome.State -eq 'Compliant' -or $outcome.State -eq 'NotApplicable') {
        $exitCode = 0
    }
}
catch {
    $summary = 'Check failed: ' + $_.Exception.Message
}
Write-Output $summary
if (Get-Command -Name Write-VelorinBiosFleetEvent -ErrorAction SilentlyContinue) {
    Write-VelorinBiosFleetEvent -Outcome $outcome -Summary $summary -ExitCode $exitCode
}
exit $exitCode
