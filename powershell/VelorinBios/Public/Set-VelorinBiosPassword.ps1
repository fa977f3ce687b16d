function Set-VelorinBiosPassword {
    <#
    .SYNOPSIS
    Sets a new supervisor or user password of the BIOS.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /ChangeSupervisorPassword or /ChangeUserPassword. The current
    supervisor password and the new password go to the tool's standard input (/pwstdin,
    /newpwstdin), so neither stands on a command line; the module shows neither in its own
    output, errors and verbose lines.

    A new password has at most 20 characters, each a printable ASCII character (a letter,
    digit, blank or punctuation mark of a US keyboard: the BIOS setup screen takes no others);
    any other character is refused before the tool runs. An empty one removes the password.
    The change is saved and takes effect after a reboot.

    .PARAMETER Supervisor
    Changes the supervisor password.

    .PARAMETER User
    Changes the user password (a supervisor password must be set).

    .PARAMETER NewPassword
    The new password.

    .PARAMETER Password
    The current supervisor password (an empty one while none is set).

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Set-VelorinBiosPassword -Supervisor -NewPassword (Read-Host -AsSecureString 'New') -Password (Read-Host -AsSecureString 'Current')

    Changes the supervisor password.

    .EXAMPLE
    Set-VelorinBiosPassword -User -NewPassword $new -Password $supervisor -WhatIf

    Shows what would be done.

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'Supervisor')]
    param(
        [Parameter(Mandatory = $true, ParameterSetName = 'Supervisor')]
        [switch] $Supervisor,

        [Parameter(Mandatory = $true, ParameterSetName = 'User')]
        [switch] $User,

        [Parameter(Mandatory = $true)]
        [System.Security.SecureString] $NewPassword,

        [Parameter(Mandatory = $true)]
        [System.Security.SecureString] $Password,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    $command = '/ChangeSupervisorPassword'
    $which = 'supervisor'
    if ($User) {
        $command = '/ChangeUserPassword'
        $which = 'user'
    }
    $new = ConvertFrom-VelorinSecureString -SecureString $NewPassword
    Assert-VelorinNewPassword -Cmdlet $PSCmdlet -Password $new
    if (-not $PSCmdlet.ShouldProcess('BIOS', "Set a new $which password")) {
        return
    }
    $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    $folder = New-VelorinWorkFolder
    try {
        # An empty new password removes the password: the documented empty argument, the one
        # removal that /newpwstdin deliberately refuses.
        $arguments = @($command, '/newpwstdin', '/pwstdin')
        $passwords = @($Password, $NewPassword)
        if (-not $new) {
            $arguments = @($command, '', '/pwstdin')
            $passwords = @($Password)
        }
        [void](Invoke-VelorinTool -Context $context `
                -WorkingDirectory $folder -Arguments $arguments -Secret @($new) `
                -StandardInput (Join-VelorinPasswordInput $passwords) -Target "BIOS $which password")
    }
    finally {
        $new = $null
        Remove-VelorinWorkFolder -Folder $folder
    }
}
