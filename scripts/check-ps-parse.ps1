<#
.SYNOPSIS
Parses every PowerShell file given and fails when one holds a syntax error.

.DESCRIPTION
Reads each file with PowerShell's own parser ([System.Management.Automation.Language.Parser]
ParseFile), prints every error with its file, line and column, and exits 1 when there was
one. scripts/check-format.sh runs it over every .ps1, .psm1 and .psd1 of the repository, so
that a script the tests never load (a sample, a helper) cannot break unseen.

.PARAMETER Path
The files to parse.

.EXAMPLE
pwsh -NoProfile -File scripts/check-ps-parse.ps1 deploy/intune/Detect-VelorinBiosBaseline.ps1
#>
param(
    [Parameter(Mandatory = $true, ValueFromRemainingArguments = $true)]
    [string[]] $Path
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

$failed = 0
foreach ($file in $Path) {
    $tokens = $null
    $errors = $null
    $full = (Resolve-Path -LiteralPath $file).ProviderPath
    [void][System.Management.Automation.Language.Parser]::ParseFile($full, [ref]$tokens, [ref]$errors)
    foreach ($parseError in @($errors)) {
        $at = $parseError.Extent.StartScriptPosition
        Write-Output ('{0}:{1}:{2}: {3}' -f $file, $at.LineNumber, $at.ColumnNumber, $parseError.Message)
    }
    if (@($errors).Count -gt 0) { $failed++ }
}
if ($failed -gt 0) {
    Write-Output "$failed of $($Path.Count) PowerShell files do not parse"
    exit 1
}
exit 0
