# What the PowerShell module adds to the tool's own run: on a simulated machine of Items items
# with 8 options each, times /get /o and /check run directly and Get-VelorinBiosSetting and
# Test-VelorinBiosConfiguration run through the module (every item differing), best of Repeat
# runs each, and prints both, the difference and the processor time of the module's own work.
# Run by scripts/bench-powershell.sh.
param(
    [Parameter(Mandatory = $true)] [string] $Tool,
    [int] $Items = 10000,
    [int] $Repeat = 5
)

$ErrorActionPreference = 'Stop'
Import-Module (Join-Path $PSScriptRoot '../powershell/VelorinBios') -Force
$latin1 = [System.Text.Encoding]::GetEncoding(28591)
$work = Join-Path ([System.IO.Path]::GetTempPath()) ('velorin-bench-' + [guid]::NewGuid().ToString('N'))
[void][System.IO.Directory]::CreateDirectory($work)

# Item codes from 0x4000, clear of the password items; every item's current option differs.
function New-BenchMachine([string] $Path) {
    $text = New-Object System.Text.StringBuilder
    [void]$text.Append("manufacturer ""Velorin Corporation""`nsupervisor-password ""admin""`n")
    for ($i = 0; $i -lt $Items; $i++) {
        [void]$text.AppendFormat("item 0x{0:X4} ""Setting {1:D5}"" current {2}`n", 0x4000 + $i, $i, 1 + $i % 8)
        for ($j = 1; $j -le 8; $j++) {
            [void]$text.AppendFormat("  option ""Choice {0} of {1:D5}""`n", $j, $i)
        }
    }
    [System.IO.File]::WriteAllText($Path, $text.ToString())
}

# Every item with the option after its current one marked: /check reports every item.
function New-BenchBaseline([string] $Path) {
    $text = New-Object System.Text.StringBuilder
    for ($i = 0; $i -lt $Items; $i++) {
        [void]$text.AppendFormat("+++Setting {0:D5}`r`n", $i)
        $chosen = (1 + $i % 8) % 8 + 1
        for ($j = 1; $j -le 8; $j++) {
            $mark = ''
            if ($j -eq $chosen) { $mark = '*' }
            [void]$text.AppendFormat("{0}Choice {1} of {2:D5}`r`n", $mark, $j, $i)
        }
        [void]$text.Append("`r`n")
    }
    [System.IO.File]::WriteAllBytes($Path, $latin1.GetBytes($text.ToString()))
}

# Runs the tool alone and through the module in turns, so that both see the same load on the
# machine, and keeps the best wall time of each and the least processor time that the
# module's own PowerShell work took (this process, without the tool's).
function Measure-Pair([scriptblock] $Alone, [scriptblock] $Module) {
    $best = @{ Alone = [double]::MaxValue; Module = [double]::MaxValue; OwnCpu = [double]::MaxValue }
    $self = [System.Diagnostics.Process]::GetCurrentProcess()
    for ($run = 0; $run -lt $Repeat; $run++) {
        $best.Alone = [Math]::Min($best.Alone, (Measure-Command $Alone).TotalSeconds)
        $self.Refresh()
        $cpu = $self.TotalProcessorTime
        $best.Module = [Math]::Min($best.Module, (Measure-Command $Module).TotalSeconds)
        $self.Refresh()
        $best.OwnCpu = [Math]::Min($best.OwnCpu, ($self.TotalProcessorTime - $cpu).TotalSeconds)
    }
    return $best
}

# The tool alone, its output read by the shell as bytes and dropped.
function Invoke-ToolAlone([string[]] $Arguments) {
    $start = New-Object System.Diagnostics.ProcessStartInfo $Tool
    $start.Arguments = $Arguments -join ' '
    $start.WorkingDirectory = $work
    $start.UseShellExecute = $false
    $start.RedirectStandardOutput = $true
    $start.EnvironmentVariables['VELORIN_MACHINE'] = $machine
    $process = [System.Diagnostics.Process]::Start($start)
    $process.StandardOutput.BaseStream.CopyTo([System.IO.Stream]::Null)
    $process.WaitForExit()
}

try {
    $machine = Join-Path $work 'machine.txt'
    New-BenchMachine $machine
    New-BenchBaseline (Join-Path $work 'baseline.txt')
    $baseline = Join-Path $work 'baseline.txt'

    $rows = @(
        @{
            Name   = 'Get-VelorinBiosSetting'
            Times  = Measure-Pair { Invoke-ToolAlone @('/get', '/o', 'export.txt') } {
                $null = Get-VelorinBiosSetting -ToolPath $Tool -MachineFile $machine }
            Check  = { @(Get-VelorinBiosSetting -ToolPath $Tool -MachineFile $machine).Count -eq $Items }
        }
        @{
            Name   = 'Test-VelorinBiosConfiguration'
            Times  = Measure-Pair { Invoke-ToolAlone @('/check', 'baseline.txt') } {
                $null = Test-VelorinBiosConfiguration -Path $baseline -ToolPath $Tool -MachineFile $machine }
            Check  = { (Test-VelorinBiosConfiguration -Path $baseline -ToolPath $Tool -MachineFile $machine).Differences.Count -eq $Items }
        }
    )
    'PowerShell {0}, {1:N0} items x 8 options, best of {2} runs, wall time' -f $PSVersionTable.PSVersion, $Items, $Repeat
    '{0,-31} {1,10} {2,14} {3,9} {4,16}' -f 'command', 'tool alone', 'through module', 'added', 'module''s own CPU'
    foreach ($row in $rows) {
        if (-not (& $row.Check)) { throw "$($row.Name) did not return every item" }
        $times = $row.Times
        '{0,-31} {1,9:N3}s {2,13:N3}s {3,8:N3}s {4,15:N3}s' -f $row.Name, $times.Alone, $times.Module, ($times.Module - $times.Alone), $times.OwnCpu
    }
}
finally {
    [System.IO.Directory]::Delete($work, $true)
}
