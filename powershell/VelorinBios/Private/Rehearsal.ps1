# A baseline rehearsed on a captured machine: /check for what differs, then the whole /set on
# a private copy of the capture, and the capture's read-only marks to tell an option the
# interface cannot select from one the model lacks.

# The baseline's chosen entries (Name and the wanted Option), as the tool reads the file's text.
function Read-VelorinBaselineChoice {
    param([string] $Text)

    $lines = ($Text -replace "`r?`n", "`r`n") + "`r`n"
    foreach ($block in (ConvertFrom-VelorinConfiguration -Text $lines)) {
        if ($null -ne $block.CurrentValue) {
            [pscustomobject]@{ Name = $block.Name; Option = $block.CurrentValue }
        }
    }
}

function New-VelorinOptionEntry {
    param([string] $Name, [string] $Option)
    return [pscustomobject]@{ PSTypeName = 'Velorin.BiosOptionEntry'; Name = $Name; Option = $Option }
}

# Wanted options the tool refused as wrong, each either read only on the capture or unknown.
function Split-VelorinWrongOption {
    param([object] $Machine, [object[]] $Choice, [object] $Wrong)

    $split = @{ Unknown = New-Object System.Collections.Generic.List[object]; ReadOnly = New-Object System.Collections.Generic.List[object] }
    $classified = New-Object 'System.Collections.Generic.HashSet[string]'
    foreach ($entry in $Choice) {
        if ($Wrong.Options -notcontains $entry.Name) {
            continue
        }
        [void]$classified.Add($entry.Name)
        $item = @($Machine.Items | Where-Object { $_.Name -eq $entry.Name }) | Select-Object -First 1
        if ($item -and $item.ReadOnly -contains $entry.Option) {
            $split.ReadOnly.Add((New-VelorinOptionEntry $entry.Name $entry.Option))
        }
        else {
            $split.Unknown.Add((New-VelorinOptionEntry $entry.Name $entry.Option))
        }
    }
    # An entry the tool refused that this reading of the baseline did not find still counts.
    foreach ($name in $Wrong.Options) {
        if (-not $classified.Contains($name)) {
            $split.Unknown.Add((New-VelorinOptionEntry $name $null))
        }
    }
    return $split
}

# A throwaway supervisor password for the copy: 16 hexadecimal digits, within the 20 units the
# interface takes.
function New-VelorinRehearsalPassword {
    return [guid]::NewGuid().ToString('N').Substring(0, 16)
}

# An advanced function of its own: a terminating error of its runs ends this rehearsal alone,
# and its caller can catch it and go on with the next capture, which a terminating error
# thrown through the caller's own cmdlet would not let it do.
function Invoke-VelorinRehearsal {
    [CmdletBinding()]
    param(
        [Parameter(Mandatory)] [string] $BaselinePath,
        [Parameter(Mandatory)] [string] $MachineFile,
        [string] $ToolPath
    )

    $machine = Read-VelorinMachineFile -Path $MachineFile
    $folder = New-VelorinWorkFolder
    try {
        $password = New-VelorinRehearsalPassword
        $copy = New-VelorinRehearsalMachine -Machine $machine -Folder $folder -SupervisorPassword $password
        # Every run goes to the private copy, never to the capture itself.
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $copy
        $target = @{ Context = $context; Path = $BaselinePath; Force = $true }
        $check = Invoke-VelorinCountedCheck -Target $target -Folder $folder
        $compliance = ConvertFrom-VelorinCheckReport -ExitCode $check.ExitCode -Output $check.Output -Index $check.Index
        $decision = Get-VelorinBaselineDecision $compliance.Unmatched ($compliance.Matching + $compliance.Differences.Count)
        # The fleet sets no baseline that contradicts itself, and neither does its rehearsal.
        $set = $null
        if ($decision -ne 'Conflicting') {
            $set = Invoke-VelorinSettingCommand -Command '/set' -TrailingArgument '/pwstdin' -AcceptedExitCode 0, 12 @target `
                -StandardInput ($script:Latin1.GetBytes($password + "`n"))
        }
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
    if ($set -and $set.ExitCode -ne 0 -and $set.Output.Contains('Set Command Result')) {
        $PSCmdlet.WriteWarning("The rehearsed set on '$MachineFile' ended with exit code $($set.ExitCode): the firmware refused a setting or the save.")
    }
    $rehearsal = ConvertTo-VelorinRehearsal -Machine $machine -Compliance $compliance -Decision $decision -Index $check.Index -Set $set
    $rehearsal | Add-Member -NotePropertyName ProviderCalls -NotePropertyValue $check.ProviderCalls
    return $rehearsal
}

# The rehearsal's /check, with the provider calls it made on the capture as the simulated
# machine counts them (the file VELORIN_CALL_LOG names gets one line "calls TOTAL ..." per
# run): how often the daily detection asks the firmware of that model. ProviderCalls is $null
# when the tool counted nothing.
function Invoke-VelorinCountedCheck {
    param([hashtable] $Target, [string] $Folder)

    $log = Join-Path $Folder 'provider-calls.log'
    $previous = $env:VELORIN_CALL_LOG
    $env:VELORIN_CALL_LOG = $log
    try {
        $check = Invoke-VelorinSettingCommand -Command '/check' -AcceptedExitCode 0, 13 @Target
    }
    finally {
        $env:VELORIN_CALL_LOG = $previous
    }
    $calls = $null
    if (Test-Path -LiteralPath $log) {
        $line = @(Get-Content -LiteralPath $log) | Select-Object -Last 1
        if ($line -match '^calls (\d+)') {
            $calls = [long]$Matches[1]
        }
    }
    $check | Add-Member -NotePropertyName ProviderCalls -NotePropertyValue $calls
    return $check
}

function ConvertTo-VelorinRehearsal {
    # Both runs carry the index of the one bounded copy of the baseline they were given.
    param([object] $Machine, [object] $Compliance, [string] $Decision, [hashtable] $Index, [object] $Set)

    if ($Set -and -not $Set.Output.Contains('Set Command Result')) {
        throw (New-Object VelorinBiosToolException ((Get-VelorinToolErrorMessage -ExitCode $Set.ExitCode -Output $Set.Output),
                $Set.ExitCode, $Set.Output, 'ToolFailed'))
    }
    $conflicts = @($Compliance.Unmatched | Where-Object { $script:ConflictProblems -contains $_.Problem })
    $wrong = @{
        Items   = @($Compliance.NotOnModel)
        Options = @($Compliance.Unmatched | Where-Object { $script:ConflictProblems -notcontains $_.Problem } | ForEach-Object { $_.Name })
    }
    $split = Split-VelorinWrongOption -Machine $Machine -Choice @(Read-VelorinBaselineChoice -Text $Index.Text) -Wrong $wrong
    $differences = $Compliance.Differences
    # An option the firmware refuses matters only where the baseline asks for a change.
    if ($Set) {
        foreach ($skipped in (ConvertFrom-VelorinSetReport -Output $Set.Output -Index $Set.Index).Skipped) {
            if (@($differences | Where-Object { $_.Name -eq $skipped.Name }).Count -gt 0) {
                $split.ReadOnly.Add((New-VelorinOptionEntry $skipped.Name $skipped.Value))
            }
        }
    }
    $rehearsal = [pscustomobject]@{
        PSTypeName     = 'Velorin.BiosRehearsal'
        MachineFile    = $Machine.Path
        Model          = $Machine.Model
        Manufacturer   = $Machine.Manufacturer
        Differences    = $differences
        MissingItems   = [string[]]$wrong.Items
        UnknownOptions = $split.Unknown.ToArray()
        ReadOnly       = $split.ReadOnly.ToArray()
        Conflicts      = [object[]]$conflicts
        FleetDecision  = $Decision
        # Stricter than the fleet: every item on the model, every wanted option selectable.
        Applicable     = $Decision -eq 'Applies' -and ($wrong.Items.Count + $split.Unknown.Count + $split.ReadOnly.Count) -eq 0
    }
    return $rehearsal
}
