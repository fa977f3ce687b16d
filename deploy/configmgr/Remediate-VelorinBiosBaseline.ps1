<#
.SYNOPSIS
ConfigMgr remediation script and task-sequence step: sets the BIOS baseline.

.DESCRIPTION
Sets the settings of the baseline pasted below (the same one as in
Discover-VelorinBiosBaseline.ps1), or of BaselinePath, and saves them; they take effect at
the next reboot. The supervisor password is read from PasswordFile and handed to the tool
on its standard input, never on a command line. Exit 0: the baseline is set, or the
machine is not one the tool applies to. Exit 1: it failed; the reason goes to the error
stream. With -RebootExitCode (for instance 3010) the script ends with that code when
something changed, so that a task sequence can restart the machine.

.PARAMETER PasswordFile
A file whose first line is the supervisor password. Keep it where only SYSTEM and the
administrators can read it (see the README's "Fleet use").

.PARAMETER BaselinePath
A configuration file to set instead of the baseline pasted below.

.PARAMETER RebootExitCode
The exit code when settings were changed; 0 unless given.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder.

.PARAMETER ModulePath
The VelorinBios module folder, when it is not in InstallFolder.

.PARAMETER ToolPath
The tool, when it is not beside the module.

.PARAMETER MachineFile
A simulated machine file (VELORIN_MACHINE) for a rehearsal.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\deploy\configmgr\Remediate-VelorinBiosBaseline.ps1 -InstallFolder . -BaselinePath .\baseline.txt -PasswordFile .\SupervisorPassword.txt -RebootExitCode 3010
#>
[CmdletBinding()]
param(
    [string] $PasswordFile = "$env:ProgramData\Velorin\BiosConfigTool\SupervisorPassword.txt",
    [string] $BaselinePath,
    [int] $RebootExitCode = 0,
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

'@

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
    $exitCode = 0
    if ($result.RebootRequired) {
        $exitCode = $RebootExitCode
    }
    Write-Output ('{0} changed, {1} unchanged, {2} read only' -f $result.Changed.Count, $result.Unchanged, $result.Skipped.Count)
}
catch {
    if ($_.Exception.Reason -in 'NotVelorin', 'UnsupportedRevision') {
        Write-Output ('Not applicable: {0}' -f $_.Exception.Message)
        $exitCode = 0
    }
    else {
        [Console]::Error.WriteLine('Velorin BIOS remediation failed: {0}' -f $_.Exception.Message)
    }
}
finally {
    if ($workFile) { Remove-Item -LiteralPath $workFile -Force -ErrorAction SilentlyContinue }
}
exit $exitCode
