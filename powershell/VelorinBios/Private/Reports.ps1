# The tool's /check and /set reports as objects.

function Get-VelorinReportCount {
    param([string] $Output, [string] $Label)

    $match = [regex]::Match($Output, '(?m)^\t' + [regex]::Escape($Label) + ' : (\d+)\r?$')
    if ($match.Success) {
        return [int]$match.Groups[1].Value
    }
    return 0
}

# Lines of the form tab, name, " -> ", option below a heading line, up to the next line
# without a leading tab.
function Get-VelorinReportList {
    param([string] $Output, [string] $Heading)

    $entries = New-Object System.Collections.Generic.List[object]
    $inList = $false
    foreach ($line in ($Output -split "`r?`n")) {
        if ($line.StartsWith($Heading)) {
            $inList = $true
            continue
        }
        if (-not $inList) {
            continue
        }
        if (-not $line.StartsWith("`t")) {
            break
        }
        $entries.Add($line.Substring(1))
    }
    return , $entries
}

function New-VelorinSettingChange {
    param([string] $Name, [string] $Value)
    return [pscustomobject]@{ PSTypeName = 'Velorin.BiosSettingChange'; Name = $Name; Value = $Value }
}

# One pattern over the report finds the differing items: a loop over the lines of a report
# of 10,000 items costs a second. It splits at the first " : " and " -> "; a line that holds
# more of them is split by the baseline (Split-VelorinDifference).
$script:DifferencePattern = New-Object System.Text.RegularExpressions.Regex (
    '^\t((.*?) : (.*?) -> ([^\r\n]*?))\r?$', [System.Text.RegularExpressions.RegexOptions]'Multiline')

# Index: what the report is read by (New-VelorinBaselineIndex).
function ConvertFrom-VelorinCheckReport {
    param([int] $ExitCode, [string] $Output, [hashtable] $Index)

    $differences = New-Object System.Collections.Generic.List[object]
    $start = $Output.IndexOf("`nDiffering Item")
    if ($start -ge 0) {
        $end = $Output.IndexOf("`nTotal ", $start)
        if ($end -lt 0) {
            $end = $Output.Length
        }
        foreach ($match in $script:DifferencePattern.Matches($Output.Substring($start, $end - $start))) {
            $groups = $match.Groups
            # Only a line that holds more than one of either separator can be split otherwise.
            if ($groups[3].Value.Contains(' : ') -or $groups[4].Value.Contains(' : ') -or $groups[4].Value.Contains(' -> ')) {
                $differences.Add((Split-VelorinDifference -Entry $groups[1].Value -Index $Index))
                continue
            }
            # Built here rather than through New-VelorinDifference: a call per line costs a
            # quarter of a second at 10,000 items.
            $differences.Add([pscustomobject]@{
                    PSTypeName = 'Velorin.BiosDifference'; Name = $groups[2].Value; Current = $groups[3].Value; Wanted = $groups[4].Value
                })
        }
    }
    $matching = Get-VelorinReportCount -Output $Output -Label 'Items matching'
    $leftOut = Get-VelorinUnmatchedEntry -Output $Output -Baseline $Index.Text
    return [pscustomobject]@{
        PSTypeName  = 'Velorin.BiosCompliance'
        # A check that compared nothing, or left out an entry that cannot be met, proves nothing.
        Compliant   = ($ExitCode -eq 0 -and $matching -gt 0 -and $leftOut.Unmatched.Count -eq 0)
        Differences = $differences.ToArray()
        Matching    = $matching
        NotChecked  = Get-VelorinReportCount -Output $Output -Label 'Items not checked'
        ExitCode    = $ExitCode
        Unmatched   = $leftOut.Unmatched
        NotOnModel  = $leftOut.NotOnModel
    }
}

function ConvertFrom-VelorinSetReport {
    param([string] $Output, [hashtable] $Index)

    $changed = New-Object System.Collections.Generic.List[object]
    $skipped = New-Object System.Collections.Generic.List[object]
    $unchanged = 0
    $failed = 0
    $single = [regex]::Match($Output, '(?m)^Item : (.*?)\r?\n(.*?)\r?$')
    if ($single.Success) {
        # /set /i: one block naming the item and what became of it.
        $name = $single.Groups[1].Value
        $outcome = $single.Groups[2].Value
        $readOnly = ', this option is not selectable with this interface, Read Only Value'
        if ($outcome -eq 'No change') {
            $unchanged = 1
        }
        elseif ($outcome.StartsWith('Successfully set to ')) {
            $changed.Add((New-VelorinSettingChange $name $outcome.Substring(20)))
        }
        elseif ($outcome.StartsWith('Failed to set to ') -and $outcome.EndsWith($readOnly)) {
            $skipped.Add((New-VelorinSettingChange $name $outcome.Substring(17, $outcome.Length - 17 - $readOnly.Length)))
        }
        else {
            $failed = 1
        }
    }
    else {
        foreach ($heading in 'Changed Item', 'Skipped Item') {
            $list = $changed
            if ($heading -eq 'Skipped Item') {
                $list = $skipped
            }
            foreach ($entry in (Get-VelorinReportList -Output $Output -Heading $heading)) {
                $list.Add((Split-VelorinSettingChange -Entry $entry -Index $Index))
            }
        }
        $unchanged = Get-VelorinReportCount -Output $Output -Label 'Items not changed'
        $failed = Get-VelorinReportCount -Output $Output -Label 'Items failed to set'
    }
    $leftOut = Get-VelorinUnmatchedEntry -Output $Output -Baseline $Index.Text
    return [pscustomobject]@{
        PSTypeName     = 'Velorin.BiosSetResult'
        Changed        = $changed.ToArray()
        Skipped        = $skipped.ToArray()
        Unchanged      = $unchanged
        Failed         = $failed
        # The tool asks for a reboot after every save; it matters only when something changed.
        RebootRequired = ($changed.Count -gt 0 -and $Output.Contains('Please Reboot computer to apply changes'))
        Unmatched      = $leftOut.Unmatched
        NotOnModel     = $leftOut.NotOnModel
    }
}
