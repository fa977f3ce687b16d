function Invoke-VelorinBiosPasswordRotation {
    <#
    .SYNOPSIS
    Rotates the supervisor password for a remediation script; the escrow record is its output.

    .DESCRIPTION
    Runs Reset-VelorinBiosPassword with the escrow certificates given. A device whose store
    holds no password yet is taken over with the shared password of PasswordFile, when that
    file exists (read as the baseline remediation reads it), else it gets its first password.
    Returns a Velorin.FleetOutcome: State Rotated, NotApplicable or Failed, and Summary: the
    escrow record line, followed by the line that confirms it as applied, or on failure by the
    reason on a line of its own (a record is printed whenever one was made, because the
    firmware may already hold its password). Only EscrowCertificate is needed: without
    EscrowPath the records are in the output only.
    With -WhatIf, or -Confirm answered No, it names the store and the escrow folder, changes
    nothing (a cut-off rotation stays as it is), runs no tool and returns no outcome.

    .PARAMETER EscrowCertificate
    The escrow certificates as PEM text, paths or X509Certificate2 objects.

    .PARAMETER StorePath
    The password store's folder.

    .PARAMETER EscrowPath
    A folder (share) that receives each record as SERIAL_UUID-SEQUENCE.json and its applied
    line as SERIAL_UUID-SEQUENCE.applied.json (the UUID alone where the serial number is a
    placeholder). Optional: without it the records are in the output only.

    .PARAMETER PasswordFile
    The shared supervisor password for a takeover; its first line.

    .PARAMETER SerialNumber
    The device's serial number (default: SMBIOS).

    .PARAMETER Uuid
    The device's UUID (default: SMBIOS).

    .PARAMETER ToolPath
    Handed to Reset-VelorinBiosPassword.

    .PARAMETER MachineFile
    Handed to Reset-VelorinBiosPassword.

    .EXAMPLE
    (Invoke-VelorinBiosPasswordRotation -EscrowCertificate $EscrowCertificates).Summary
    #>
    [CmdletBinding(SupportsShouldProcess = $true, ConfirmImpact = 'Medium')]
    [Alias('Invoke-VelorinPasswordRotation')]
    param(
        [object[]] $EscrowCertificate,
        [string] $StorePath,
        [string] $EscrowPath,
        [string] $PasswordFile,
        [string] $SerialNumber,
        [string] $Uuid,
        [string] $ToolPath,
        [string] $MachineFile
    )

    # Answered below, once: the reset neither asks again nor turns into a -WhatIf of its own.
    $reset = @{ EscrowCertificate = $EscrowCertificate; Confirm = $false; WhatIf = $false }
    foreach ($name in 'StorePath', 'EscrowPath', 'SerialNumber', 'Uuid', 'ToolPath', 'MachineFile') {
        if ($PSBoundParameters[$name]) {
            $reset[$name] = $PSBoundParameters[$name]
        }
    }
    $record = $null
    try {
        $status = Get-VelorinFleetStoreStatus $PSCmdlet $StorePath
        $escrow = $null
        if ($EscrowPath) {
            $escrow = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($EscrowPath)
        }
        $target = Get-VelorinRemediationTarget $script:SupervisorTarget $status.StorePath $escrow
        if (-not $PSCmdlet.ShouldProcess($target, $script:RotationOperation)) {
            return
        }
        if (-not $status.HasPassword -and $PasswordFile -and (Test-Path -LiteralPath $PasswordFile -PathType Leaf)) {
            $reset.Password = Read-VelorinPasswordFile $PasswordFile
        }
        $escrow = $null
        Reset-VelorinBiosPassword @reset | ForEach-Object { $escrow = $_; $record = $_.Record }
        return New-VelorinFleetOutcome 'Rotated' (@($record, $escrow.Applied) -join "`n") -Rotation
    }
    catch {
        $notApplicable = Get-VelorinNotApplicableSummary $_
        if ($notApplicable -and -not $record) {
            return New-VelorinFleetOutcome 'NotApplicable' $notApplicable -Rotation
        }
        $reason = 'Rotation failed: ' + $_.Exception.Message
        if ($record) {
            $reason = $record + "`n" + $reason
        }
        return New-VelorinFleetOutcome 'Failed' $reason -Rotation
    }
}
