function Get-VelorinBiosPasswordRotationState {
    <#
    .SYNOPSIS
    Tells a detection or discovery script whether this device is due for a password rotation.

    .DESCRIPTION
    Reads the password store (no password is read or shown, none is presented to the firmware)
    and returns a Velorin.FleetOutcome whose Summary is a headline followed by, one a line,
    the line that confirms the current record as applied, the current record and the pending
    record of a cut-off rotation (last, as the most needed), as many as fit in 2,048
    characters, left out from the front: State Compliant ("Rotated: record N of TIME", N the
    record the firmware took; rotated within MaximumAgeDays), NonCompliant (never rotated,
    rotated too long ago, a rotation or a removal is pending), NotApplicable (not a Velorin PC,
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
    (Get-VelorinBiosPasswordRotationState -MaximumAgeDays 30).Summary
    #>
    [CmdletBinding()]
    [Alias('Get-VelorinPasswordRotationState')]
    param([string] $StorePath, [int] $MaximumAgeDays = 30, [string] $ToolPath, [string] $MachineFile)

    try {
        $status = Get-VelorinFleetStoreStatus $PSCmdlet $StorePath
        $due = Get-VelorinRotationDue $status $MaximumAgeDays
        if (-not $due) {
            $rotated = 'Rotated: record {0} of {1:yyyy-MM-ddTHH:mm:ssZ}' -f $status.CurrentSequence, $status.LastRotation
            return New-VelorinFleetOutcome 'Compliant' (Add-VelorinRecordLine $rotated $status) -Rotation
        }
        [void](Get-VelorinBiosSetting -Name 'VelorinRotationApplicabilityProbe*' -ToolPath $ToolPath -MachineFile $MachineFile)
        return New-VelorinFleetOutcome 'NonCompliant' (Add-VelorinRecordLine "NonCompliant: $due" $status) -Rotation
    }
    catch {
        $notApplicable = Get-VelorinNotApplicableSummary $_
        if ($notApplicable) {
            return New-VelorinFleetOutcome 'NotApplicable' $notApplicable -Rotation
        }
        return New-VelorinFleetOutcome 'Failed' ('Check failed: ' + $_.Exception.Message) -Rotation
    }
}
