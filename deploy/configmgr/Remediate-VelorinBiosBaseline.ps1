<#
.SYNOPSIS
ConfigMgr remediation script and task-sequence step: sets the BIOS baseline.

.DESCRIPTION
Sets the settings of the baseline pasted below (the same one as in
Discover-VelorinBiosBaseline.ps1), or of BaselinePath, and saves them; they take effect at
the next reboot. The supervisor password is the one of the password store (StorePath) once
this device's password is rotated, else the one of PasswordFile, handed to the tool on its
standard input, never on a command line. Exit 0: the baseline is set, or the machine
is not one the tool applies to; RebootExitCode (for instance 3010) instead when something
changed, so that a task sequence can restart the machine. Exit 1: it failed, also when an
entry of the baseline cannot be met (the rest is set) or no entry applies; the reason goes
to the error stream.

.PARAMETER PasswordFile
A file whose first line is the supervisor password. Keep it where only SYSTEM and the
administrators can read it (see "The supervisor password" in docs/admin-guide.md). Read
only while the password store holds no password.

.PARAMETER StorePath
The password store that Reset-VelorinBiosPassword keeps. Default:
$env:ProgramData\Velorin\BiosPassword. Once it holds this device's password, that one is used
instead of PasswordFile.

.PARAMETER RebootExitCode
The exit code when settings were changed; 0 unless given.

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
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\deploy\configmgr\Remediate-VelorinBiosBaseline.ps1 -InstallFolder . -BaselinePath .\baseline.txt -PasswordFile C:\ProgramData\Velorin\BiosConfigTool\SupervisorPassword.txt -RebootExitCode 3010
#>
[CmdletBinding()]
param(
    [string] $PasswordFile = $(
        $programData = @(@($env:ProgramData, [System.IO.Path]::DirectorySeparatorChar) | Where-Object { $_ })[0]
        Join-Path (Join-Path (Join-Path $programData 'Velorin') 'BiosConfigTool') 'SupervisorPassword.txt'),
    [string] $StorePath,
    [int] $RebootExitCode = 0,
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
        Invoke-VelorinBiosBaselineRemediation -Baseline $Baseline -BaselinePath $BaselinePath -PasswordFile $PasswordFile `
            -StorePath $StorePath -ToolPath $ToolPath -MachineFile $MachineFile
    }
    $summary = $outcome.Summary
}
catch {
    $summary = 'Remediation failed: ' + $_.Exception.Message
}
if ($outcome -and $outcome.State -ne 'Failed') {
    Write-Output $summary
    $exitCode = 0
    if ($outcome.RebootRequired) {
        $exitCode = $RebootExitCode
    }
}
else {
    [Console]::Error.WriteLine($summary)
}
if (Get-Command -Name Write-VelorinBiosFleetEvent -ErrorAction SilentlyContinue) {
    Write-VelorinBiosFleetEvent -Outcome $outcome -Summary $summary -ExitCode $exitCode
}
exit $exitCode
