# What the fleet commands share: the outcome of a check or remediation as one state and one
# summary that Intune and ConfigMgr can show, the baseline as the tool reads it, and the shared
# password file.

# Intune keeps no more of a script's output.
$script:SummaryLimit = 2048

function Limit-VelorinSummary([string] $Text) {
    if ($Text.Length -gt $script:SummaryLimit) {
        $Text = $Text.Substring(0, $script:SummaryLimit - 3) + '...'
    }
    return $Text
}

function New-VelorinFleetOutcome([string] $State, [string] $Summary, [bool] $RebootRequired = $false) {
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

# Runs Script with the path of the baseline: BaselinePath, or the pasted text written into a
# temporary file as the tool reads it (ISO-8859-1, CR LF, no byte-order mark).
function Use-VelorinBaselineFile([string] $Baseline, [string] $BaselinePath, [scriptblock] $Script) {
    if ($BaselinePath) {
        return & $Script $BaselinePath
    }
    $file = [System.IO.Path]::GetTempFileName()
    try {
        $text = ($Baseline -replace "`r?`n", "`r`n")
        [System.IO.File]::WriteAllBytes($file, $script:Latin1.GetBytes($text))
        return & $Script $file
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
