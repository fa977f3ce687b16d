# Intune custom compliance: what the discovery script reports of this PC (one key per setting
# of its baseline, named as the baseline names it, and the summary keys) and the rules file
# that Intune evaluates on it. Both take the names from the same baseline text, so a rule and
# the key it reads are the same bytes.

# What Intune takes in a rules file.
$script:ComplianceRuleLimit = 100
$script:ComplianceFileLimit = 100KB
$script:ComplianceLanguages = @('cs_CZ', 'da_DK', 'de_DE', 'el_GR', 'en_US', 'es_ES', 'fi_FI', 'fr_FR', 'hu_HU', 'it_IT',
    'ja_JP', 'ko_KR', 'nb_NO', 'nl_NL', 'pl_PL', 'pt_BR', 'ro_RO', 'ru_RU', 'sv_SE', 'tr_TR', 'zh_CN', 'zh_TW')
# The operators each data type takes: only the ordered types can be greater or less.
$script:EqualityOperators = @('IsEquals', 'NotEquals')
$script:OrderOperators = @('IsEquals', 'NotEquals', 'GreaterThan', 'GreaterEquals', 'LessThan', 'LessEquals')
$script:ComplianceOperators = @{
    Boolean  = $script:EqualityOperators
    String   = $script:EqualityOperators
    Int64    = $script:OrderOperators
    Double   = $script:OrderOperators
    DateTime = $script:OrderOperators
    Version  = $script:OrderOperators
}

$script:ToolVersionPattern = New-Object System.Text.RegularExpressions.Regex (
    '^Tool version : *(\d+)\. *(\d+)\. *(\d+)\. *(\d+)', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:UnknownToolVersion = '0.0.0.0'

# The entries of a baseline that want an option, in the file's order: Name as the tool reads
# it (up to the first "("), Option the first starred line. A name given twice counts once.
function Get-VelorinWantedEntry([string] $Text) {
    $seen = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::Ordinal)
    foreach ($match in $script:WantedOptionPattern.Matches($Text)) {
        $wanted = $match.Groups[2].Captures
        if ($wanted.Count -gt 0 -and $seen.Add($match.Groups[1].Value)) {
            [pscustomobject]@{ Name = $match.Groups[1].Value; Option = $wanted[0].Value }
        }
    }
}

# A baseline file's text, read through the tool's bounded copy: a regular file of at most
# 16 MiB, else the tool's own error.
function Read-VelorinBaselineText([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Path) {
    $folder = New-VelorinWorkFolder
    try {
        $name = Copy-VelorinInputFile -Cmdlet $Cmdlet -Path $Path -Folder $folder
        return $script:Latin1.GetString([System.IO.File]::ReadAllBytes((Join-Path $folder $name)))
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# "a.b.c.d" from the tool's banner, or 0.0.0.0 when it printed none.
function Get-VelorinBannerVersion([string] $Output) {
    $match = $script:ToolVersionPattern.Match([string]$Output)
    if (-not $match.Success) {
        return $script:UnknownToolVersion
    }
    return '{0}.{1}.{2}.{3}' -f $match.Groups[1].Value, $match.Groups[2].Value, $match.Groups[3].Value, $match.Groups[4].Value
}

# The discovery of a PC that nothing was checked on yet: not compliant, no password rotated.
function New-VelorinDiscovery {
    $discovery = [ordered]@{}
    $discovery.VelorinBaselineCompliant = $false
    $discovery.VelorinSettingsDiffering = [long]-1
    $discovery.VelorinBaselineName = ''
    $discovery.VelorinPasswordRotated = $false
    $discovery.VelorinPasswordAgeDays = [long]-1
    $discovery.VelorinToolVersion = $script:UnknownToolVersion
    return $discovery
}

# The password keys, from the store only: the firmware is never asked, since a wrong password
# presented to it may count toward its lockout.
function Add-VelorinPasswordDiscovery([System.Collections.Specialized.OrderedDictionary] $Discovery, [object] $Status) {
    $rotated = [bool]($Status.HasPassword -and $Status.LastRotation)
    $Discovery.VelorinPasswordRotated = $rotated
    if ($rotated) {
        $age = [datetime]::UtcNow - $Status.LastRotation
        $Discovery.VelorinPasswordAgeDays = [long][math]::Max(0, [math]::Floor($age.TotalDays))
    }
}

# The keys of the settings the baseline wants that this model has, each the current option's
# text.
function Add-VelorinSettingDiscovery([System.Collections.Specialized.OrderedDictionary] $Discovery, [string] $Text, [object[]] $Blocks) {
    $current = New-Object 'System.Collections.Generic.Dictionary[string,string]' ([System.StringComparer]::Ordinal)
    foreach ($block in $Blocks) {
        if (-not $current.ContainsKey($block.Name)) {
            $current[$block.Name] = [string]$block.CurrentValue
        }
    }
    foreach ($entry in (Get-VelorinWantedEntry $Text)) {
        if ($current.ContainsKey($entry.Name) -and -not $Discovery.Contains($entry.Name)) {
            $Discovery[$entry.Name] = $current[$entry.Name]
        }
    }
}

# The outcome of a discovery: the fleet outcome for the event log, with the keys to print.
function New-VelorinDiscoveryOutcome([object] $Outcome, [System.Collections.Specialized.OrderedDictionary] $Discovery) {
    $Discovery.VelorinBaselineCompliant = $Outcome.State -eq 'Compliant' -or $Outcome.State -eq 'NotApplicable'
    if ($Outcome.State -ne 'Compliant' -and $Outcome.State -ne 'NonCompliant') {
        $Discovery.VelorinBaselineName = $Outcome.Summary
    }
    if ($Outcome.State -eq 'NotApplicable') {
        $Discovery.VelorinSettingsDiffering = [long]0
    }
    $Outcome | Add-Member -NotePropertyName ToolVersion -NotePropertyValue $Discovery.VelorinToolVersion -Force
    $Outcome | Add-Member -NotePropertyName Discovery -NotePropertyValue $Discovery -Force
    return $Outcome
}

# Checks the baseline against this PC: the export names the current options (and the tool's
# version), the check decides compliance as the detection scripts do. A failed run of the tool
# ends this command, so that its caller can tell a PC the tool does not apply to.
function Invoke-VelorinBaselineDiscovery {
    [CmdletBinding()]
    param([System.Collections.Specialized.OrderedDictionary] $Discovery, [string] $Baseline, [string] $BaselinePath,
        [string] $ToolPath, [string] $MachineFile)

    # Its own command: a failed run ends this discovery, which its caller catches.
    $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    $export = Invoke-VelorinExport -Context $context
    $Discovery.VelorinToolVersion = Get-VelorinBannerVersion $export.Output
    $found = Use-VelorinBaselineFile $Baseline $BaselinePath {
        param($path, $context)
        @{
            Compliance = Invoke-VelorinCheck -Context $context -Path $path -Force
            Text       = Read-VelorinBaselineText $context.Cmdlet $path
        }
    } @($context)
    $outcome = ConvertTo-VelorinCheckOutcome $found.Compliance
    if ($outcome.State -ne 'Failed') {
        $Discovery.VelorinSettingsDiffering = [long]($found.Compliance.Differences.Count + $found.Compliance.Unmatched.Count)
        Add-VelorinSettingDiscovery $Discovery $found.Text $export.Blocks
    }
    return $outcome
}

# One rule of the rules file, its texts for the Company Portal in en_US.
function New-VelorinComplianceRuleEntry {
    param([string] $SettingName, [string] $Operator, [string] $DataType, [object] $Operand, [string] $MoreInfoUrl,
        [string] $Title, [string] $Description)

    return [ordered]@{
        SettingName        = $SettingName
        Operator           = $Operator
        DataType           = $DataType
        Operand            = $Operand
        MoreInfoUrl        = $MoreInfoUrl
        RemediationStrings = @([ordered]@{ Language = 'en_US'; Title = $Title; Description = $Description })
    }
}

# The rules for a baseline's settings and the summary keys; the password rules only with a
# maximum age.
function New-VelorinComplianceRuleList {
    param([string] $Text, [string] $Model, [string] $MoreInfoUrl, [object] $MaximumPasswordAgeDays)

    $rules = New-Object System.Collections.Generic.List[object]
    $where = 'this PC'
    if ($Model) {
        $where = "this PC ($Model)"
    }
    $fix = 'Your IT department sets it again with the next remediation; restart the PC when asked.'
    foreach ($entry in (Get-VelorinWantedEntry $Text)) {
        $rules.Add((New-VelorinComplianceRuleEntry $entry.Name 'IsEquals' 'String' $entry.Option $MoreInfoUrl `
                    ("The BIOS setting '{0}' must be '{1}'; it is '{{ActualValue}}'." -f $entry.Name, $entry.Option) `
                    "The BIOS setup of $where was changed. $fix"))
    }
    $rules.Add((New-VelorinComplianceRuleEntry 'VelorinBaselineCompliant' 'IsEquals' 'Boolean' $true $MoreInfoUrl `
                'The BIOS settings of this PC differ from the company baseline.' "The BIOS setup of $where was changed. $fix"))
    if ($null -ne $MaximumPasswordAgeDays) {
        $rotation = 'Your IT department rotates the BIOS supervisor password with the next remediation.'
        $rules.Add((New-VelorinComplianceRuleEntry 'VelorinPasswordRotated' 'IsEquals' 'Boolean' $true $MoreInfoUrl `
                    'The BIOS supervisor password of this PC was never rotated.' $rotation))
        $rules.Add((New-VelorinComplianceRuleEntry 'VelorinPasswordAgeDays' 'LessEquals' 'Int64' ([long]$MaximumPasswordAgeDays) $MoreInfoUrl `
                    ("The BIOS supervisor password was rotated {{ActualValue}} days ago; at most {0} days are allowed." -f $MaximumPasswordAgeDays) $rotation))
    }
    return , $rules.ToArray()
}

# Why Intune would refuse these rules, or nothing.
function Get-VelorinComplianceRuleProblem([object[]] $Rules, [int] $Bytes) {
    if ($Rules.Count -gt $script:ComplianceRuleLimit) {
        return 'Intune takes at most {0} rules; these are {1}.' -f $script:ComplianceRuleLimit, $Rules.Count
    }
    if ($Bytes -gt $script:ComplianceFileLimit) {
        return 'Intune takes a rules file of at most 100 KB; this one has {0} bytes.' -f $Bytes
    }
    foreach ($rule in $Rules) {
        $operators = $script:ComplianceOperators[[string]$rule.DataType]
        if (-not $operators) {
            return "The rule for '$($rule.SettingName)' has the data type '$($rule.DataType)', which Intune does not know."
        }
        if ($operators -notcontains $rule.Operator) {
            return "The rule for '$($rule.SettingName)' compares a $($rule.DataType) with '$($rule.Operator)', which that type does not take."
        }
        $languages = @($rule.RemediationStrings | ForEach-Object { $_.Language })
        if ($languages -notcontains 'en_US') {
            return "The rule for '$($rule.SettingName)' has no remediation strings in en_US."
        }
        $unknown = @($languages | Where-Object { $script:ComplianceLanguages -notcontains $_ })
        if ($unknown.Count -gt 0) {
            return "The rule for '$($rule.SettingName)' has remediation strings in '$($unknown[0])', which Intune does not show."
        }
    }
    return $null
}

# The rules file's text: ASCII, other characters escaped, so that no reader's code page
# changes a name.
function ConvertTo-VelorinComplianceRuleText([object[]] $Rules) {
    $json = ConvertTo-Json -InputObject ([ordered]@{ Rules = $Rules }) -Depth 5
    return [regex]::Replace($json, '[^\x00-\x7F]', { param($match) '\u{0:x4}' -f [int][char]$match.Value })
}
