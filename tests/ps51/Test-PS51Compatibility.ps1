# Checks PowerShell files for what Windows PowerShell 5.1 on .NET Framework 4.8 cannot parse
# or run: syntax, commands and their named parameters, .NET types and members, and the file's
# encoding. Prints one line per finding ("file:line: kind: message" and the line itself) and
# exits 1 on any finding or any allow-list entry that no longer matches a finding.
#
# With -SelfTestPath FOLDER it first checks the seeded faults in FOLDER against its
# allow-list.txt: the report must be FOLDER/expected.txt, line for line, or nothing else runs.
#
# The allow-list names the lines that run only where they are guarded (PowerShell 7, or not
# Windows), one a line, tab-separated: file, kind, the line's text (trimmed), the guard, the
# reason.
[CmdletBinding(PositionalBinding = $false)]
param(
    # File names are shown relative to this folder.
    [Parameter(Mandatory = $true)] [string] $Root,
    [Parameter(Mandatory = $true)] [string] $ReferencePath,
    [string] $AllowListPath,
    [string] $DataPath = (Join-Path $PSScriptRoot '../data/ps51/commands.tsv'),
    [string] $SelfTestPath,
    # Folders (searched for *.ps1, *.psm1, *.psd1) and files: the arguments after the named ones.
    [Parameter(Mandatory = $true, Position = 0, ValueFromRemainingArguments = $true)] [string[]] $Path
)

$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest
foreach ($part in 'Metadata', 'Language', 'Commands', 'DotNet', 'Inference', 'Files', 'Check') { . (Join-Path $PSScriptRoot "Ps51$part.ps1") }

$data = Read-Ps51CommandData $DataPath
if ($SelfTestPath) {
    $seeded = Invoke-Ps51Check -Root $SelfTestPath -ReferencePath $ReferencePath -AllowListPath (Join-Path $SelfTestPath 'allow-list.txt') -Data $data -Path $SelfTestPath
    $actual = @($seeded.Lines) + "exit $([int]$seeded.Failed)"
    $expected = [System.IO.File]::ReadAllLines((Join-Path $SelfTestPath 'expected.txt'))
    if (($expected -join "`n") -cne ($actual -join "`n")) {
        'The check no longer reports the seeded faults as expected.txt says (<= expected only, => reported only):'
        Compare-Object -ReferenceObject $expected -DifferenceObject $actual -CaseSensitive | ForEach-Object { "$($_.SideIndicator) $($_.InputObject)" }
        exit 1
    }
    "ps51: the check reports every seeded fault ($($seeded.Reported) findings) and the stale allow-list entry"
}
$result = Invoke-Ps51Check -Root $Root -ReferencePath $ReferencePath -AllowListPath $AllowListPath -Data $data -Path $Path
$result.Lines
exit ([int]$result.Failed)
