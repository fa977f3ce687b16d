function Invoke-VelorinBiosModelBaseline {
    <#
    .SYNOPSIS
    Runs a fleet script's check or remediation with the baseline that serves this PC's model.

    .DESCRIPTION
    Picks the first entry of Baselines whose Model pattern matches the model and runs Action
    with its baseline text. With BaselinePath, that one file serves every model and Action
    gets no text. A model that no entry serves gives a Velorin.FleetOutcome of state
    NotApplicable. A model that cannot be read (CIM missing or failing, no product name) is a
    terminating error naming why: such a PC is not one that no entry serves. A
    Velorin.FleetOutcome that Action returns gains Baseline: the Model pattern of the entry
    used, or BaselinePath, for the event log.

    .PARAMETER Baselines
    Entries with Model (a wildcard pattern) and Baseline (the text), in the order to try.

    .PARAMETER Model
    The SMBIOS product name to use instead of this PC's, for rehearsals and tests.

    .PARAMETER CaptureFile
    A machine file captured with Export-VelorinBiosMachine, for rehearsals: without Model,
    its SMBIOS product name picks the entry. Only read here; the tool never runs on it.

    .PARAMETER BaselinePath
    A baseline file for every model.

    .PARAMETER Action
    Takes the baseline text and returns the Velorin.FleetOutcome.

    .EXAMPLE
    Invoke-VelorinBiosModelBaseline -Baselines $Baselines -Action { param($Baseline) Get-VelorinBiosBaselineState -Baseline $Baseline }
    #>
    [CmdletBinding()]
    [Alias('Invoke-VelorinModelBaseline')]
    param([object[]] $Baselines, [string] $Model, [string] $CaptureFile, [string] $BaselinePath, [scriptblock] $Action)

    if ($BaselinePath) {
        return Add-VelorinBaselineName (& $Action $null) $BaselinePath
    }
    try {
        $name = Get-VelorinMachineModel $Model $CaptureFile
    }
    catch {
        $PSCmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $_.Exception, 'VelorinModelUnreadable', 'ReadError', $CaptureFile)))
    }
    $entry = Select-VelorinModelBaseline $Baselines $name
    if ($null -eq $entry) {
        return New-VelorinFleetOutcome 'NotApplicable' "Not applicable: no baseline serves the model '$name'"
    }
    return Add-VelorinBaselineName (& $Action $entry.Baseline) $entry.Model
}
