# Machine files of the simulated Velorin machine as the rehearsal reads them: the items with
# their options and read-only marks, the SMBIOS table a capture names, and a private copy that
# a rehearsal may change. Only the statements a capture writes are read here; the tool's
# simulated machine reads the whole format.

$script:MachineTextPattern = '"((?:\\.|[^"\\])*)"'
$script:ItemPattern = New-Object System.Text.RegularExpressions.Regex ('^\s*item\s+\S+\s+' + $script:MachineTextPattern + '\s+current\s')
$script:OptionPattern = New-Object System.Text.RegularExpressions.Regex ('^\s*option\s+' + $script:MachineTextPattern + '(.*)$')
$script:TextStatementPattern = New-Object System.Text.RegularExpressions.Regex ('^\s*(smbios-file|smbios|manufacturer|product)\s+(?:' + $script:MachineTextPattern + '|(\S+))')
$script:MachineEscapePattern = New-Object System.Text.RegularExpressions.Regex ('\\(\\|"|x[0-9A-Fa-f]{2}|u[0-9A-Fa-f]{4})')
$script:MachineFileEncoding = New-Object System.Text.UTF8Encoding ($false)
# The machine-file defaults of a table built from the fields.
$script:DefaultManufacturer = 'VELORIN'
$script:DefaultProduct = 'Velorin Simulated Machine'

# A quoted text's inside with its escapes resolved: \\, \", \xHH and \uHHHH; any other
# backslash stands for itself.
function ConvertFrom-VelorinMachineText {
    param([string] $Text)

    return $script:MachineEscapePattern.Replace($Text, {
            param($match)
            $escape = $match.Groups[1].Value
            if ($escape.Length -eq 1) {
                return $escape
            }
            return [string][char][System.Convert]::ToInt32($escape.Substring(1), 16)
        })
}

# A text as the tool's catalogue holds it: each UTF-16 unit its low 8 bits, a control
# character '?'.
function ConvertTo-VelorinCatalogueText {
    param([string] $Text)

    $narrow = New-Object System.Text.StringBuilder
    foreach ($unit in $Text.ToCharArray()) {
        $low = [int]$unit -band 0xFF
        if ($low -lt 0x20 -or $low -eq 0x7F) {
            $low = 0x3F
        }
        [void]$narrow.Append([char]$low)
    }
    return $narrow.ToString()
}

# The SMBIOS strings of the first System Information structure (type 1) of a raw table:
# Manufacturer (string number at 0x04) and Model (the product name, at 0x05).
function Read-VelorinSystemInformation {
    param([byte[]] $Table)

    $offset = 0
    while ($offset + 4 -le $Table.Length) {
        $formatted = $Table[$offset + 1]
        if ($formatted -lt 4 -or $offset + $formatted -gt $Table.Length) {
            break
        }
        $strings = New-Object System.Collections.Generic.List[string]
        $at = $offset + $formatted
        while ($at -lt $Table.Length -and $Table[$at] -ne 0) {
            $end = [System.Array]::IndexOf($Table, [byte]0, $at)
            if ($end -lt 0) {
                return $null
            }
            $strings.Add($script:Latin1.GetString($Table, $at, $end - $at))
            $at = $end + 1
        }
        if ($Table[$offset] -eq 1) {
            $fields = @{}
            foreach ($field in @(@{ Name = 'Manufacturer'; Offset = 4 }, @{ Name = 'Model'; Offset = 5 })) {
                $number = 0
                if ($field.Offset -lt $formatted) {
                    $number = $Table[$offset + $field.Offset]
                }
                $fields[$field.Name] = ''
                if ($number -ge 1 -and $number -le $strings.Count) {
                    $fields[$field.Name] = $strings[$number - 1]
                }
            }
            return $fields
        }
        # A structure without strings ends in two NULs.
        $offset = [System.Math]::Max($at + 1, $offset + $formatted + 2)
    }
    return $null
}

# The items of a machine file (Name, Options, ReadOnly: the texts as the catalogue sees them),
# its SMBIOS table file and the SMBIOS Manufacturer and Model.
function Read-VelorinMachineFile {
    param([string] $Path)

    $items = New-Object System.Collections.Generic.List[object]
    $statements = @{ manufacturer = $script:DefaultManufacturer; product = $script:DefaultProduct }
    $lines = [System.IO.File]::ReadAllLines($Path, $script:MachineFileEncoding)
    foreach ($line in $lines) {
        $item = $script:ItemPattern.Match($line)
        $option = $script:OptionPattern.Match($line)
        $statement = $script:TextStatementPattern.Match($line)
        if ($item.Success) {
            $items.Add([pscustomobject]@{
                    Name     = ConvertTo-VelorinCatalogueText (ConvertFrom-VelorinMachineText $item.Groups[1].Value)
                    Options  = New-Object System.Collections.Generic.List[string]
                    ReadOnly = New-Object System.Collections.Generic.List[string]
                })
        }
        elseif ($option.Success -and $items.Count -gt 0) {
            $text = ConvertTo-VelorinCatalogueText (ConvertFrom-VelorinMachineText $option.Groups[1].Value)
            $items[$items.Count - 1].Options.Add($text)
            if ($option.Groups[2].Value -match '^\s+(\S+\s+)*readonly(\s|#|$)') {
                $items[$items.Count - 1].ReadOnly.Add($text)
            }
        }
        elseif ($statement.Success) {
            $value = $statement.Groups[3].Value
            if ($statement.Groups[2].Success) {
                $value = ConvertFrom-VelorinMachineText $statement.Groups[2].Value
            }
            $statements[$statement.Groups[1].Value] = $value
        }
    }
    $machine = [pscustomobject]@{
        Path         = $Path
        Items        = $items.ToArray()
        SmbiosFile   = $null
        Manufacturer = $statements['manufacturer']
        Model        = $statements['product']
        Lines        = $lines
    }
    if ($statements.ContainsKey('smbios-file')) {
        $machine.SmbiosFile = Join-Path (Split-Path -Parent $Path) $statements['smbios-file']
        $system = Read-VelorinSystemInformation -Table ([System.IO.File]::ReadAllBytes($machine.SmbiosFile))
        $machine.Manufacturer = $null
        $machine.Model = $null
        if ($system) {
            $machine.Manufacturer = $system.Manufacturer
            $machine.Model = $system.Model
        }
    }
    elseif ($statements.ContainsKey('smbios')) {
        $machine.Manufacturer = $null
        $machine.Model = $null
    }
    return $machine
}

# A copy of the machine in Folder that a rehearsal may change: its table beside it, and the
# supervisor password given. The password is a throwaway of this copy only; it guards nothing.
function New-VelorinRehearsalMachine {
    param([object] $Machine, [string] $Folder, [string] $SupervisorPassword)

    $copy = Join-Path $Folder 'machine.txt'
    $text = New-Object System.Text.StringBuilder
    foreach ($line in $Machine.Lines) {
        if ($line -match '^\s*(smbios-file|supervisor-password)\s') {
            continue
        }
        [void]$text.Append($line).Append("`n")
    }
    if ($Machine.SmbiosFile) {
        [System.IO.File]::Copy($Machine.SmbiosFile, "$copy.smbios")
        [void]$text.Append("smbios-file ""machine.txt.smbios""`n")
    }
    [void]$text.Append("supervisor-password ""$SupervisorPassword""`n")
    [System.IO.File]::WriteAllText($copy, $text.ToString(), $script:MachineFileEncoding)
    return $copy
}

# The machine files that Path names: files, wildcards, and the captures in folders (each
# file with its ".smbios" table beside it, as a capture writes the pair).
function Resolve-VelorinMachineFile {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string[]] $Path)

    foreach ($entry in $Path) {
        $resolved = @(Resolve-Path -Path $entry -ErrorAction Ignore)
        if ($resolved.Count -eq 0) {
            $exception = New-Object System.IO.FileNotFoundException ("No machine file matches '$entry'.")
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $exception, 'VelorinMachineFileNotFound', 'ObjectNotFound', $entry)))
            continue
        }
        foreach ($found in $resolved) {
            $full = $found.ProviderPath
            if ([System.IO.Directory]::Exists($full)) {
                Get-ChildItem -LiteralPath $full -File | Sort-Object Name | ForEach-Object {
                    if ([System.IO.File]::Exists($_.FullName + '.smbios')) {
                        $_.FullName
                    }
                    elseif ($_.Extension -ne '.smbios') {
                        Write-Verbose "'$($_.FullName)' is no capture (no '.smbios' table beside it); passed over."
                    }
                }
            }
            else {
                $full
            }
        }
    }
}
