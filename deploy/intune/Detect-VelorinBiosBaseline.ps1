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
A baseline file to use instead of the baseline pasted below.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder; the
engines run the script without parameters, the others are for rehearsals and tests.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Detect-VelorinBiosBaseline.ps1
#>
[CmdletBinding()]
param(
    [string] $BaselinePath,
    [string] $InstallFolder = "$env:ProgramFiles\Velorin\BiosConfigTool",
    [string] $ModulePath = (Join-Path $InstallFolder 'VelorinBios'),
    [string] $ToolPath,
    [string] $MachineFile
)

# The baseline: the blocks of the settings to enforce as Export-VelorinBiosConfiguration
# writes them, the wanted option marked "*". Entries that this model lacks are left out; an
# entry whose wanted option this model lacks or cannot select is not met.
$Baseline = @'
+++Secure Boot
*Enabled
Disabled

+++Wake On LAN
Disabled
*LAN Only

'@

$exitCode = 1
try {
    Import-Module (Join-Path $ModulePath 'VelorinBiosFleet.psm1') -ErrorAction Stop
    $outcome = Get-VelorinBaselineState -Baseline $Baseline -BaselinePath $BaselinePath -ToolPath $ToolPath -MachineFile $MachineFile
    $summary = $outcome.Summary
    if ($outcome.State -eq 'Compliant' -or $outcome.State -eq 'NotApplicable') {
        $exitCode = 0
    }
}
catch {
    $summary = 'Check failed: ' + $_.Exception.Message
}
Write-Output $summary
exit $exitCode
