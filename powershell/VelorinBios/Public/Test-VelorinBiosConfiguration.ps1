function Test-VelorinBiosConfiguration {
    <#
    .SYNOPSIS
    Compares the BIOS settings of this machine with a configuration file or one setting.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /check, which changes nothing and needs no password, and
    returns a Velorin.BiosCompliance object: Compliant, the Differences (each with Name,
    Current and Wanted, read by the file's own names and options, so texts holding " : " or
    " -> " come out whole), the numbers of Matching and NotChecked entries, the tool's
    ExitCode (0 when the settings match, 13 when some differ), and with -Force the entries
    the tool left out: Unmatched (Velorin.BiosUnmatchedEntry: Name, Problem, Line), entries
    that cannot be met - an item of this machine whose wanted option it does not offer or
    does not let be selected (Problem OptionNotSelectable; a wrong letter case or a trailing
    blank, or a read-only option), or a line where an item line belongs (NotAnItemLine, with
    its Line number), or a block by which the file contradicts itself (ConflictingEntries: an
    item named again with another option; SeveralWantedOptions: more than one option marked;
    each with the Line of its item line) - and NotOnModel, the names of items this machine
    lacks.

    Compliant is $true only when at least one entry was compared, none differs and none is
    Unmatched: a file that compares nothing (empty, or every entry left out) never is. A block
    without a "*" (an item without options in an unedited export) wants nothing and is
    neither. Any other outcome of the tool (a wrong file, an unknown item, no Velorin
    interface, no success line) is a terminating error that carries the exit code and the
    tool's output.

    .PARAMETER Path
    A configuration file, as Export-VelorinBiosConfiguration writes it, with the wanted
    options marked "*"; also from the pipeline (the FullName or PSPath of Get-ChildItem's files). Only a regular file of at most 16 MiB is handed to the tool, the tool's
    own error (exit code 4 or 6) otherwise.

    .PARAMETER Force
    Leaves out entries that match no setting (counted as NotChecked, and named in Unmatched or
    NotOnModel) instead of failing.

    .PARAMETER Name
    The setting to compare, matched as Set-VelorinBiosSetting matches it; also the Name of
    objects from the pipeline, such as Get-VelorinBiosSetting's.

    .PARAMETER Value
    The wanted option of that setting; also the Value of objects from the pipeline (a CSV of
    Name and Value columns, for instance).

    .PARAMETER Quiet
    Returns only $true (the settings match) or $false.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Test-VelorinBiosConfiguration -Path .\baseline.txt

    Shows whether the machine matches the baseline and what differs.

    .EXAMPLE
    if (-not (Test-VelorinBiosConfiguration -Name 'Secure Boot' -Value 'Enabled' -Quiet)) { 'Secure Boot is off' }

    Checks one setting.

    .EXAMPLE
    (Test-VelorinBiosConfiguration .\baseline.txt -Force).Differences | Format-Table

    Lists the differing settings, leaving out entries this model does not have.

    .EXAMPLE
    Get-ChildItem .\baselines\*.txt | Test-VelorinBiosConfiguration -Force

    Compares the machine with each baseline file of a folder.

    .EXAMPLE
    Get-VelorinBiosSetting -Name 'Wake*' | Test-VelorinBiosConfiguration -Value 'Disabled' -Quiet

    Tells for each Wake setting whether it is Disabled.

    .OUTPUTS
    Velorin.BiosCompliance, or System.Boolean with -Quiet

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(DefaultParameterSetName = 'File')]
    [OutputType('Velorin.BiosCompliance', [bool])]
    param(
        [Parameter(Mandatory = $true, Position = 0, ParameterSetName = 'File', ValueFromPipelineByPropertyName = $true)]
        [Alias('PSPath', 'FullName')]
        [string] $Path,

        [Parameter(ParameterSetName = 'File')]
        [switch] $Force,

        [Parameter(Mandatory = $true, ParameterSetName = 'Item', ValueFromPipelineByPropertyName = $true)]
        [string] $Name,

        [Parameter(Mandatory = $true, ParameterSetName = 'Item', ValueFromPipelineByPropertyName = $true)]
        [AllowEmptyString()]
        [string] $Value,

        [switch] $Quiet,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    begin {
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    }

    process {
        $compliance = Invoke-VelorinCheck -Context $context -Path $Path -Force:$Force -Name $Name -Value $Value
        if ($Quiet) {
            return $compliance.Compliant
        }
        return $compliance
    }
}
