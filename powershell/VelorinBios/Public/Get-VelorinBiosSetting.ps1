function Get-VelorinBiosSetting {
    <#
    .SYNOPSIS
    Gets the BIOS setup settings of this machine.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /get /o in a private temporary folder and returns one
    Velorin.BiosSetting object per setup item: its name, its current value and its options
    in the order the firmware lists them. An item without an option list (an asset tag, for
    instance) has no options and no current value.

    .PARAMETER Name
    Names of the settings to return. Wildcards are allowed and letter case does not matter.
    A name that matches no setting as a wildcard pattern is taken literally, so 'Slot [1]'
    or a name with a backtick finds that setting (where a setting "Slot 1" exists as well,
    the pattern finds it instead; escape the brackets then: 'Slot `[1`]'). A name without
    wildcards that matches no setting is reported as an error.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Get-VelorinBiosSetting

    Lists every setting with its current value.

    .EXAMPLE
    Get-VelorinBiosSetting -Name '*Boot*' | Format-Table Name, CurrentValue

    Shows the boot settings.

    .EXAMPLE
    (Get-VelorinBiosSetting -Name 'Wake On LAN').Options

    Lists the options that Wake On LAN offers.

    .OUTPUTS
    Velorin.BiosSetting

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding()]
    [OutputType('Velorin.BiosSetting')]
    param(
        [Parameter(Position = 0)]
        [SupportsWildcards()]
        [string[]] $Name,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    $target = 'BIOS settings'
    if ($Name) {
        $target = $Name
    }
    $blocks = Get-VelorinConfiguration -Context (New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile) -Target $target
    foreach ($block in (Select-VelorinBlock -Cmdlet $PSCmdlet -Block $blocks -Name $Name)) {
        [pscustomobject]@{
            PSTypeName   = 'Velorin.BiosSetting'
            Name         = $block.Name
            CurrentValue = $block.CurrentValue
            Options      = $block.Options
        }
    }
}
