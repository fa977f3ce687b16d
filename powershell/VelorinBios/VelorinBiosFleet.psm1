# What the fleet scripts in deploy/ share: a baseline pasted into a script checked or set
# through the VelorinBios commands, the outcome as one state and one summary that Intune and
# ConfigMgr can show. Each engine takes one script file, so the scripts stay small and import
# this module from the folder of VelorinBios.

Set-StrictMode -Version 2.0
# The store's password is read by the module's own functions, in its scope.
$script:VelorinBios = Import-Module (Join-Path $PSScriptRoot 'VelorinBios.psd1') -PassThru -ErrorAction Stop
. (Join-Path $PSScriptRoot 'VelorinBiosModelBaseline.ps1')

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

# A machine the tool does not apply to gives NotApplicable; any other failure Failed.
function ConvertTo-VelorinFailureOutcome([System.Management.Automation.ErrorRecord] $Failure, [string] $What) {
    $exception = $Failure.Exception
    $reason = $null
    if ($exception.PSObject.Properties['Reason']) {
        $reason = $exception.Reason
    }
    if ($reason -eq 'NotVelorin') {
        return New-VelorinFleetOutcome 'NotApplicable' "Not applicable: this machine offers no Velorin BIOS interface ($($exception.Message))"
    }
    if ($reason -eq 'UnsupportedRevision') {
        return New-VelorinFleetOutcome 'NotApplicable' 'Not applicable: the Velorin BIOS interface is older than revision 6'
    }
    if ($reason) {
        return New-VelorinFleetOutcome 'Failed' ('{0} failed (exit code {1}): {2}' -f $What, $exception.ExitCode, $exception.Message)
    }
    return New-VelorinFleetOutcome 'Failed' ('{0} failed: {1}' -f $What, $exception.Message)
}

# The entries of a baseline that cannot be met on this machine, named for a summary: an item
# whose wanted option the machine does not offer or does not let be selected, or a line where
# an item line belongs.
function Format-VelorinUnmatched([object[]] $Unmatched) {
    $named = foreach ($entry in $Unmatched) {
        if ($entry.Problem -eq 'NotAnItemLine') {
            'line {0} is no item line: "{1}"' -f $entry.Line, $entry.Name
        }
        else {
            '{0}: the wanted option is not offered or is read only' -f $entry.Name
        }
    }
    return '{0} baseline entries cannot be met: {1}' -f @($Unmatched).Count, ($named -join '; ')
}

# A baseline of which no entry applies to this machine proves nothing: a failure, never a pass.
function New-VelorinNothingApplies([string] $What, [string[]] $NotOnModel) {
    return New-VelorinFleetOutcome 'Failed' ('{0} failed: no entry of the baseline applies to this machine ({1} not on this model)' -f
        $What, @($NotOnModel).Count)
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
        [System.IO.File]::WriteAllBytes($file, [System.Text.Encoding]::GetEncoding(28591).GetBytes($text))
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
    $encoding = [System.Text.Encoding]::GetEncoding(28591)
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

function Get-VelorinBaselineState {
    <#
    .SYNOPSIS
    Compares this machine with a baseline for a detection or discovery script.

    .DESCRIPTION
    Runs Test-VelorinBiosConfiguration -Force on the baseline and returns a
    Velorin.FleetOutcome: State Compliant, NonCompliant, NotApplicable (not a Velorin PC, or
    an interface older than revision 6) or Failed, and a Summary of at most 2,048 characters.
    Items this model lacks are left out; an entry that cannot be met (its item is here but
    not its wanted option, or it is read only, or the line is no item line) makes the machine
    NonCompliant and is named; a baseline of which no entry applies is Failed.

    .PARAMETER Baseline
    The baseline's text: blocks as Export-VelorinBiosConfiguration writes them.

    .PARAMETER BaselinePath
    A baseline file, used instead of Baseline.

    .PARAMETER ToolPath
    Handed to Test-VelorinBiosConfiguration.

    .PARAMETER MachineFile
    Handed to Test-VelorinBiosConfiguration.

    .EXAMPLE
    (Get-VelorinBaselineState -Baseline $Baseline).Summary
    #>
    [CmdletBinding()]
    param([string] $Baseline, [string] $BaselinePath, [string] $ToolPath, [string] $MachineFile)

    try {
        $compliance = Use-VelorinBaselineFile $Baseline $BaselinePath {
            param($path)
            Test-VelorinBiosConfiguration -Path $path -Force -ToolPath $ToolPath -MachineFile $MachineFile
        }
    }
    catch {
        return ConvertTo-VelorinFailureOutcome $_ 'Check'
    }
    $checked = $compliance.Matching + $compliance.Differences.Count
    if ($compliance.Unmatched.Count -eq 0 -and $checked -eq 0) {
        return New-VelorinNothingApplies 'Check' $compliance.NotOnModel
    }
    if ($compliance.Compliant) {
        return New-VelorinFleetOutcome 'Compliant' ('Compliant: {0} settings match the baseline' -f $compliance.Matching)
    }
    $parts = @()
    if ($compliance.Unmatched.Count -gt 0) {
        $parts += Format-VelorinUnmatched $compliance.Unmatched
    }
    if ($compliance.Differences.Count -gt 0) {
        $differences = foreach ($difference in $compliance.Differences) {
            '{0}: {1} -> {2}' -f $difference.Name, $difference.Current, $difference.Wanted
        }
        $parts += '{0} of {1} settings differ: {2}' -f $compliance.Differences.Count, $checked, ($differences -join '; ')
    }
    return New-VelorinFleetOutcome 'NonCompliant' ('NonCompliant: ' + ($parts -join '; '))
}

function Invoke-VelorinBaselineRemediation {
    <#
    .SYNOPSIS
    Sets a baseline on this machine for a remediation script.

    .DESCRIPTION
    Runs Set-VelorinBiosConfiguration -Force on the baseline with the supervisor password of
    this device: the current password of the store that Reset-VelorinBiosPassword keeps (a
    rotation that was cut off is completed or rolled back first, as the next rotation would),
    or, while the store holds none, the first line of PasswordFile. The store stays locked
    meanwhile. Returns a Velorin.FleetOutcome: State Remediated, NotApplicable or Failed, a
    Summary of at most 2,048 characters and RebootRequired. An entry that cannot be met makes
    it Failed, naming the entry (the rest is set and saved all the same); so does a baseline
    of which no entry applies.

    .PARAMETER Baseline
    The baseline's text: blocks as Export-VelorinBiosConfiguration writes them.

    .PARAMETER BaselinePath
    A baseline file, used instead of Baseline.

    .PARAMETER PasswordFile
    A file whose first line is the supervisor password, for a device whose store holds none.

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .PARAMETER ToolPath
    Handed to Set-VelorinBiosConfiguration.

    .PARAMETER MachineFile
    Handed to Set-VelorinBiosConfiguration.

    .EXAMPLE
    Invoke-VelorinBaselineRemediation -Baseline $Baseline -PasswordFile $PasswordFile
    #>
    [CmdletBinding()]
    param([string] $Baseline, [string] $BaselinePath, [string] $PasswordFile, [string] $StorePath, [string] $ToolPath, [string] $MachineFile)

    try {
        $stored = @{
            Tool        = @{ Cmdlet = $PSCmdlet; ToolPath = $ToolPath; MachineFile = $MachineFile }
            StorePath   = $StorePath
            Fallback    = { Read-VelorinPasswordFile $PasswordFile }
            UsePassword = {
                param($password)
                Use-VelorinBaselineFile $Baseline $BaselinePath {
                    param($path)
                    Set-VelorinBiosConfiguration -Path $path -Password $password -Force -Confirm:$false -ToolPath $ToolPath -MachineFile $MachineFile
                }
            }
        }
        $result = & $script:VelorinBios {
            param($stored, $cmdlet)
            if (-not $stored.StorePath) {
                $stored.StorePath = Get-VelorinDefaultStorePath
            }
            $stored.StorePath = $cmdlet.GetUnresolvedProviderPathFromPSPath($stored.StorePath)
            Use-VelorinStoredPassword @stored
        } $stored $PSCmdlet
    }
    catch {
        return ConvertTo-VelorinFailureOutcome $_ 'Remediation'
    }
    if ($result.Unmatched.Count -eq 0 -and $result.Changed.Count + $result.Unchanged + $result.Skipped.Count -eq 0) {
        return New-VelorinNothingApplies 'Remediation' $result.NotOnModel
    }
    $changes = foreach ($change in $result.Changed) {
        '{0} -> {1}' -f $change.Name, $change.Value
    }
    $summary = '{0} changed, {1} unchanged, {2} read only, {3} not on this model' -f
    $result.Changed.Count, $result.Unchanged, $result.Skipped.Count, $result.NotOnModel.Count
    if ($result.RebootRequired) {
        $summary += '; reboot to apply: ' + ($changes -join '; ')
    }
    # The rest of the baseline is set and saved all the same; the failure names what is not.
    if ($result.Unmatched.Count -gt 0) {
        return New-VelorinFleetOutcome 'Failed' ('Remediation failed: {0}; {1}' -f (Format-VelorinUnmatched $result.Unmatched), $summary) $result.RebootRequired
    }
    return New-VelorinFleetOutcome 'Remediated' ('Remediated: ' + $summary) $result.RebootRequired
}

Export-ModuleMember -Function 'Get-VelorinBaselineState', 'Invoke-VelorinBaselineRemediation'
