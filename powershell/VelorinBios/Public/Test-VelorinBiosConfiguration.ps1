function Test-VelorinBiosConfiguration {
    <#
    .SYNOPSIS
    Compares the BIOS settings of this machine with a configuration file or one setting.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /check, which changes nothing and needs no password, and
    returns a Velorin.BiosCompliance object: Compliant, the Differences (each with Name,
    Current and Wanted), the numbers of Matching and NotChecked entries, and the tool's
    ExitCode (0 when the settings match, 13 when some differ). Any other outcome of the tool
    (a wrong file, an unknown item, no Velorin interface) is a terminating error that carries
    the exit code and the tool's output.

    .PARAMETER Path
    A configuration file, as Export-VelorinBiosConfiguration writes it, with the wanted
    options marked "*".

    .PARAMETER Force
    Leaves out entries that match no setting (counted as NotChecked) instead of failing.

    .PARAMETER Name
    The setting to compare, matched as Set-VelorinBiosSetting matches it.

    .PARAMETER Value
    The wanted option of that setting.

    .PARAMETER Quiet
    Returns only $true (the settings match) or $false.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable. Defaults to the VELORIN_BIOS_TOOL environment
    variable, else the executable beside the module folder.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, handed to the tool's process only.

    .EXAMPLE
    Test-VelorinBiosConfiguration -Path .\baseline.txt

    Shows whether the machine matches the baseline and what differs.

    .EXAMPLE
    if (-not (Test-VelorinBiosConfiguration -Name 'Secure Boot' -Value 'Enabled' -Quiet)) { 'Secure Boot is off' }

    Checks one setting.

    .EXAMPLE
    (Test-VelorinBiosConfiguration .\baseline.txt -Force).Differences | Format-Table

    Lists the differing settings, leaving out entries this model does not have.

    .OUTPUTS
    Velorin.BiosCompliance, or System.Boolean with -Quiet
    #>
    [CmdletBinding(DefaultParameterSetName = 'File')]
    [OutputType('Velorin.BiosCompliance', [bool])]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'File')]
        [string] $Path,

        [Parameter(ParameterSetName = 'File')]
        [switch] $Force,

        [Parameter(Mandatory = $true, ParameterSetName = 'Item')]
        [string] $Name,

        [Parameter(Mandatory = $true, ParameterSetName = 'Item')]
        [AllowEmptyString()]
        [string] $Value,

        [switch] $Quiet,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    $compliance = Invoke-VelorinCheck -Cmdlet $PSCmdlet -Path $Path -Force:$Force -Name $Name -Value $Value `
        -ToolPath $ToolPath -MachineFile $MachineFile
    if ($Quiet) {
        return $compliance.Compliant
    }
    return $compliance
}
