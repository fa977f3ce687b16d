<#
.SYNOPSIS
Intune Remediations detection script: does this Velorin PC match the BIOS baseline?

.DESCRIPTION
Compares the BIOS settings with the baseline pasted below (no password needed, nothing is
changed) and prints one summary of at most 2,048 characters, all that Intune keeps.
Exit 0: the settings match, or the machine is not a Velorin PC or its BIOS interface is
older than revision 6 ("Not applicable: ..."). Exit 1: some settings differ (Intune then
runs Remediate-VelorinBiosBaseline.ps1) or the check failed.

VelorinBiosConfigTool.exe and the VelorinBios module folder are expected in InstallFolder,
where the package installs them. Intune runs the script without parameters; they are there
for rehearsals and tests.

.PARAMETER BaselinePath
A configuration file to compare with instead of the baseline pasted below.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder.

.PARAMETER ModulePath
The VelorinBios module folder, when it is not in InstallFolder.

.PARAMETER ToolPath
The tool, when it is not beside the module.

.PARAMETER MachineFile
A simulated machine file (VELORIN_MACHINE) for a rehearsal.

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
# writes them, the wanted option marked "*". Entries that this model lacks are not checked.
$Baseline = @'
+++Secure Boot
*Enabled
Disabled

+++Wake On LAN
Disabled
*LAN Only

'@

$IntuneOutputLimit = 2048

function Format-Summary([string] $Text) {
    if ($Text.Length -gt $IntuneOutputLimit) {
        $Text = $Text.Substring(0, $IntuneOutputLimit - 3) + '...'
    }
    return $Text
}

function Format-Differences($Compliance) {
    $differences = @($Compliance.Differences | ForEach-Object { '{0}: {1} -> {2}' -f $_.Name, $_.Current, $_.Wanted })
    $total = $Compliance.Matching + $differences.Count
    return 'NonCompliant: {0} of {1} settings differ: {2}' -f $differences.Count, $total, ($differences -join '; ')
}

$exitCode = 1
$workFile = $null
try {
    Import-Module $ModulePath -ErrorAction Stop
    if (-not $BaselinePath) {
        $workFile = $BaselinePath = [System.IO.Path]::GetTempFileName()
        [System.IO.File]::WriteAllText($workFile, ($Baseline -replace "`r?`n", "`r`n"), [System.Text.Encoding]::GetEncoding(28591))
    }
    $compliance = Test-VelorinBiosConfiguration -Path $BaselinePath -Force -ToolPath $ToolPath -MachineFile $MachineFile
    if ($compliance.Compliant) {
        $summary = 'Compliant: {0} settings match the baseline' -f $compliance.Matching
        $exitCode = 0
    }
    else {
        $summary = Format-Differences $compliance
    }
}
catch {
    # The module's errors carry why the tool failed and its exit code.
    $failure = $_.Exception
    switch ($failure.Reason) {
        'NotVelorin' {
            $summary = 'Not applicable: this machine offers no Velorin BIOS interface ({0})' -f $failure.Message
            $exitCode = 0
        }
        'UnsupportedRevision' {
            $summary = 'Not applicable: the Velorin BIOS interface is older than revision 6'
            $exitCode = 0
        }
        'ToolFailed' {
            $summary = 'Check failed (exit code {0}): {1}' -f $failure.ExitCode, $failure.Message
        }
        default {
            $summary = 'Check failed: {0}' -f $failure.Message
        }
    }
}
finally {
    if ($workFile) { Remove-Item -LiteralPath $workFile -Force -ErrorAction SilentlyContinue }
}
Write-Output (Format-Summary $summary)
exit $exitCode
