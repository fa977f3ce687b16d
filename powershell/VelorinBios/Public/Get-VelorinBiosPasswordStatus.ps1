function Get-VelorinBiosPasswordStatus {
    <#
    .SYNOPSIS
    Tells how the password store of this device stands, without any password.

    .DESCRIPTION
    Reads the store that Reset-VelorinBiosPassword keeps and returns a
    Velorin.BiosPasswordStatus: whether it holds a password, the time of the last completed
    rotation (UTC), the last sequence number, whether a rotation is pending (it was cut off;
    the next rotation completes or rolls it back first), and the escrow records of the current
    and the pending password (sealed to the escrow certificates, so they show no password), the
    current record's number (CurrentSequence) and the line that confirms it as applied, and
    whether a removal of the password is pending (Clear-VelorinBiosPassword was cut off).
    Reading the store needs the rights of an administrator or SYSTEM. The firmware is not asked
    and nothing is changed: a store file that cannot be read is an error.

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .EXAMPLE
    Get-VelorinBiosPasswordStatus

    .OUTPUTS
    Velorin.BiosPasswordStatus
    #>
    [CmdletBinding()]
    [OutputType('Velorin.BiosPasswordStatus')]
    param([string] $StorePath = (Get-VelorinDefaultStorePath))

    try {
        Get-VelorinStoreStatus $PSCmdlet.GetUnresolvedProviderPathFromPSPath($StorePath)
    }
    catch {
        $PSCmdlet.ThrowTerminatingError($_)
    }
}
