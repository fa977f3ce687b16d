# What the password rotation scripts in deploy/ share: whether this device is due for a
# rotation, and the rotation itself with its escrow record as the script's output. Each engine
# takes one script file, so the scripts stay small and import this module from the folder of
# VelorinBios.

Set-StrictMode -Version 2.0
Import-Module (Join-Path $PSScriptRoot 'VelorinBios.psd1') -ErrorAction Stop
# Intune keeps no more of a script's output.
$script:OutputLimit = 2048
# The takeover reads the shared password file exactly as the baseline remediation does; that
# reader is private to the baseline module, so it is called inside that module's scope.
$script:BaselineFleet = Import-Module (Join-Path $PSScriptRoot 'VelorinBiosFleet.psm1') -PassThru -ErrorAction Stop

function New-VelorinRotationOutcome([string] $State, [string] $Summary) {
    return [pscustomobject]@{
        PSTypeName = 'Velorin.FleetOutcome'
        State      = $State
        Summary    = $Summary
    }
}

# The store given, else the default one.
function Get-VelorinStoreStatus([string] $StorePath) {
    if ($StorePath) {
        return Get-VelorinBiosPasswordStatus -StorePath $StorePath
    }
    return Get-VelorinBiosPasswordStatus
}

# Intune keeps the output of the detection scripts but not the remediation's, so the
# detection shows the escrow records the firmware's password may be in: the pending one first
# (a rotation cut off after the change), then the current one, each on a line of its own, as
# many as fit in what Intune keeps.
function Add-VelorinRecordLine([string] $Summary, [object] $Status) {
    foreach ($record in @($Status.PendingRecord, $Status.Record)) {
        if ($record -and ($Summary.Length + 1 + $record.Length) -le $script:OutputLimit) {
            $Summary += "`n" + $record
        }
    }
    return $Summary
}

# Not a Velorin PC, or an interface older than revision 6: nothing for the scripts to do.
function Get-VelorinNotApplicableSummary([System.Management.Automation.ErrorRecord] $Failure) {
    $reason = $null
    if ($Failure.Exception.PSObject.Properties['Reason']) {
        $reason = $Failure.Exception.Reason
    }
    if ($reason -eq 'NotVelorin') {
        return "Not applicable: this machine offers no Velorin BIOS interface ($($Failure.Exception.Message))"
    }
    if ($reason -eq 'UnsupportedRevision') {
        return 'Not applicable: the Velorin BIOS interface is older than revision 6'
    }
    return $null
}

# Why the device is due for a rotation, or nothing when it is not.
function Get-VelorinRotationDue([object] $Status, [int] $MaximumAgeDays) {
    if ($Status.PendingRotation) {
        return "a rotation is pending (record $($Status.PendingSequence))"
    }
    if (-not $Status.HasPassword -or -not $Status.LastRotation) {
        return 'the password was never rotated'
    }
    $age = [datetime]::UtcNow - $Status.LastRotation
    if ($age.TotalDays -gt $MaximumAgeDays) {
        return ('the last rotation ({0:yyyy-MM-ddTHH:mm:ssZ}) is older than {1} days' -f $Status.LastRotation, $MaximumAgeDays)
    }
    return $null
}

function Get-VelorinPasswordRotationState {
    <#
    .SYNOPSIS
    Tells a detection or discovery script whether this device is due for a password rotation.

    .DESCRIPTION
    Reads the password store (no password is read or shown) and returns a
    Velorin.FleetOutcome whose Summary also holds the escrow records of the pending and the
    current password, one a line, as many as fit in 2,048 characters: State Compliant (rotated within MaximumAgeDays), NonCompliant (never
    rotated, rotated too long ago, or a rotation is pending), NotApplicable (not a Velorin PC,
    or an interface older than revision 6; asked only when the device is due) or Failed.

    .PARAMETER StorePath
    The password store's folder.

    .PARAMETER MaximumAgeDays
    The age of the last rotation after which the device is due (default 30).

    .PARAMETER ToolPath
    Handed to Get-VelorinBiosSetting, which tells whether the tool applies.

    .PARAMETER MachineFile
    Handed to Get-VelorinBiosSetting.

    .EXAMPLE
    (Get-VelorinPasswordRotationState -MaximumAgeDays 30).Summary
    #>
    [CmdletBinding()]
    param([string] $StorePath, [int] $MaximumAgeDays = 30, [string] $ToolPath, [string] $MachineFile)

    try {
        $status = Get-VelorinStoreStatus $StorePath
        $due = Get-VelorinRotationDue $status $MaximumAgeDays
        if (-not $due) {
            $rotated = 'Rotated: record {0} of {1:yyyy-MM-ddTHH:mm:ssZ}' -f $status.Sequence, $status.LastRotation
            return New-VelorinRotationOutcome 'Compliant' (Add-VelorinRecordLine $rotated $status)
        }
        [void](Get-VelorinBiosSetting -Name 'VelorinRotationApplicabilityProbe*' -ToolPath $ToolPath -MachineFile $MachineFile)
        return New-VelorinRotationOutcome 'NonCompliant' (Add-VelorinRecordLine "NonCompliant: $due" $status)
    }
    catch {
        $notApplicable = Get-VelorinNotApplicableSummary $_
        if ($notApplicable) {
            return New-VelorinRotationOutcome 'NotApplicable' $notApplicable
        }
        return New-VelorinRotationOutcome 'Failed' ('Check failed: ' + $_.Exception.Message)
    }
}

function Invoke-VelorinPasswordRotation {
    <#
    .SYNOPSIS
    Rotates the supervisor password for a remediation script; the escrow record is its output.

    .DESCRIPTION
    Runs Reset-VelorinBiosPassword with the escrow certificates given. A device whose store
    holds no password yet is taken over with the shared password of PasswordFile, when that
    file exists (read as the baseline remediation reads it), else it gets its first password.
    Returns a Velorin.FleetOutcome: State Rotated, NotApplicable or Failed, and Summary: the
    escrow record line, followed on failure by the reason on a line of its own (a record is
    printed whenever one was made, because the firmware may already hold its password).

    .PARAMETER EscrowCertificate
    The escrow certificates as PEM text, paths or X509Certificate2 objects.

    .PARAMETER StorePath
    The password store's folder.

    .PARAMETER EscrowPath
    A folder (share) that receives each record as SERIAL-SEQUENCE.json.

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
    (Invoke-VelorinPasswordRotation -EscrowCertificate $EscrowCertificates).Summary
    #>
    [CmdletBinding()]
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

    $reset = @{ EscrowCertificate = $EscrowCertificate; Confirm = $false }
    foreach ($name in 'StorePath', 'EscrowPath', 'SerialNumber', 'Uuid', 'ToolPath', 'MachineFile') {
        if ($PSBoundParameters[$name]) {
            $reset[$name] = $PSBoundParameters[$name]
        }
    }
    $record = $null
    try {
        $status = Get-VelorinStoreStatus $StorePath
        if (-not $status.HasPassword -and $PasswordFile -and (Test-Path -LiteralPath $PasswordFile -PathType Leaf)) {
            $reset.Password = & $script:BaselineFleet { param($path) Read-VelorinPasswordFile $path } $PasswordFile
        }
        Reset-VelorinBiosPassword @reset | ForEach-Object { $record = $_.Record }
        return New-VelorinRotationOutcome 'Rotated' $record
    }
    catch {
        $notApplicable = Get-VelorinNotApplicableSummary $_
        if ($notApplicable -and -not $record) {
            return New-VelorinRotationOutcome 'NotApplicable' $notApplicable
        }
        $reason = 'Rotation failed: ' + $_.Exception.Message
        if ($record) {
            $reason = $record + "`n" + $reason
        }
        return New-VelorinRotationOutcome 'Failed' $reason
    }
}

Export-ModuleMember -Function 'Get-VelorinPasswordRotationState', 'Invoke-VelorinPasswordRotation'
