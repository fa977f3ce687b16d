<#
.SYNOPSIS
Intune Remediations remediation script: rotates the BIOS supervisor password of this Velorin
PC and escrows the new one.

.DESCRIPTION
Sets a new random supervisor password, unique to this device, and prints its escrow record:
one line of JSON whose envelope only the holders of the escrow certificates pasted below can
open (Unprotect-VelorinBiosPassword or openssl cms -decrypt; see "Password rotation and
escrow" in docs/admin-guide.md).
The record is made before the firmware is changed and is printed also when the rotation then
fails (a second line tells why), so the output always holds the record of any password the
firmware may have; once the firmware took the password a second line confirms it (the
applied line). With EscrowPath the record is also written there as SERIAL_UUID-SEQUENCE.json
and its applied line as SERIAL_UUID-SEQUENCE.applied.json (UUID alone where the serial number
is a placeholder). Without EscrowPath a record longer than the 2,048 characters Intune keeps
is refused before the firmware is changed. No password reaches a command line.

A device whose store holds no password yet is taken over with the shared password of
PasswordFile when that file exists; a firmware without any supervisor password gets its first
one whether the file exists or not. Run without parameters, as the engines run it, it rotates
and prints the records (only the certificates below are needed). Exit 0: rotated, or the
machine is not one the tool applies to ("Not applicable: ..."). Exit 1: it failed.

.PARAMETER EscrowCertificatePath
Certificate files (.cer, DER or PEM) to use instead of the certificates pasted below.

.PARAMETER EscrowPath
A folder (a share where devices may only create files will do) for the records.

.PARAMETER PasswordFile
A file whose first line is the fleet's shared supervisor password, for the takeover; read as
Remediate-VelorinBiosBaseline.ps1 reads it. Delete it from the devices once they are rotated.

.PARAMETER MaximumAgeDays
Accepted for symmetry with the detection script; the remediation always rotates.

.PARAMETER StorePath
The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

.PARAMETER SerialNumber
The device's serial number for its records (default: SMBIOS); for rehearsals.

.PARAMETER Uuid
The device's UUID for its records (default: SMBIOS); for rehearsals.

.PARAMETER InstallFolder
The folder that holds VelorinBiosConfigTool.exe and the VelorinBios module folder; the
engines run the script without parameters, the others are for rehearsals and tests.

.EXAMPLE
powershell.exe -NoProfile -ExecutionPolicy Bypass -File .\Remediate-VelorinBiosPasswordRotation.ps1
#>
[CmdletBinding()]
param(
    [string[]] $EscrowCertificatePath,
    [string] $EscrowPath,
    [string] $PasswordFile = $(
        $programData = @(@($env:ProgramData, [System.IO.Path]::DirectorySeparatorChar) | Where-Object { $_ })[0]
        Join-Path (Join-Path (Join-Path $programData 'Velorin') 'BiosConfigTool') 'SupervisorPassword.txt'),
    [int] $MaximumAgeDays = 30,
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

# The escrow certificates: the public certificates (PEM) of the administrators who may recover
# the passwords, RSA keys of 2048 bits or more, valid now, allowed to encipher keys. Never paste
# a private key here. Without EscrowPath, two certificates of 2048-bit RSA keys keep the record
# within the 2,048 characters Intune keeps of the output; a longer record is refused.
$EscrowCertificates = @(
    @'
-----BEGIN CERTIFICATE-----
PASTE THE FIRST ESCROW CERTIFICATE HERE
-----END CERTIFICATE-----
'@
)

$exitCode = 1
$outcome = $null
try {
    Import-Module (Join-Path $ModulePath 'VelorinBios.psd1') -ErrorAction Stop
    if ($EscrowCertificatePath) {
        $EscrowCertificates = $EscrowCertificatePath
    }
    $rotation = @{
        EscrowCertificate = $EscrowCertificates
        EscrowPath        = $EscrowPath
        PasswordFile      = $PasswordFile
        StorePath         = $StorePath
        SerialNumber      = $SerialNumber
        Uuid              = $Uuid
        ToolPath          = $ToolPath
        MachineFile       = $MachineFile
    }
    $outcome = Invoke-VelorinBiosPasswordRotation @rotation
    $summary = $outcome.Summary
    if ($outcome.State -ne 'Failed') {
        $exitCode = 0
    }
}
catch {
    $summary = 'Rotation failed: ' + $_.Exception.Message
}
Write-Output $summary
if (Get-Command -Name Write-VelorinBiosFleetEvent -ErrorAction SilentlyContinue) {
    Write-VelorinBiosFleetEvent -Outcome $outcome -Summary $summary -ExitCode $exitCode
}
exit $exitCode
