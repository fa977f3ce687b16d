function Export-VelorinBiosConfiguration {
    <#
    .SYNOPSIS
    Saves the BIOS settings of this machine into a configuration file.

    .DESCRIPTION
    Writes a configuration file at any path, byte for byte what VelorinBiosConfigTool
    /get /o writes: a block per setting ("+++" and the name, one line per option with "*"
    before the current one, an empty line), ISO-8859-1 text with CR LF line ends and no
    byte-order mark. With -Name only the named settings are written. Edit the "*" marks and
    hand the file to Set-VelorinBiosConfiguration or Test-VelorinBiosConfiguration.

    .PARAMETER Path
    The file to write. An existing file is replaced.

    .PARAMETER Name
    Names of the settings to write (wildcards, any letter case); all settings without it. A
    name that matches no setting as a wildcard pattern is taken literally ('Slot [1]'), as
    Get-VelorinBiosSetting takes it.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Export-VelorinBiosConfiguration -Path .\baseline.txt

    Saves every setting into baseline.txt.

    .EXAMPLE
    Export-VelorinBiosConfiguration -Path C:\Baselines\boot.txt -Name 'Secure Boot', 'Fast Boot'

    Saves two settings, the start of a baseline for the fleet.

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true)]
    param(
        [Parameter(Mandatory = $true, Position = 0)]
        [string] $Path,

        [SupportsWildcards()]
        [string[]] $Name,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    $target = Resolve-VelorinFilePath -Path $Path -Cmdlet $PSCmdlet
    $blocks = Get-VelorinConfiguration -Context (New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile) -Target $Path
    $selected = Select-VelorinBlock -Cmdlet $PSCmdlet -Block $blocks -Name $Name
    if ($selected.Count -eq 0) {
        return
    }
    if ($PSCmdlet.ShouldProcess($target, "Write $($selected.Count) BIOS settings")) {
        Write-VelorinTextFile -Path $target -Text (ConvertTo-VelorinConfigurationText -Block $selected)
    }
}
