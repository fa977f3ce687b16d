function Reset-VelorinBiosPassword {
    <#
    .SYNOPSIS
    Sets a new random supervisor password and escrows it to the administrators' certificates.

    .DESCRIPTION
    Rotates the BIOS supervisor password of this device as Windows LAPS rotates the local
    administrator's: a random password of letters and digits (without the look-alikes 0 O o 1
    l I), unique to the device, kept in a store on the device that only SYSTEM and the
    administrators can read, and escrowed in a record that only the holders of the escrow
    certificates' private keys can open (Unprotect-VelorinBiosPassword, or openssl cms
    -decrypt).

    The order keeps every password recoverable: the store is locked (a second rotation at the
    same time fails); the new password is written to the store as pending and its escrow record
    is made, written to EscrowPath and returned BEFORE the firmware is touched; the password
    is changed (/ChangeSupervisorPassword /newpwstdin /pwstdin) and confirmed
    (/VerifyPassword); only then does the store make it current. A run that finds a pending
    password first asks the firmware which of the two it holds, completes or rolls back, and
    then rotates. No password reaches a command line.

    Every record has a new sequence number, also one whose rotation then failed: above the
    store's last one and not below the time (yyyyMMddHHmmssff, UTC: hundredths of a
    second), so that a record sorts after every earlier one of the device even when the store
    was lost. Once /VerifyPassword
    accepted the new password, the returned object's Applied holds the line that confirms it
    (also written to EscrowPath, and shown by the detection); after a failure the latest
    applied record holds the firmware's password. A firmware without a supervisor password
    gets its first one. A store file that cannot be read, and anything in the store's folder
    (or the folder itself) that someone other than SYSTEM and the administrators owns or may
    open, is moved aside with a warning before the store is used.

    .PARAMETER EscrowCertificate
    One or more escrow certificates: X509Certificate2 objects, paths of .cer files (DER or
    PEM) or PEM text (every certificate of a text is taken). Public certificates only: one
    with a private key is refused, as is an RSA key below 2048 bits, a certificate outside its
    validity or one whose key usage lacks keyEncipherment; a certificate given twice counts once.

    .PARAMETER Password
    The current supervisor password, needed only to take over a device that still has a
    shared password (or after such a takeover failed half way). By default the store's
    password is used, else none.

    .PARAMETER Length
    The length of the new password, 8 to 20 (default 16).

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .PARAMETER EscrowPath
    A folder that receives each record as SERIAL_UUID-SEQUENCE.json (UUID-SEQUENCE.json where
    the serial number is a placeholder such as "Default string") and its confirmation as
    SERIAL_UUID-SEQUENCE.applied.json (a share where devices may only create files will do).
    The record file is created new; a name that exists already fails the run before the
    firmware is touched. Without it, a record longer than the 2,048 characters Intune keeps is
    refused before the firmware is touched.

    .PARAMETER SerialNumber
    The device's serial number for its records. Default on Windows: the SMBIOS serial number.
    Blank text is refused.

    .PARAMETER Uuid
    The device's UUID for its records. Default on Windows: the SMBIOS UUID. Blank text is
    refused.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Reset-VelorinBiosPassword -EscrowCertificate .\BiosEscrow.cer -EscrowPath \\server\BiosEscrow$

    Rotates the password and writes the record to the share.

    .EXAMPLE
    Reset-VelorinBiosPassword -EscrowCertificate .\BiosEscrow.cer -Password (Read-Host -AsSecureString 'Shared password')

    Takes over a device that still has the fleet's shared password.

    .OUTPUTS
    Velorin.BiosPasswordEscrow

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true)]
    [OutputType('Velorin.BiosPasswordEscrow')]
    param(
        [Parameter(Mandatory = $true)]
        [object[]] $EscrowCertificate,

        [System.Security.SecureString] $Password,

        [ValidateRange(8, 20)]
        [int] $Length = 16,

        [string] $StorePath = (Get-VelorinDefaultStorePath),

        [string] $EscrowPath,

        [string] $SerialNumber,

        [string] $Uuid,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    try {
        Assert-VelorinNotBlank $PSBoundParameters 'SerialNumber', 'Uuid'
        $certificates = Resolve-VelorinEscrowCertificate -Cmdlet $PSCmdlet -Certificate $EscrowCertificate
        $identity = Get-VelorinDeviceIdentity $SerialNumber $Uuid
        if (-not $PSCmdlet.ShouldProcess($script:SupervisorTarget, $script:RotationOperation)) {
            return
        }
        $rotation = @{
            Context      = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
            StorePath    = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($StorePath)
            Certificates = $certificates
            Identity     = $identity
            Length       = $Length
            Password     = $Password
            # Read by the rotation step also when no folder is given: strict mode refuses a
            # missing key.
            EscrowPath   = $null
        }
        if ($EscrowPath) {
            $rotation.EscrowPath = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($EscrowPath)
        }
        Use-VelorinPasswordStore $rotation.StorePath {
            param($state, $rotation)
            Invoke-VelorinRotationStep -Rotation $rotation -State $state
        } @($rotation)
    }
    catch {
        $PSCmdlet.ThrowTerminatingError($_)
    }
}
