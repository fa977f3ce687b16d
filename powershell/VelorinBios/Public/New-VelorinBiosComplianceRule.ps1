function New-VelorinBiosComplianceRule {
    <#
    .SYNOPSIS
    Writes the rules file of an Intune custom compliance policy for a BIOS baseline.

    .DESCRIPTION
    Writes {"Rules":[...]} as Intune takes it, for Discover-VelorinBiosCompliance.ps1: one
    rule per entry of the baseline that wants an option (SettingName the setting's name as
    the baseline names it, Operator IsEquals, DataType String, Operand the wanted option), a
    rule that VelorinBaselineCompliant is true, and with MaximumPasswordAgeDays rules that
    VelorinPasswordRotated is true and VelorinPasswordAgeDays is at most that. Each rule has
    MoreInfoUrl and remediation strings in en_US whose Title shows the value found
    ({ActualValue}). Without a baseline the file holds the summary rules only, which suit
    every model. The file is refused, and not written, where Intune would refuse it: more
    than 100 rules, more than 100 KB, a rule without en_US strings, an operator that its data
    type does not take. The file is ASCII (other characters escaped) and replaces an existing
    one in one step.

    .PARAMETER Path
    The rules file to write.

    .PARAMETER BaselinePath
    A baseline file, as Export-VelorinBiosConfiguration writes it, with the wanted options
    marked "*".

    .PARAMETER Baseline
    The baseline's text instead of a file: the Baseline of an entry pasted into the scripts.

    .PARAMETER Model
    The model pattern the baseline serves, named in the texts the Company Portal shows.

    .PARAMETER MoreInfoUrl
    The page that tells users more (an absolute http or https address).

    .PARAMETER MaximumPasswordAgeDays
    Adds the password rules: rotated, at most this many days ago.

    .EXAMPLE
    New-VelorinBiosComplianceRule -Path .\rules-probook14.json -BaselinePath .\probook14.txt -Model 'Velorin ProBook 14*' -MoreInfoUrl https://it.example.com/bios

    .EXAMPLE
    New-VelorinBiosComplianceRule -Path .\rules.json -MoreInfoUrl https://it.example.com/bios -MaximumPasswordAgeDays 30

    The summary rules and the password rules, for every model.

    .OUTPUTS
    System.IO.FileInfo
    #>
    [CmdletBinding(SupportsShouldProcess = $true, DefaultParameterSetName = 'File')]
    [OutputType([System.IO.FileInfo])]
    [Alias('New-VelorinComplianceRule')]
    param(
        [Parameter(Mandatory = $true, Position = 0)]
        [string] $Path,

        [Parameter(ParameterSetName = 'File')]
        [string] $BaselinePath,

        [Parameter(Mandatory = $true, ParameterSetName = 'Text')]
        [string] $Baseline,

        [string] $Model,

        [Parameter(Mandatory = $true)]
        [ValidatePattern('^https?://')]
        [string] $MoreInfoUrl,

        [ValidateRange(0, 36500)]
        [int] $MaximumPasswordAgeDays
    )

    try {
        $text = $Baseline
        if ($BaselinePath) {
            $text = Read-VelorinBaselineText $PSCmdlet $BaselinePath
        }
        $maximum = $null
        if ($PSBoundParameters.ContainsKey('MaximumPasswordAgeDays')) {
            $maximum = $MaximumPasswordAgeDays
        }
        $rules = New-VelorinComplianceRuleList -Text $text -Model $Model -MoreInfoUrl $MoreInfoUrl -MaximumPasswordAgeDays $maximum
        $json = ConvertTo-VelorinComplianceRuleText $rules
        $problem = Get-VelorinComplianceRuleProblem $rules $json.Length
    }
    catch {
        $PSCmdlet.ThrowTerminatingError($_)
    }
    if ($problem) {
        $PSCmdlet.ThrowTerminatingError((New-VelorinEscrowError $problem 'VelorinComplianceRuleRefused' 'LimitsExceeded' $Path))
    }
    $target = Resolve-VelorinFilePath -Path $Path -Cmdlet $PSCmdlet
    if ($PSCmdlet.ShouldProcess($target, "Write $($rules.Count) compliance rules")) {
        Write-VelorinTextFile -Path $target -Text $json
        Get-Item -LiteralPath $target
    }
}
