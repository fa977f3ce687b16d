<#
.SYNOPSIS
Intune Remediations detection script: is this Velorin PC due for a BIOS password rotation?

.DESCRIPTION
Reads the device's password store (no password is read or shown, none is presented to the
firmware) and prints one summary, followed, one a line, by the applied line of the current
record, the current record and the pending record of a cut-off rotation: Intune keeps the
output of detection scripts, not that of remediation scripts, so this is where the records of
the last rotation appear. Intune keeps at most 2,048 characters (some agents show only the
last line), so the most needed line comes last and lines that do not fit are left out from
the front. Exit 0: rotated within MaximumAgeDays ("Rotated: record N ...", N the record the
firmware took), or the machine is not a Velorin PC or its BIOS interface is older than
revision 6 ("Not applicable: ..."). Exit 1: the password was never rotated, the last rotation
is older than MaximumAgeDays, a rotation or a removal is pending (it was cut off), or the
check failed; Intune then runs Remediate-VelorinBiosPasswordRotation.ps1.

.PARAMETER MaximumAgeDays
The age of the last rotation after which the device is due (default 30).

.PARAMETER DueExitCode
The exit code when the device is due (default 1, which makes Intune run the remediation). A
ConfigMgr discovery script must exit 0 to report a value: set the default to 0 in its copy.

.PARAMETER StorePath
The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

.PARAMETER SerialNumber
Accepted for symmetry with the remediation script; the detection reads the store only.

.PARAMETER Uuid
Accepted for symmetry with the remediation script.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder; the
engines run the script without parameters, the others are for rehearsals and tests.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Detect-VelorinBiosPasswordRotation.ps1
#>
[CmdletBinding()]
param(
    [int] $MaximumAgeDays = 30,
    [int] $DueExitCode = 1,
    [string] $StorePath,
    [string] $SerialNumber,
    [string] $Uuid,
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

$exitCode = 1
$outcome = $null
try {
    Import-Module (Join-Path $ModulePath 'VelorinBios.psd1') -ErrorAction Stop
    $outcome = Get-VelorinBiosPasswordRotationState -StorePath $StorePath -MaximumAgeDays $MaximumAgeDays -ToolPath $ToolPath -MachineFile $MachineFile
    $summary = $outcome.Summary
    if ($outcome.State -eq 'Compliant' -or $outcome.State -eq 'NotApplicable') {
        $exitCode = 0
    }
    elseif ($outcome.State -eq 'NonCompliant') {
        $exitCode = $DueExitCode
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
