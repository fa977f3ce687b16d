# What the password rotation fleet commands share: whether this device is due for a rotation,
# and the escrow records as the output Intune keeps.

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
        if ($record -and ($Summary.Length + 1 + $record.Length) -le $script:SummaryLimit) {
            $Summary += "`n" + $record
        }
    }
    return $Summary
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
