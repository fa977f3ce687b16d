# Reduces a PSScriptAnalyzer compatibility profile (JSON, or JSON in gzip) to the command and
# type accelerator data the Windows PowerShell 5.1 check reads: tests/data/ps51/commands.tsv.
# Run it again only when the profile changes:
#   pwsh -NoProfile -File tests/ps51/Export-PS51CommandData.ps1 -ProfilePath win10-1809-ps51.json.gz
param(
    [Parameter(Mandatory = $true)] [string] $ProfilePath,
    [string] $OutputPath = (Join-Path $PSScriptRoot '../data/ps51/commands.tsv')
)

$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest

function Read-ProfileText([string] $Path) {
    $stream = [System.IO.File]::OpenRead($Path)
    try {
        if ($Path.EndsWith('.gz')) {
            $stream = [System.IO.Compression.GZipStream]::new($stream, [System.IO.Compression.CompressionMode]::Decompress)
        }
        return [System.IO.StreamReader]::new($stream).ReadToEnd()
    }
    finally {
        $stream.Dispose()
    }
}

function Format-Command([string] $Name, [hashtable] $Command) {
    $parameters = @{}
    if ($Command.ContainsKey('Parameters') -and $Command.Parameters) { $parameters = $Command.Parameters }
    $names = foreach ($parameter in $parameters.GetEnumerator() | Sort-Object Key) {
        $switch = $parameter.Value.ContainsKey('Type') -and $parameter.Value.Type -eq 'System.Management.Automation.SwitchParameter'
        if ($switch) { "$($parameter.Key)!" } else { $parameter.Key }
    }
    $aliases = @()
    if ($Command.ContainsKey('ParameterAliases') -and $Command.ParameterAliases) {
        $aliases = foreach ($alias in $Command.ParameterAliases.GetEnumerator() | Sort-Object Key) { "$($alias.Key)=$($alias.Value)" }
    }
    return "C`t$Name`t$($names -join ' ')`t$($aliases -join ' ')"
}

$data = (Read-ProfileText $ProfilePath | ConvertFrom-Json -AsHashtable).Compatibility
$commands = [ordered]@{}
$aliases = [ordered]@{}
foreach ($module in $data.Modules.Keys | Sort-Object) {
    foreach ($version in $data.Modules[$module].Values) {
        foreach ($kind in 'Cmdlets', 'Functions') {
            if (-not $version.ContainsKey($kind) -or -not $version[$kind]) { continue }
            foreach ($command in $version[$kind].GetEnumerator()) { $commands[$command.Key] = Format-Command $command.Key $command.Value }
        }
        if ($version.ContainsKey('Aliases') -and $version.Aliases) {
            foreach ($alias in $version.Aliases.GetEnumerator()) { $aliases[$alias.Key] = "A`t$($alias.Key)`t$($alias.Value)" }
        }
    }
}
$lines = @(
    '# Commands, parameters and aliases of Windows PowerShell 5.1 (Windows 10 1809, x64), reduced from'
    '# the compatibility profile win10-1809-ps51.json of the PSScriptAnalyzer repository'
    '# (PowerShell/PSScriptAnalyzer, commit ad713a08, CrossCompatibility/profiles), MIT licence:'
    '# see LICENSE beside this file. Made by tests/ps51/Export-PS51CommandData.ps1.'
    '# C<tab>command<tab>parameters (! marks a switch)<tab>parameter aliases'
    '# A<tab>alias<tab>command;  N<tab>native command;  T<tab>type accelerator<tab>type'
)
$lines += $commands.Keys | Sort-Object | ForEach-Object { $commands[$_] }
$lines += $aliases.Keys | Sort-Object | ForEach-Object { $aliases[$_] }
$lines += $data.NativeCommands.Keys | Sort-Object | ForEach-Object { "N`t$_" }
$accelerators = $data.Types.TypeAccelerators
$lines += $accelerators.Keys | Sort-Object | ForEach-Object { "T`t$_`t$($accelerators[$_].Type)" }
[System.IO.File]::WriteAllLines($OutputPath, [string[]]$lines)
