# What the fleet commands share: the outcome of a check, remediation or rotation as one state
# and one summary that Intune and ConfigMgr can show, the baseline as the tool reads it, the
# shared password file, the baseline of this PC's model, and whether a password rotation is due.

# Intune keeps no more of a script's output.
$script:SummaryLimit = 2048

function Limit-VelorinSummary([string] $Text) {
    if ($Text.Length -gt $script:SummaryLimit) {
        $Text = $Text.Substring(0, $script:SummaryLimit - 3) + '...'
    }
    return $Text
}

# The outcome of a fleet command. A rotation's (-Rotation) asks for no reboot, and its Summary
# keeps whole escrow records, which a cut would make useless: the detection fits its lines into
# the limit itself (Add-VelorinRecordLine), and an escrow folder takes records of any length.
function New-VelorinFleetOutcome([string] $State, [string] $Summary, [bool] $RebootRequired = $false, [switch] $Rotation) {
    if ($Rotation) {
        return [pscustomobject]@{ PSTypeName = 'Velorin.FleetOutcome'; State = $State; Summary = $Summary }
    }
    return [pscustomobject]@{
        PSTypeName     = 'Velorin.FleetOutcome'
        State          = $State
        Summary        = Limit-VelorinSummary $Summary
        RebootRequired = $RebootRequired
    }
}

# The target that -WhatIf and -Confirm name for a remediation: what it changes on this machine,
# the password store whose cut-off rotation it completes or rolls back first, and the escrow
# folder it writes to, if any.
function Get-VelorinRemediationTarget([string] $What, [string] $StorePath, [string] $EscrowPath) {
    $target = "$What of this machine; password store '$StorePath'"
    if ($EscrowPath) {
        $target += "; escrow folder '$EscrowPath'"
    }
    return $target
}

# Not a Velorin PC, or an interface older than revision 6: nothing for the scripts to do.
function Get-VelorinNotApplicableSummary([System.Management.Automation.ErrorRecord] $Failure) {
    $reason = $null
    if ($Failure.Exception.PSObject.Properties['Reason']) {
        $reason = $Failure.Exception.Reason
    }
    if ($reason -eq 'NotVelorin') {
        return "Not applicable: this machine offers no Velorin BIOS interface ($($Failure.Exception.Message))"
    }
    if ($reason -eq 'UnsupportedRevision') {
        return 'Not applicable: the Velorin BIOS interface is older than revision 6'
    }
    return $null
}

# A machine the tool does not apply to gives NotApplicable; any other failure Failed.
function ConvertTo-VelorinFailureOutcome([System.Management.Automation.ErrorRecord] $Failure, [string] $What) {
    $notApplicable = Get-VelorinNotApplicableSummary $Failure
    if ($notApplicable) {
        return New-VelorinFleetOutcome 'NotApplicable' $notApplicable
    }
    $exception = $Failure.Exception
    if ($exception.PSObject.Properties['Reason'] -and $exception.Reason) {
        return New-VelorinFleetOutcome 'Failed' ('{0} failed (exit code {1}): {2}' -f $What, $exception.ExitCode, $exception.Message)
    }
    return New-VelorinFleetOutcome 'Failed' ('{0} failed: {1}' -f $What, $exception.Message)
}

# What the fleet makes of a baseline on a machine, from the entries the tool left out
# (Unmatched) and the number it compared or set: Conflicting (the baseline contradicts
# itself: refused before any change), NothingApplies (no entry compared: proves nothing),
# Unmet (an entry cannot be met) or Applies. The detection, the remediation and the rehearsal
# all decide by it, so that a rehearsal never passes a baseline the fleet fails.
function Get-VelorinBaselineDecision([object[]] $Unmatched, [int] $Compared) {
    $unmet = @($Unmatched)
    if (@($unmet | Where-Object { $script:ConflictProblems -contains $_.Problem }).Count -gt 0) {
        return 'Conflicting'
    }
    if ($unmet.Count -gt 0) {
        return 'Unmet'
    }
    if ($Compared -eq 0) {
        return 'NothingApplies'
    }
    return 'Applies'
}

$script:UnmatchedReasons = @{
    NotAnItemLine        = 'line {1} is no item line: "{0}"'
    OptionNotSelectable  = '{0}: the wanted option is not offered or is read only'
    SeveralWantedOptions = '{0}: the block in line {1} marks more than one option'
    ConflictingEntries   = '{0}: the block in line {1} wants another option than an earlier one'
}

# The entries of a baseline that cannot be met on this machine, named for a summary: an item
# whose wanted option the machine does not offer or does not let be selected, a line where
# an item line belongs, or an entry that contradicts another.
function Format-VelorinUnmatched([object[]] $Unmatched, [string] $Heading = 'baseline entries cannot be met') {
    $named = foreach ($entry in $Unmatched) {
        $script:UnmatchedReasons[$entry.Problem] -f $entry.Name, $entry.Line
    }
    return '{0} {1}: {2}' -f @($Unmatched).Count, $Heading, ($named -join '; ')
}

# A baseline that contradicts itself is refused on every machine, before any change.
function New-VelorinConflictOutcome([string] $What, [object[]] $Unmatched) {
    $conflicts = @($Unmatched | Where-Object { $script:ConflictProblems -contains $_.Problem })
    return New-VelorinFleetOutcome 'Failed' ('{0} failed: {1}' -f $What, (Format-VelorinUnmatched $conflicts 'baseline entries contradict each other'))
}

# A baseline of which no entry applies to this machine proves nothing: a failure, never a pass.
function New-VelorinNothingApplies([string] $What, [string[]] $NotOnModel) {
    return New-VelorinFleetOutcome 'Failed' ('{0} failed: no entry of the baseline applies to this machine ({1} not on this model)' -f
        $What, @($NotOnModel).Count)
}

# The baseline's text for what is decided before any tool runs: the pasted text, or the file's
# bytes as the tool reads them. Empty for a file the tool would refuse (missing, no regular
# file, over its bound): the run that follows reports that.
function Get-VelorinBaselineText([string] $Baseline, [string] $BaselinePath) {
    if (-not $BaselinePath) {
        return $Baseline
    }
    if (-not (Test-VelorinRegularFile -Path $BaselinePath)) {
        return ''
    }
    try {
        $stream = New-Object System.IO.FileStream ($BaselinePath, 'Open', 'Read', 'ReadWrite')
    }
    catch {
        return ''
    }
    try {
        if ($stream.Length -gt $script:InputFileLimit) {
            return ''
        }
        $bytes = New-Object byte[] $stream.Length
        $read = 0
        while ($read -lt $bytes.Length) {
            $count = $stream.Read($bytes, $read, $bytes.Length - $read)
            if ($count -le 0) {
                break
            }
            $read += $count
        }
        return $script:Latin1.GetString($bytes, 0, $read)
    }
    finally {
        $stream.Dispose()
    }
}

# The outcome of a check with -Force: a baseline that contradicts itself, or of which no entry
# applies, is Failed; an entry that cannot be met, or a setting that differs, makes the machine
# NonCompliant and is named.
function ConvertTo-VelorinCheckOutcome([object] $Compliance) {
    $checked = $Compliance.Matching + $Compliance.Differences.Count
    switch (Get-VelorinBaselineDecision $Compliance.Unmatched $checked) {
        'Conflicting' { return New-VelorinConflictOutcome 'Check' $Compliance.Unmatched }
        'NothingApplies' { return New-VelorinNothingApplies 'Check' $Compliance.NotOnModel }
    }
    if ($Compliance.Compliant) {
        return New-VelorinFleetOutcome 'Compliant' ('Compliant: {0} settings match the baseline' -f $Compliance.Matching)
    }
    $parts = @()
    if ($Compliance.Unmatched.Count -gt 0) {
        $parts += Format-VelorinUnmatched $Compliance.Unmatched
    }
    if ($Compliance.Differences.Count -gt 0) {
        $differences = foreach ($difference in $Compliance.Differences) {
            '{0}: {1} -> {2}' -f $difference.Name, $difference.Current, $difference.Wanted
        }
        $parts += '{0} of {1} settings differ: {2}' -f $Compliance.Differences.Count, $checked, ($differences -join '; ')
    }
    return New-VelorinFleetOutcome 'NonCompliant' ('NonCompliant: ' + ($parts -join '; '))
}

# Runs Script with the path of the baseline and ArgumentList: BaselinePath, or the pasted text
# written into a temporary file as the tool reads it (ISO-8859-1, CR LF, no byte-order mark).
function Use-VelorinBaselineFile([string] $Baseline, [string] $BaselinePath, [scriptblock] $Script, [object[]] $ArgumentList = @()) {
    if ($BaselinePath) {
        return & $Script $BaselinePath @ArgumentList
    }
    $file = [System.IO.Path]::GetTempFileName()
    try {
        $text = ($Baseline -replace "`r?`n", "`r`n")
        [System.IO.File]::WriteAllBytes($file, $script:Latin1.GetBytes($text))
        return & $Script $file @ArgumentList
    }
    finally {
        [System.IO.File]::Delete($file)
    }
}

# The first line of the file as the tool reads a password: each byte one character. Windows
# PowerShell 5.1 writes text files with a byte-order mark ('pw' > file is UTF-16), so a file that
# starts with one is decoded by it instead; handing the mark to the tool as bytes would make every
# run present a wrong password to the firmware.
function Read-VelorinPasswordFile([string] $Path) {
    $bytes = [System.IO.File]::ReadAllBytes($Path)
    $marks = @(
        @{ Bytes = [byte[]](0xEF, 0xBB, 0xBF); Encoding = [System.Text.Encoding]::UTF8 }
        @{ Bytes = [byte[]](0xFF, 0xFE); Encoding = [System.Text.Encoding]::Unicode }
        @{ Bytes = [byte[]](0xFE, 0xFF); Encoding = [System.Text.Encoding]::BigEndianUnicode }
    )
    $encoding = $script:Latin1
    $offset = 0
    foreach ($mark in $marks) {
        $length = $mark.Bytes.Length
        if ($bytes.Length -ge $length -and [System.BitConverter]::ToString($bytes, 0, $length) -eq [System.BitConverter]::ToString($mark.Bytes)) {
            $encoding = $mark.Encoding
            $offset = $length
            break
        }
    }
    $chars = $encoding.GetChars($bytes, $offset, $bytes.Length - $offset)
    $password = New-Object System.Security.SecureString
    foreach ($char in $chars) {
        if ($char -eq "`n" -or $char -eq "`r") {
            break
        }
        $password.AppendChar($char)
    }
    [System.Array]::Clear($bytes, 0, $bytes.Length)
    [System.Array]::Clear($chars, 0, $chars.Length)
    return $password
}

# A baseline per model for the fleet scripts: an ordered list of entries, each a Model pattern
# (wildcards over the SMBIOS product name, any letter case) and the Baseline text it serves.
# The first entry that matches this PC's model is used; a PC that none serves is not
# applicable.

# The SMBIOS product name that picks the baseline: Model when given; else the product name
# of the capture MachineFile names (a rehearsal); else this PC's
# (Win32_ComputerSystemProduct.Name). A name that cannot be read throws: a PC whose model is
# unknown is not one that no baseline serves, and must not pass as not applicable.
function Get-VelorinMachineModel([string] $Model, [string] $MachineFile) {
    if ($Model) {
        return $Model
    }
    if ($MachineFile) {
        $name = (Read-VelorinMachineFile -Path $MachineFile).Model
        if (-not $name) {
            throw "the model cannot be read: the machine file '$MachineFile' names no SMBIOS product"
        }
        return [string]$name
    }
    if (-not (Get-Command -Name Get-CimInstance -ErrorAction SilentlyContinue)) {
        throw 'the model of this PC cannot be read: Get-CimInstance is not available'
    }
    try {
        $product = Get-CimInstance -ClassName Win32_ComputerSystemProduct -ErrorAction Stop | Select-Object -First 1
    }
    catch {
        throw "the model of this PC cannot be read: $($_.Exception.Message)"
    }
    if (-not $product -or -not $product.Name) {
        throw 'the model of this PC cannot be read: Win32_ComputerSystemProduct gives no product name'
    }
    return [string]$product.Name
}

# The first entry of Baselines whose Model pattern matches Model, or $null.
function Select-VelorinModelBaseline([object[]] $Baselines, [string] $Model) {
    foreach ($entry in $Baselines) {
        if ($Model -like $entry.Model) {
            return $entry
        }
    }
    return $null
}

# Names the baseline an outcome was reached with; anything else Action returns passes as it is.
function Add-VelorinBaselineName([object] $Outcome, [string] $Name) {
    if ($Outcome -and $Outcome.PSObject.TypeNames -contains 'Velorin.FleetOutcome') {
        $Outcome | Add-Member -NotePropertyName Baseline -NotePropertyValue $Name -Force
    }
    return $Outcome
}

# The password store's status for a fleet command: StorePath given, else the default store.
function Get-VelorinFleetStoreStatus([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $StorePath) {
    if (-not $StorePath) {
        $StorePath = Get-VelorinDefaultStorePath
    }
    return Get-VelorinStoreStatus $Cmdlet.GetUnresolvedProviderPathFromPSPath($StorePath)
}

# The longest headline the detection prints ("NonCompliant: the last rotation (TIME) is older
# than N days") has fewer characters, with its line break.
$script:HeadlineRoom = 96

# Intune keeps the output of the detection scripts but not the remediation's, and of that
# output no more than 2,048 characters (some agents show only the last line). So the detection
# prints the headline first (a ConfigMgr rule reads its start), then the lines that say which
# password the firmware may hold, the most needed last: the confirmation of the current record,
# the current record, and the pending record of a cut-off rotation, which no output kept so far
# has shown. Lines that do not fit are left out from the front, never the last one.
function Add-VelorinRecordLine([string] $Summary, [object] $Status) {
    $kept = New-Object System.Collections.Generic.List[string]
    $length = $Summary.Length
    $lines = @(@($Status.Applied, $Status.Record, $Status.PendingRecord) | Where-Object { $_ })
    [array]::Reverse($lines)
    foreach ($line in $lines) {
        if ($length + 1 + $line.Length -le $script:SummaryLimit) {
            $kept.Insert(0, $line)
            $length += 1 + $line.Length
        }
    }
    return (@($Summary) + $kept.ToArray()) -join "`n"
}

# Why the device is due for a rotation, or nothing when it is not.
function Get-VelorinRotationDue([object] $Status, [int] $MaximumAgeDays) {
    if ($Status.PendingRemoval) {
        return 'a removal of the password is pending'
    }
    if ($Status.PendingRotation) {
        return "a rotation is pending (record $($Status.PendingSequence))"
    }
    if (-not $Status.HasPassword -or -not $Status.LastRotation) {
        return 'the password was never rotated'
    }
    $age = [datetime]::UtcNow - $Status.LastRotation
    if ($age.TotalDays -gt $MaximumAgeDays) {
        return ('the last rotation ({0:yyyy-MM-ddTHH:mm:ssZ}) is older than {1} days' -f $Status.LastRotation, $MaximumAgeDays)
    }
    return $null
}
