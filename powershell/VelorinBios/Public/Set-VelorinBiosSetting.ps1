function Set-VelorinBiosSetting {
    <#
    .SYNOPSIS
    Sets one BIOS setting of this machine to one of its options.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /set /i with the name and the option and /pwstdin: the
    supervisor password is written to the tool's standard input and never appears on a
    command line. Name and option are matched without regard to letter case. The change is
    saved and takes effect after a reboot. Returns a Velorin.BiosSetResult.

    With -WhatIf it runs /check instead, shows the change and changes nothing.

    Names and options are passed on the tool's command line; for texts beyond ASCII use a
    configuration file and Set-VelorinBiosConfiguration.

    .PARAMETER Name
    The setting, as Get-VelorinBiosSetting names it; also the Name of objects from the
    pipeline, such as Get-VelorinBiosSetting's.

    .PARAMETER Value
    The option to choose; also the Value of objects from the pipeline.

    .PARAMETER Password
    The current supervisor password.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'LAN Only' -Password $password

    Chooses "LAN Only" for Wake On LAN.

    .EXAMPLE
    Set-VelorinBiosSetting -Name 'Secure Boot' -Value 'Enabled' -Password $password -WhatIf

    Shows whether the setting would change.

    .EXAMPLE
    Get-VelorinBiosSetting -Name 'Wake*' | Set-VelorinBiosSetting -Value 'Disabled' -Password $password

    Turns every Wake setting off.

    .OUTPUTS
    Velorin.BiosSetResult

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true)]
    [OutputType('Velorin.BiosSetResult')]
    param(
        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true)]
        [string] $Name,

        [Parameter(Mandatory = $true, ValueFromPipelineByPropertyName = $true)]
        [AllowEmptyString()]
        [string] $Value,

        [Parameter(Mandatory = $true)]
        [System.Security.SecureString] $Password,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    begin {
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    }

    process {
        Invoke-VelorinSet -Context $context -Name $Name -Value $Value -Password $Password -Action "Set '$Name' to '$Value'"
    }
}
