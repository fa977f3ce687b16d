# Runs every *.Tests.ps1 beside this file (or the test files of Path) with the Pester module
# given, against the tool given, counts the skipped tests by reason, and ends with one
# "Pester: N passed, N failed, N skipped" line; the exit code is 0 only when nothing failed,
# setup blocks included.
param(
    [Parameter(Mandatory = $true)] [string] $Tool,
    [Parameter(Mandatory = $true)] [string] $Pester,
    [string[]] $Path = @($PSScriptRoot)
)

$ErrorActionPreference = 'Stop'
# Logs without colour escapes.
$PSStyle.OutputRendering = 'PlainText'
Import-Module $Pester -Force
$env:VELORIN_TEST_TOOL = $Tool

$configuration = New-PesterConfiguration
$configuration.Run.Path = $Path
$configuration.Run.PassThru = $true
$configuration.Output.Verbosity = 'Normal'
$result = Invoke-Pester -Configuration $configuration

# Why tests were skipped: a count per reason, so a log shows what a system did not prove.
$result.Skipped | ForEach-Object {
    $record = @($_.ErrorRecord) | Select-Object -First 1
    if ($record) { $record.Exception.Message -replace '^is skipped, because ', '' } else { 'by its -Skip condition' }
} | Group-Object | Sort-Object Name | ForEach-Object { 'Skipped {0}: {1}' -f $_.Count, $_.Name }

$failed = $result.FailedCount + $result.FailedBlocksCount + $result.FailedContainersCount
'Pester: {0} passed, {1} failed, {2} skipped' -f $result.PassedCount, $failed, $result.SkippedCount
if ($failed -gt 0 -or $result.Result -ne 'Passed') {
    exit 1
}
exit 0
