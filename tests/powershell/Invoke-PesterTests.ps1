# Runs every *.Tests.ps1 beside this file (or the test files of Path) with the Pester module
# given, against the tool given, and ends with one "Pester: N passed, N failed, N skipped"
# line; the exit code is 0 only when nothing failed, setup blocks included.
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

$failed = $result.FailedCount + $result.FailedBlocksCount + $result.FailedContainersCount
'Pester: {0} passed, {1} failed, {2} skipped' -f $result.PassedCount, $failed, $result.SkippedCount
if ($failed -gt 0 -or $result.Result -ne 'Passed') {
    exit 1
}
exit 0
