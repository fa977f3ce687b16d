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
