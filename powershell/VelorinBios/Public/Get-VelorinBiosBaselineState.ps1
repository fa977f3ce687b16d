function Get-VelorinBiosBaselineState {
    <#
    .SYNOPSIS
    Compares this machine with a baseline for a detection or discovery script.

    .DESCRIPTION
    Runs Test-VelorinBiosConfiguration -Force on the baseline and returns a
    Velorin.FleetOutcome: State Compliant, NonCompliant, NotApplicable (not a Velorin PC, or
    an interface older than revision 6) or Failed, and a Summary of at most 2,048 characters.
    Items this model lacks are left out; an entry that cannot be met (its item is here but
    not its wanted option, or it is read only, or the line is no item line) makes the machine
    NonCompliant and is named; a baseline of which no entry applies, or that contradicts
    itself (an item named again with another option, a block that marks two options), is
    Failed, naming the entries.

    .PARAMETER Baseline
    The baseline's text: blocks as Export-VelorinBiosConfiguration writes them.

    .PARAMETER BaselinePath
    A baseline file, used instead of Baseline.

    .PARAMETER ToolPath
    Handed to Test-VelorinBiosConfiguration.

    .PARAMETER MachineFile
    Handed to Test-VelorinBiosConfiguration.

    .EXAMPLE
    (Get-VelorinBiosBaselineState -Baseline $Baseline).Summary
    #>
    [CmdletBinding()]
    [Alias('Get-VelorinBaselineState')]
    param([string] $Baseline, [string] $BaselinePath, [string] $ToolPath, [string] $MachineFile)

    try {
        $compliance = Use-VelorinBaselineFile $Baseline $BaselinePath {
            param($path, $toolPath, $machineFile)
            Test-VelorinBiosConfiguration -Path $path -Force -ToolPath $toolPath -MachineFile $machineFile
        } $ToolPath, $MachineFile
    }
    catch {
        return ConvertTo-VelorinFailureOutcome $_ 'Check'
    }
    return ConvertTo-VelorinCheckOutcome $compliance
}
