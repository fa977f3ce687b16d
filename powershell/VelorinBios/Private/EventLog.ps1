# One event per run of a fleet script in the Application log, under the source that the MSI
# registers (so no run needs the rights to create it). The event tells the outcome by its id
# and carries the summary with the escrow records replaced by their sequence numbers: never a
# password, a command line or a record.

$script:EventSource = 'VelorinBiosConfigTool'
$script:EventSourceKey = 'SYSTEM\CurrentControlSet\Services\EventLog\Application\' + $script:EventSource

# The event ids, fixed: scripts and alerts of the administrators match on them.
$script:FleetEvents = [ordered]@{
    Compliant      = @{ Id = 1000; Type = 'Information'; Text = 'compliant' }
    NonCompliant   = @{ Id = 1001; Type = 'Warning'; Text = 'not compliant' }
    RebootPending  = @{ Id = 1002; Type = 'Information'; Text = 'remediated, a reboot applies the changes' }
    Remediated     = @{ Id = 1003; Type = 'Information'; Text = 'remediated, nothing to change' }
    NotApplicable  = @{ Id = 1004; Type = 'Information'; Text = 'not applicable' }
    Failed         = @{ Id = 1005; Type = 'Error'; Text = 'failed' }
    Rotated        = @{ Id = 1010; Type = 'Information'; Text = 'BIOS supervisor password rotated' }
    RotationFailed = @{ Id = 1011; Type = 'Error'; Text = 'BIOS supervisor password rotation failed' }
}

# Writes one entry. Windows: to the Application log when the source is registered, else
# nothing. Elsewhere the last entries are kept in RecordedEvents, for the tests.
$script:RecordedEvents = New-Object System.Collections.Generic.List[object]
$script:RecordedEventLimit = 100
$script:EventWriter = {
    param([int] $Id, [string] $Type, [string] $Message)
    if (-not (Test-VelorinWindows)) {
        if ($script:RecordedEvents.Count -ge $script:RecordedEventLimit) {
            $script:RecordedEvents.RemoveAt(0)
        }
        $script:RecordedEvents.Add([pscustomobject]@{ Source = $script:EventSource; Id = $Id; Type = $Type; Message = $Message })
        return
    }
    $key = [Microsoft.Win32.Registry]::LocalMachine.OpenSubKey($script:EventSourceKey)
    if (-not $key) {
        return
    }
    $key.Dispose()
    [System.Diagnostics.EventLog]::WriteEntry($script:EventSource, $Message, [System.Diagnostics.EventLogEntryType]$Type, $Id)
}

# Which event an outcome is: a rotation's by its state or its failure line, the others by state.
function Get-VelorinFleetEventKind([string] $State, [string] $Summary, [bool] $RebootRequired) {
    if ($State -eq 'Failed' -and $Summary -match '(?m)^Rotation failed: ') {
        return 'RotationFailed'
    }
    if ($State -eq 'Remediated' -and $RebootRequired) {
        return 'RebootPending'
    }
    if ($script:FleetEvents.Contains($State)) {
        return $State
    }
    return 'Failed'
}

# The summary's lines, each escrow record replaced by its sequence number and each line that
# confirms a record as applied by that number too: the event says which password the
# firmware holds without carrying a record.
function Get-VelorinEventSummary([string] $Summary) {
    $lines = foreach ($line in ($Summary -split "`r?`n")) {
        $record = @(Find-VelorinEscrowRecordText $line)
        $applied = @(Find-VelorinEscrowRecordText $line $script:AppliedRecordType)
        if ($record.Count -eq 0 -and $applied.Count -eq 0) {
            if ($line.TrimStart().StartsWith('{')) {
                'a line that is no record was left out'
            }
            else {
                $line
            }
            continue
        }
        try {
            if ($record.Count -gt 0) {
                'escrow record {0}' -f (ConvertFrom-VelorinEscrowRecord $record[0]).Sequence
            }
            else {
                'escrow record {0} applied' -f (ConvertFrom-VelorinEscrowRecord $applied[0] $script:AppliedRecordType).Sequence
            }
        }
        catch {
            'an escrow record that cannot be read was left out'
        }
    }
    return ($lines -join [System.Environment]::NewLine)
}

# The file version of the tool the module finds, where the executable carries one; a tool
# that is not found ends this command, not its caller.
function Get-VelorinToolFileVersion {
    [CmdletBinding()]
    param()

    $version = [System.Diagnostics.FileVersionInfo]::GetVersionInfo((Resolve-VelorinToolPath -Context (New-VelorinToolContext -Cmdlet $PSCmdlet))).FileVersion
    if (-not $version) {
        return 'unknown'
    }
    return $version
}

function Format-VelorinFleetEvent {
    param([string] $Script, [string] $Kind, [int] $ExitCode, [string] $Baseline, [string] $ToolVersion, [string] $Summary)

    if (-not $Baseline) {
        $Baseline = 'none'
    }
    $module = $MyInvocation.MyCommand.Module
    return (@(
            ('{0}: {1} (exit code {2})' -f $Script, $script:FleetEvents[$Kind].Text, $ExitCode)
            "Baseline: $Baseline"
            "Tool version: $ToolVersion"
            "Module version: $($module.Version)"
            (Get-VelorinEventSummary $Summary)
        ) -join [System.Environment]::NewLine)
}
