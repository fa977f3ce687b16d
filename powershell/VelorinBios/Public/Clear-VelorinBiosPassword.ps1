function Clear-VelorinBiosPassword {
    <#
    .SYNOPSIS
    Removes the supervisor password before a device is sold or returned from a lease.

    .DESCRIPTION
    Removes the BIOS supervisor password with the password the store holds (a rotation that
    was cut off is completed or rolled back first) and then removes every password from the
    store. The store keeps only its last sequence number, so a later rotation never gives a
    record a number that was used before. The store records the removal before the firmware is
    touched: a removal that is cut off is completed (or dropped, when the firmware kept its
    password) by the next command that uses the store. The change takes effect at once; no
    password reaches a command line.

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .PARAMETER Password
    The current supervisor password, instead of the store's.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Clear-VelorinBiosPassword -Confirm:$false

    Retires the device: no supervisor password, none in the store.

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true, ConfirmImpact = 'High')]
    param(
        [string] $StorePath = (Get-VelorinDefaultStorePath),

        [System.Security.SecureString] $Password,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    if (-not $PSCmdlet.ShouldProcess('BIOS supervisor password', 'Remove the password and every password in the store')) {
        return
    }
    try {
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
        $store = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($StorePath)
        Use-VelorinPasswordStore $store {
            param($state, $context, $store, $given)
            $known = Complete-VelorinPendingRotation -Context $context -StorePath $store -State $state -Known (Get-VelorinKnownPassword $state $given)
            Remove-VelorinSupervisorPassword -Context $context -StorePath $store -State $state -Known $known
        } $context, $store, $Password
    }
    catch {
        $PSCmdlet.ThrowTerminatingError($_)
    }
}
