# What the fleet scripts in deploy/ share: a baseline pasted into a script checked or set
# through the VelorinBios commands, the outcome as one state and one summary that Intune and
# ConfigMgr can show. Each engine takes one script file, so the scripts stay small and import
# this module from the folder of VelorinBios.

Set-StrictMode -Version 2.0
Import-Module (Join-Path $PSScriptRoot 'VelorinBios.psd1') -ErrorAction Stop
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
    if ($compliance.Compliant) {
        return New-VelorinFleetOutcome 'Compliant' ('Compliant: {0} settings match the baseline' -f $compliance.Matching)
    }
    $differences = foreach ($difference in $compliance.Differences) {
        '{0}: {1} -> {2}' -f $difference.Name, $difference.Current, $difference.Wanted
    }
    return New-VelorinFleetOutcome 'NonCompliant' ('NonCompliant: {0} of {1} settings differ: {2}' -f
        $compliance.Differences.Count, ($compliance.Matching + $compliance.Differences.Count), ($differences -join '; '))
}

function Invoke-VelorinBaselineRemediation {
    <#
    .SYNOPSIS
    Sets a baseline on this machine for a remediation script.

    .DESCRIPTION
    Reads the supervisor password from the first line of PasswordFile and runs
    Set-VelorinBiosConfiguration -Force on the baseline. Returns a Velorin.FleetOutcome:
    State Remediated, NotApplicable or Failed, a Summary of at most 2,048 characters and
    RebootRequired.

    .PARAMETER Baseline
    The baseline's text: blocks as Export-VelorinBiosConfiguration writes them.

    .PARAMETER BaselinePath
    A baseline file, used instead of Baseline.

    .PARAMETER PasswordFile
    A file whose first line is the supervisor password.

    .PARAMETER ToolPath
    Handed to Set-VelorinBiosConfiguration.

    .PARAMETER MachineFile
    Handed to Set-VelorinBiosConfiguration.

    .EXAMPLE
    Invoke-VelorinBaselineRemediation -Baseline $Baseline -PasswordFile $PasswordFile
    #>
    [CmdletBinding()]
    param([string] $Baseline, [string] $BaselinePath, [string] $PasswordFile, [string] $ToolPath, [string] $MachineFile)

    try {
        $password = Read-VelorinPasswordFile $PasswordFile
        $result = Use-VelorinBaselineFile $Baseline $BaselinePath {
            param($path)
            Set-VelorinBiosConfiguration -Path $path -Password $password -Force -Confirm:$false -ToolPath $ToolPath -MachineFile $MachineFile
        }
    }
    catch {
        return ConvertTo-VelorinFailureOutcome $_ 'Remediation'
    }
    $changes = foreach ($change in $result.Changed) {
        '{0} -> {1}' -f $change.Name, $change.Value
    }
    $summary = 'Remediated: {0} changed, {1} unchanged, {2} read only, {3} not on this model' -f
    $result.Changed.Count, $result.Unchanged, $result.Skipped.Count, $result.Failed
    if ($result.RebootRequired) {
        $summary += '; reboot to apply: ' + ($changes -join '; ')
    }
    return New-VelorinFleetOutcome 'Remediated' $summary $result.RebootRequired
}

Export-ModuleMember -Function 'Get-VelorinBaselineState', 'Invoke-VelorinBaselineRemediation'
