# Checks PowerShell files for what Windows PowerShell 5.1 on .NET Framework 4.8 cannot parse
# or run: syntax, commands and their named parameters, .NET types and members, and the file's
# encoding. Prints one line per finding ("file:line: kind: message" and the line itself) and
# exits 1 on any finding or any allow-list entry that no longer matches a finding.
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
    # Folders (searched for *.ps1, *.psm1, *.psd1) and files: the arguments after the named ones.
    [Parameter(Mandatory = $true, Position = 0, ValueFromRemainingArguments = $true)] [string[]] $Path
)

$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest
foreach ($part in 'Metadata', 'Language', 'Commands', 'DotNet', 'Inference', 'Files') { . (Join-Path $PSScriptRoot "Ps51$part.ps1") }

$Root = (Resolve-Path -LiteralPath $Root).Path.TrimEnd('/', '\')
$files = @(foreach ($item in $Path) {
        if (Test-Path -LiteralPath $item -PathType Container) {
            Get-ChildItem -LiteralPath $item -Recurse -File -Include '*.ps1', '*.psm1', '*.psd1' | ForEach-Object FullName
        }
        else { (Resolve-Path -LiteralPath $item).Path }
    }) | Sort-Object -Unique

$parsed = @(foreach ($file in $files) { Read-Ps51File $file $Root })
$data = Read-Ps51CommandData $DataPath
$own = New-Ps51NameSet
$ownTypes = New-Ps51NameSet
foreach ($entry in $parsed) {
    $entry.Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.FunctionDefinitionAst] }, $true) | ForEach-Object { [void]$own.Add($_.Name) }
    $entry.Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.TypeDefinitionAst] }, $true) | ForEach-Object { [void]$ownTypes.Add($_.Name) }
}
$index = New-Ps51TypeIndex (Get-Ps51AssemblyPath $ReferencePath @($parsed | ForEach-Object { Get-Ps51AddedAssembly $_.Ast }))
$context = New-Ps51DotNetContext $index $data.Accelerators $ownTypes

$findings = @(foreach ($entry in $parsed) {
        $context.Unresolved.Clear()
        $context.VariableTypes.Clear()
        $context.ScopeWrites.Clear()
        $found = @($entry.Findings) + @(Find-Ps51Language $entry.Ast $entry.Tokens) + @(Find-Ps51Command $entry.Ast $data $own) +
            @(Find-Ps51DotNet $context $entry.Ast) + @($context.Unresolved)
        $found | Where-Object { $_ } | Sort-Object Line, Kind, Message -Unique | ForEach-Object {
            [pscustomobject]@{ File = $entry.Name; Line = $_.Line; Kind = $_.Kind; Message = $_.Message; Code = $entry.Lines[$_.Line - 1].Trim() }
        }
    })

$allowed = @(Read-Ps51AllowList $AllowListPath)
function Test-Ps51Match($Finding, $Entry) {
    $Finding.File -eq $Entry.File -and $Finding.Kind -eq $Entry.Kind -and $Finding.Code -eq $Entry.Code
}

$reported = @($findings | Where-Object { $finding = $_; -not @($allowed | Where-Object { Test-Ps51Match $finding $_ }).Count })
$stale = @($allowed | Where-Object { $entry = $_; -not @($findings | Where-Object { Test-Ps51Match $_ $entry }).Count })
foreach ($finding in $reported) {
    "$($finding.File):$($finding.Line): $($finding.Kind): $($finding.Message)"
    "    $($finding.Code)"
}
foreach ($entry in $stale) {
    "$($entry.Source):$($entry.Number): stale: no $($entry.Kind) finding in $($entry.File) on a line '$($entry.Code)'"
}
"ps51: $(@($files).Count) files, $($findings.Count - $reported.Count) findings allowed, $($reported.Count) reported, $($stale.Count) stale allow-list entries"
if ($reported.Count -or $stale.Count) { exit 1 }
exit 0
