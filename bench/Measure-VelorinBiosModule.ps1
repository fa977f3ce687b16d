# What the PowerShell module adds to the tool's own run: on a simulated machine of Items items
# with 8 options each, times /get /o and /check run directly and Get-VelorinBiosSetting and
# Test-VelorinBiosConfiguration run through the module, best of Repeat runs each, and prints
# both and the difference. Run by scripts/bench-powershell.sh.
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

function Measure-Best([scriptblock] $Script) {
    $best = [double]::MaxValue
    for ($run = 0; $run -lt $Repeat; $run++) {
        $elapsed = (Measure-Command $Script).TotalSeconds
        if ($elapsed -lt $best) { $best = $elapsed }
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
            Alone  = Measure-Best { Invoke-ToolAlone @('/get', '/o', 'export.txt') }
            Module = Measure-Best { $null = Get-VelorinBiosSetting -ToolPath $Tool -MachineFile $machine }
            Check  = { @(Get-VelorinBiosSetting -ToolPath $Tool -MachineFile $machine).Count -eq $Items }
        }
        @{
            Name   = 'Test-VelorinBiosConfiguration'
            Alone  = Measure-Best { Invoke-ToolAlone @('/check', 'baseline.txt') }
            Module = Measure-Best { $null = Test-VelorinBiosConfiguration -Path $baseline -ToolPath $Tool -MachineFile $machine }
            Check  = { (Test-VelorinBiosConfiguration -Path $baseline -ToolPath $Tool -MachineFile $machine).Differences.Count -eq $Items }
        }
    )
    'PowerShell {0}, {1:N0} items x 8 options, best of {2} runs' -f $PSVersionTable.PSVersion, $Items, $Repeat
    '{0,-31} {1,10} {2,13} {3,10}' -f 'command', 'tool alone', 'through module', 'added'
    foreach ($row in $rows) {
        if (-not (& $row.Check)) { throw "$($row.Name) did not return every item" }
        '{0,-31} {1,9:N3}s {2,13:N3}s {3,9:N3}s' -f $row.Name, $row.Alone, $row.Module, ($row.Module - $row.Alone)
    }
}
finally {
    [System.IO.Directory]::Delete($work, $true)
}
