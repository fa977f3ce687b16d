function Invoke-VelorinModelBaseline {
    <#
    .SYNOPSIS
    Runs a fleet script's check or remediation with the baseline that serves this PC's model.

    .DESCRIPTION
    Picks the first entry of Baselines whose Model pattern matches the model and runs Action
    with its baseline text. With BaselinePath, that one file serves every model and Action
    gets no text. A model that no entry serves gives a Velorin.FleetOutcome of state
    NotApplicable. A Velorin.FleetOutcome that Action returns gains Baseline: the Model
    pattern of the entry used, or BaselinePath, for the event log.

    .PARAMETER Baselines
    Entries with Model (a wildcard pattern) and Baseline (the text), in the order to try.

    .PARAMETER Model
    The SMBIOS product name to use instead of this PC's, for rehearsals and tests.

    .PARAMETER BaselinePath
    A baseline file for every model.

    .PARAMETER Action
    Takes the baseline text and returns the Velorin.FleetOutcome.

    .EXAMPLE
    Invoke-VelorinModelBaseline -Baselines $Baselines -Action { param($Baseline) Get-VelorinBaselineState -Baseline $Baseline }
    #>
    [CmdletBinding()]
    param([object[]] $Baselines, [string] $Model, [string] $BaselinePath, [scriptblock] $Action)

    if ($BaselinePath) {
        return Add-VelorinBaselineName (& $Action $null) $BaselinePath
    }
    $name = Get-VelorinMachineModel $Model
    $entry = Select-VelorinModelBaseline $Baselines $name
    if ($null -eq $entry) {
        return New-VelorinFleetOutcome 'NotApplicable' "Not applicable: no baseline serves the model '$name'"
    }
    return Add-VelorinBaselineName (& $Action $entry.Baseline) $entry.Model
}
