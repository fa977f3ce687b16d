# What the tool's reports do not say on their own, read from the baseline itself (the file as
# the tool read it, or the typed -Name and -Value): where a report line's name ends and its
# option begins, and which entries of a baseline the tool left out because they matched
# nothing.

# A block whose lines up to its end (an empty line, the next "+++" line, the end of the file)
# hold no "*": an entry that wants no option, such as the asset tag of an unedited export.
$script:UnstarredBlockPattern = New-Object System.Text.RegularExpressions.Regex (
    '^\+\+\+([^\r\n(]*)[^\r\n]*(?:\r?\n(?![*\r\n]|\+\+\+)[^\r\n]*)*(?=\r?\n(?:\r?$|\+\+\+)|\r?\z)',
    [System.Text.RegularExpressions.RegexOptions]'Multiline')
# A block and each of its starred lines: the options it wants. An item name ends before its
# first "(".
$script:WantedOptionPattern = New-Object System.Text.RegularExpressions.Regex (
    '^\+\+\+([^\r\n(]*)[^\r\n]*(?:\r?\n(?:\*([^\r\n]*)|(?!\r?$)(?!\+\+\+)[^\r\n]*))*',
    [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:FormatErrorPattern = New-Object System.Text.RegularExpressions.Regex (
    '^wrong input format in line (\d+)-> ([^\r\n]*)\r?$', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:WrongInputPattern = New-Object System.Text.RegularExpressions.Regex (
    '^Wrong Input\r?\n((?:[^\r\n]+\r?\n)*)', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:WrongDescriptionPattern = New-Object System.Text.RegularExpressions.Regex (
    '^([^\r\n]*) -> wrong description\r?$', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:WrongOptionPattern = New-Object System.Text.RegularExpressions.Regex (
    '^([^\r\n]*) -> wrong option, no options match input\r?$', [System.Text.RegularExpressions.RegexOptions]'Multiline')

# What a report is read by: the baseline's text, or the typed -Name and -Value. The pairs of
# name and wanted option are gathered only when a report line can be split in more than one
# way: a loop over the blocks of 10,000 items costs more than the rest of the command.
function New-VelorinBaselineIndex {
    param([string] $Text, [string] $Name, [string] $Value, [switch] $Typed)
    return @{ Text = $Text; Name = $Name; Value = $Value; Typed = [bool]$Typed; Pairs = $null }
}

function Test-VelorinBaselineSplit([hashtable] $Index, [string] $Name, [string] $Option) {
    if ($null -eq $Index.Pairs) {
        if ($Index.Typed) {
            $Index.Pairs = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::OrdinalIgnoreCase)
            [void]$Index.Pairs.Add($Index.Name + "`0" + $Index.Value)
        }
        else {
            $Index.Pairs = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::Ordinal)
            foreach ($match in $script:WantedOptionPattern.Matches([string]$Index.Text)) {
                foreach ($wanted in $match.Groups[2].Captures) {
                    [void]$Index.Pairs.Add($match.Groups[1].Value + "`0" + $wanted.Value)
                }
            }
        }
    }
    return $Index.Pairs.Contains($Name + "`0" + $Option)
}

# The positions of Separator in Text from From on.
function Get-VelorinSeparatorPosition {
    param([string] $Text, [string] $Separator, [int] $From)

    $positions = New-Object System.Collections.Generic.List[int]
    $at = $Text.IndexOf($Separator, $From, [System.StringComparison]::Ordinal)
    while ($at -ge 0) {
        $positions.Add($at)
        $at = $Text.IndexOf($Separator, $at + 1, [System.StringComparison]::Ordinal)
    }
    return , $positions
}

# "Name : Current -> Wanted", where each text may hold " : " or " -> " itself: split where the
# baseline wants that option for that name, else at the first of each.
function Split-VelorinDifference {
    param([string] $Entry, [hashtable] $Index)

    foreach ($nameEnd in (Get-VelorinSeparatorPosition -Text $Entry -Separator ' : ' -From 0)) {
        foreach ($wantedStart in (Get-VelorinSeparatorPosition -Text $Entry -Separator ' -> ' -From ($nameEnd + 3))) {
            if ($Index -and (Test-VelorinBaselineSplit $Index $Entry.Substring(0, $nameEnd) $Entry.Substring($wantedStart + 4))) {
                return New-VelorinDifference $Entry $nameEnd $wantedStart
            }
        }
    }
    $first = $Entry.IndexOf(' : ', [System.StringComparison]::Ordinal)
    return New-VelorinDifference $Entry $first $Entry.IndexOf(' -> ', $first + 3, [System.StringComparison]::Ordinal)
}

function New-VelorinDifference([string] $Entry, [int] $NameEnd, [int] $WantedStart) {
    return [pscustomobject]@{
        PSTypeName = 'Velorin.BiosDifference'
        Name       = $Entry.Substring(0, $NameEnd)
        Current    = $Entry.Substring($NameEnd + 3, $WantedStart - $NameEnd - 3)
        Wanted     = $Entry.Substring($WantedStart + 4)
    }
}

# "Name -> Option" of the set report: split where the baseline wants that option for that
# name, else at the last " -> ".
function Split-VelorinSettingChange {
    param([string] $Entry, [hashtable] $Index)

    $arrows = Get-VelorinSeparatorPosition -Text $Entry -Separator ' -> ' -From 0
    $at = $arrows[$arrows.Count - 1]
    if ($Index -and $arrows.Count -gt 1) {
        foreach ($arrow in $arrows) {
            if (Test-VelorinBaselineSplit $Index $Entry.Substring(0, $arrow) $Entry.Substring($arrow + 4)) {
                $at = $arrow
                break
            }
        }
    }
    return New-VelorinSettingChange $Entry.Substring(0, $at) $Entry.Substring($at + 4)
}

# How many blocks of each name want no option at all.
function Get-VelorinUnstarredCount {
    param([string] $Baseline)

    $counts = New-Object 'System.Collections.Generic.Dictionary[string,int]'
    if (-not $Baseline) {
        return , $counts
    }
    foreach ($match in $script:UnstarredBlockPattern.Matches($Baseline)) {
        $name = $match.Groups[1].Value
        $seen = 0
        [void]$counts.TryGetValue($name, [ref]$seen)
        $counts[$name] = $seen + 1
    }
    return , $counts
}

function New-VelorinUnmatchedEntry([string] $Name, [string] $Problem, [object] $Line) {
    return [pscustomobject]@{
        PSTypeName = 'Velorin.BiosUnmatchedEntry'
        Name       = $Name
        Problem    = $Problem
        Line       = $Line
    }
}

# What makes a baseline contradict itself: a block that marks more than one option (the tool
# takes the last one that names an option), and an item named again with another wanted option
# (the tool sets both in turn and saves the last, so that a check never passes).
$script:ConflictProblems = 'SeveralWantedOptions', 'ConflictingEntries'
$script:SeveralStarsPattern = New-Object System.Text.RegularExpressions.Regex (
    '^\*[^\r\n]*\r?\n(?:(?!\r?$)(?!\+\+\+)[^*\r\n][^\r\n]*\r?\n)*\*', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:ItemNamePattern = New-Object System.Text.RegularExpressions.Regex (
    '^\+\+\+([^\r\n(]*)', [System.Text.RegularExpressions.RegexOptions]'Multiline')

# True when some item line names an item that an earlier one named: only then are the
# wanted options of every block gathered.
function Test-VelorinRepeatedItem([string] $Text) {
    $names = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::Ordinal)
    foreach ($match in $script:ItemNamePattern.Matches($Text)) {
        if (-not $names.Add($match.Groups[1].Value)) {
            return $true
        }
    }
    return $false
}

function Get-VelorinLineNumber([string] $Text, [int] $Index) {
    $line = 1
    $at = $Text.IndexOf("`n", 0, $Index, [System.StringComparison]::Ordinal)
    while ($at -ge 0) {
        $line++
        $at = $Text.IndexOf("`n", $at + 1, $Index - $at - 1, [System.StringComparison]::Ordinal)
    }
    return $line
}

# The entries of a baseline's text that contradict it, each a Velorin.BiosUnmatchedEntry with
# the item's name, the Problem (SeveralWantedOptions or ConflictingEntries) and the line of
# its item line. The module and the fleet refuse such a baseline before any change.
function Find-VelorinBaselineConflict {
    param([string] $Text)

    $conflicts = New-Object System.Collections.Generic.List[object]
    if (-not $Text -or -not ($script:SeveralStarsPattern.IsMatch($Text) -or (Test-VelorinRepeatedItem $Text))) {
        return , $conflicts.ToArray()
    }
    $wantedBy = New-Object 'System.Collections.Generic.Dictionary[string,string]' ([System.StringComparer]::Ordinal)
    foreach ($match in $script:WantedOptionPattern.Matches($Text)) {
        $name = $match.Groups[1].Value
        $stars = $match.Groups[2].Captures
        $problem = $null
        $earlier = $null
        if ($stars.Count -gt 1) {
            $problem = 'SeveralWantedOptions'
        }
        elseif ($stars.Count -eq 1 -and $wantedBy.TryGetValue($name, [ref]$earlier)) {
            if ($earlier -cne $stars[0].Value) {
                $problem = 'ConflictingEntries'
            }
        }
        elseif ($stars.Count -eq 1) {
            $wantedBy[$name] = $stars[0].Value
        }
        if ($problem) {
            $conflicts.Add((New-VelorinUnmatchedEntry $name $problem (Get-VelorinLineNumber $Text $match.Index)))
        }
    }
    return , $conflicts.ToArray()
}

# The entries that the tool reported and left out (under /f): Unmatched, each a
# Velorin.BiosUnmatchedEntry, are entries that cannot be met: an item of this machine whose
# wanted option it does not offer or that cannot be selected (the tool drops read-only options
# it cannot select), or a line where an item line belongs; and the entries by which the
# baseline contradicts itself (Find-VelorinBaselineConflict). NotOnModel names the items this
# machine lacks. A block that wants no option at all (no "*") is neither.
function Get-VelorinUnmatchedEntry {
    param([string] $Output, [string] $Baseline)

    $unmatched = New-Object System.Collections.Generic.List[object]
    $notOnModel = New-Object System.Collections.Generic.List[string]
    $wrongInput = $script:WrongInputPattern.Match($Output)
    if ($wrongInput.Success) {
        foreach ($match in $script:WrongDescriptionPattern.Matches($wrongInput.Groups[1].Value)) {
            $notOnModel.Add($match.Groups[1].Value)
        }
        $wrongOptions = $script:WrongOptionPattern.Matches($wrongInput.Groups[1].Value)
        if ($wrongOptions.Count -gt 0) {
            $unstarred = Get-VelorinUnstarredCount -Baseline $Baseline
            foreach ($match in $wrongOptions) {
                $name = $match.Groups[1].Value
                $left = 0
                if ($unstarred.TryGetValue($name, [ref]$left) -and $left -gt 0) {
                    $unstarred[$name] = $left - 1
                    continue
                }
                $unmatched.Add((New-VelorinUnmatchedEntry $name 'OptionNotSelectable' $null))
            }
        }
    }
    foreach ($match in $script:FormatErrorPattern.Matches($Output)) {
        $text = $match.Groups[2].Value
        $unmatched.Add((New-VelorinUnmatchedEntry $text 'NotAnItemLine' ([int]$match.Groups[1].Value)))
        # Under /f the tool goes on to read such a line as an item line, which names no item.
        if ($text.Length -ge 3) {
            [void]$notOnModel.Remove($text.Substring(3).Split('(')[0])
        }
    }
    $unmatched.AddRange((Find-VelorinBaselineConflict -Text $Baseline))
    return [pscustomobject]@{ Unmatched = $unmatched.ToArray(); NotOnModel = $notOnModel.ToArray() }
}
