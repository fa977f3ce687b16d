function Write-VelorinBiosFleetEvent {
    <#
    .SYNOPSIS
    Writes the one event of a fleet script's run to the Application log.

    .DESCRIPTION
    Writes an event under the source VelorinBiosConfigTool, which the MSI registers: its id
    tells the outcome (1000 compliant, 1001 not compliant, 1002 remediated with a reboot
    pending, 1003 remediated with nothing to change, 1004 not applicable, 1005 failed, 1010
    password rotated, 1011 rotation failed), its text names the calling script, the exit code,
    the baseline, the tool's version (the discovery's, else the file version of the tool that
    the module finds) and the summary, with each escrow record replaced by its
    sequence number. Where the source is not registered nothing is written. Never fails: a
    failure to log changes no result, and is only told on the verbose stream.

    .PARAMETER Outcome
    The Velorin.FleetOutcome of the run (State, Summary, RebootRequired, Baseline,
    ToolVersion); none when the run failed before it had one.

    .PARAMETER Summary
    The summary to use when there is no outcome (the run failed).

    .PARAMETER ExitCode
    The script's exit code.

    .EXAMPLE
    Write-VelorinBiosFleetEvent -Outcome $outcome -Summary $summary -ExitCode $exitCode
    #>
    [CmdletBinding()]
    [Alias('Write-VelorinFleetEvent')]
    param([object] $Outcome, [string] $Summary, [int] $ExitCode)

    try {
        $state = 'Failed'
        $reboot = $false
        $baseline = $null
        $version = $null
        if ($Outcome) {
            $state = [string]$Outcome.State
            $Summary = [string]$Outcome.Summary
            $properties = $Outcome.PSObject.Properties
            if ($properties['RebootRequired']) {
                $reboot = [bool]$Outcome.RebootRequired
            }
            if ($properties['Baseline']) {
                $baseline = [string]$Outcome.Baseline
            }
            if ($properties['ToolVersion']) {
                $version = [string]$Outcome.ToolVersion
            }
        }
        if (-not $version) {
            $version = 'unknown'
            try {
                $version = Get-VelorinToolFileVersion
            }
            catch {
                Write-Verbose "The tool's version cannot be read: $($_.Exception.Message)"
            }
        }
        $kind = Get-VelorinFleetEventKind $state $Summary $reboot
        $caller = [System.IO.Path]::GetFileName($MyInvocation.ScriptName)
        if (-not $caller) {
            $caller = $MyInvocation.MyCommand.Module.Name
        }
        $message = Format-VelorinFleetEvent -Script $caller -Kind $kind -ExitCode $ExitCode -Baseline $baseline `
            -ToolVersion $version -Summary $Summary
        $entry = $script:FleetEvents[$kind]
        & $script:EventWriter $entry.Id $entry.Type $message
    }
    catch {
        Write-Verbose "The event was not written: $($_.Exception.Message)"
    }
}
