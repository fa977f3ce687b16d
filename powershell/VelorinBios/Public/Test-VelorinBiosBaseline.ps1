function Test-VelorinBiosBaseline {
    <#
    .SYNOPSIS
    Rehearses a baseline on captured machines before any PC is touched.

    .DESCRIPTION
    For each machine file (as Export-VelorinBiosMachine captures it) runs the whole baseline
    on a private copy of the capture: /check for what differs, then /set with a throwaway
    supervisor password, so that what the firmware would refuse shows too. The capture itself
    is never changed. Returns one Velorin.BiosRehearsal object per machine file:
    MachineFile; Model and Manufacturer (from the capture's SMBIOS table); Differences (what a
    set would change: Name, Current, Wanted); MissingItems (baseline items the model lacks);
    UnknownOptions (Name and Option: a wanted option the item lacks); ReadOnly (Name and
    Option: the option exists but cannot be selected through the interface); Conflicts
    (Velorin.BiosUnmatchedEntry: an item named again with another wanted option, Problem
    ConflictingEntries, or a block that marks more than one option, SeveralWantedOptions:
    the fleet refuses such a baseline, and the rehearsal sets nothing); FleetDecision, what
    the fleet scripts decide on that model by the same rule (Applies, Unmet, NothingApplies
    when no entry of the baseline is compared, Conflicting); and Applicable, true exactly
    when FleetDecision is Applies and MissingItems, UnknownOptions and ReadOnly are empty;
    ProviderCalls, how many times the /check of the baseline asked the firmware of the captured
    model (as the simulated machine counts them), which is what the daily detection costs on
    that model. Shown as a summary table.

    A capture that cannot be rehearsed gives a VelorinBiosRehearsalFailed error for that
    file, and the others go on.

    .PARAMETER Path
    The baseline: a configuration file with the wanted options marked "*".

    .PARAMETER MachineFile
    Machine files, wildcards, or folders of captures. Of a folder only the captures are
    taken: each file that has its ".smbios" table beside it; other files (a desktop.ini, a
    note) are passed over.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .EXAMPLE
    Test-VelorinBiosBaseline -Path .\baseline.txt -MachineFile \\server\captures

    Shows for every captured model whether the baseline applies and what it would change.

    .EXAMPLE
    Get-ChildItem .\captures\*.txt | Test-VelorinBiosBaseline .\baseline.txt | Where-Object { -not $_.Applicable }

    Lists the models the baseline does not fit.

    .OUTPUTS
    Velorin.BiosRehearsal

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding()]
    [OutputType('Velorin.BiosRehearsal')]
    param(
        [Parameter(Mandatory = $true, Position = 0)]
        [string] $Path,

        [Parameter(Mandatory = $true, Position = 1, ValueFromPipeline = $true, ValueFromPipelineByPropertyName = $true)]
        [Alias('FullName')]
        [SupportsWildcards()]
        [string[]] $MachineFile,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL
    )

    begin {
        $baseline = Resolve-VelorinFilePath -Path $Path -Cmdlet $PSCmdlet
    }

    process {
        foreach ($file in (Resolve-VelorinMachineFile -Cmdlet $PSCmdlet -Path $MachineFile)) {
            try {
                Invoke-VelorinRehearsal -BaselinePath $baseline -MachineFile $file -ToolPath $ToolPath
            }
            catch {
                # One capture that cannot be rehearsed does not stop the others.
                $PSCmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                            $_.Exception, 'VelorinBiosRehearsalFailed', 'InvalidOperation', $file)))
            }
        }
    }
}
