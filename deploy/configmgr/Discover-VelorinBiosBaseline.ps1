<#
.SYNOPSIS
ConfigMgr configuration item discovery script: prints Compliant or NonCompliant.

.DESCRIPTION
Compares the BIOS settings with the baseline pasted below (no password needed, nothing is
changed) and prints exactly "Compliant" or "NonCompliant", for a compliance rule "equals
Compliant". A machine that is not a Velorin PC, or whose BIOS interface is older than
revision 6, has nothing to enforce and is Compliant. When the check fails, the script
prints NonCompliant, writes the reason to the error stream and exits with 1, so the
configuration item reports an error instead of a mere difference.

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
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Discover-VelorinBiosBaseline.ps1
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

'@

$state = 'NonCompliant'
$exitCode = 0
$workFile = $null
try {
    Import-Module $ModulePath -ErrorAction Stop
    if (-not $BaselinePath) {
        $workFile = $BaselinePath = [System.IO.Path]::GetTempFileName()
        [System.IO.File]::WriteAllText($workFile, ($Baseline -replace "`r?`n", "`r`n"), [System.Text.Encoding]::GetEncoding(28591))
    }
    if (Test-VelorinBiosConfiguration -Path $BaselinePath -Force -Quiet -ToolPath $ToolPath -MachineFile $MachineFile) {
        $state = 'Compliant'
    }
}
catch {
    if ($_.Exception.Reason -in 'NotVelorin', 'UnsupportedRevision') {
        $state = 'Compliant'
    }
    else {
        [Console]::Error.WriteLine('Velorin BIOS check failed: {0}' -f $_.Exception.Message)
        $exitCode = 1
    }
}
finally {
    if ($workFile) { Remove-Item -LiteralPath $workFile -Force -ErrorAction SilentlyContinue }
}
Write-Output $state
exit $exitCode
