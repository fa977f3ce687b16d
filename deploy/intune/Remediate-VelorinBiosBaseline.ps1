<#
.SYNOPSIS
Intune Remediations remediation script: sets the BIOS baseline on this Velorin PC.

.DESCRIPTION
Sets the settings of the baseline pasted below (paste the same one as in
Detect-VelorinBiosBaseline.ps1) and saves them; they take effect at the next reboot. The
supervisor password is read from PasswordFile and handed to the tool on its standard
input, never on a command line. Prints one summary of at most 2,048 characters. Exit 0:
the baseline is set, or the machine is not one the tool applies to. Exit 1: it failed.

.PARAMETER PasswordFile
A file whose first line is the supervisor password. Keep it where only SYSTEM and the
administrators can read it (see the README's "Fleet use").

.PARAMETER BaselinePath
A configuration file to set instead of the baseline pasted below.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder.

.PARAMETER ModulePath
The VelorinBios module folder, when it is not in InstallFolder.

.PARAMETER ToolPath
The tool, when it is not beside the module.

.PARAMETER MachineFile
A simulated machine file (VELORIN_MACHINE) for a rehearsal.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Remediate-VelorinBiosBaseline.ps1
#>
[CmdletBinding()]
param(
    [string] $PasswordFile = "$env:ProgramData\Velorin\BiosConfigTool\SupervisorPassword.txt",
    [string] $BaselinePath,
    [string] $InstallFolder = "$env:ProgramFiles\Velorin\BiosConfigTool",
    [string] $ModulePath = (Join-Path $InstallFolder 'VelorinBios'),
    [string] $ToolPath,
    [string] $MachineFile
)

# The baseline: the blocks of the settings to enforce as Export-VelorinBiosConfiguration
# writes them, the wanted option marked "*". Entries that this model lacks are left out.
$Baseline = @'
+++Secure Boot
*Enabled
Disabled

+++Wake On LAN
Disabled
*LAN Only

'@

$IntuneOutputLimit = 2048

# The first line of the file, each byte one character, as the tool reads a password.
function Read-PasswordFile([string] $Path) {
    $bytes = [System.IO.File]::ReadAllBytes($Path)
    $password = New-Object System.Security.SecureString
    foreach ($byte in $bytes) {
        if ($byte -eq 10 -or $byte -eq 13) { break }
        $password.AppendChar([char]$byte)
    }
    [System.Array]::Clear($bytes, 0, $bytes.Length)
    return $password
}

$exitCode = 1
$workFile = $null
try {
    Import-Module $ModulePath -ErrorAction Stop
    if (-not $BaselinePath) {
        $workFile = $BaselinePath = [System.IO.Path]::GetTempFileName()
        [System.IO.File]::WriteAllText($workFile, ($Baseline -replace "`r?`n", "`r`n"), [System.Text.Encoding]::GetEncoding(28591))
    }
    $result = Set-VelorinBiosConfiguration -Path $BaselinePath -Password (Read-PasswordFile $PasswordFile) -Force -Confirm:$false -ToolPath $ToolPath -MachineFile $MachineFile
    $changed = @($result.Changed | ForEach-Object { '{0} -> {1}' -f $_.Name, $_.Value }) -join '; '
    $summary = 'Remediated: {0} changed, {1} unchanged, {2} read only, {3} not on this model; reboot to apply. {4}' -f `
        $result.Changed.Count, $result.Unchanged, $result.Skipped.Count, $result.Failed, $changed
    $exitCode = 0
}
catch {
    $failure = $_.Exception
    if ($failure.Reason -in 'NotVelorin', 'UnsupportedRevision') {
        $summary = 'Not applicable: {0}' -f $failure.Message
        $exitCode = 0
    }
    else {
        $summary = 'Remediation failed: {0}' -f $failure.Message
    }
}
finally {
    if ($workFile) { Remove-Item -LiteralPath $workFile -Force -ErrorAction SilentlyContinue }
}
if ($summary.Length -gt $IntuneOutputLimit) {
    $summary = $summary.Substring(0, $IntuneOutputLimit - 3) + '...'
}
Write-Output $summary.TrimEnd()
exit $exitCode
