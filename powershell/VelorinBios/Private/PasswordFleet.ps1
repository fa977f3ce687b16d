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

# The longest headline the detection prints ("NonCompliant: the last rotation (TIME) is older
# than N days") has fewer characters, with its line break.
$script:HeadlineRoom = 96

# Intune keeps the output of the detection scripts but not the remediation's, and of that
# output no more than 2,048 characters (some agents show only the last line). So the detection
# prints the headline first (a ConfigMgr rule reads its start), then the lines that say which
# password the firmware may hold, the most needed last: the confirmation of the current record,
# the current record, and the pending record of a cut-off rotation, which no output kept so far
# has shown. Lines that do not fit are left out from the front, never the last one.
function Add-VelorinRecordLine([string] $Summary, [object] $Status) {
    $kept = New-Object System.Collections.Generic.List[string]
    $length = $Summary.Length
    $lines = @(@($Status.Applied, $Status.Record, $Status.PendingRecord) | Where-Object { $_ })
    [array]::Reverse($lines)
    foreach ($line in $lines) {
        if ($length + 1 + $line.Length -le $script:SummaryLimit) {
            $kept.Insert(0, $line)
            $length += 1 + $line.Length
        }
    }
    return (@($Summary) + $kept.ToArray()) -join "`n"
}

# Why the device is due for a rotation, or nothing when it is not.
function Get-VelorinRotationDue([object] $Status, [int] $MaximumAgeDays) {
    if ($Status.PendingRemoval) {
        return 'a removal of the password is pending'
    }
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
