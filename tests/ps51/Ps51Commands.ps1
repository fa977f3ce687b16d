# Commands and named parameters against the command data of Windows PowerShell 5.1
# (tests/data/ps51/commands.tsv).

# The common parameters of 5.1 with their aliases; WhatIf and Confirm are in the data of the
# commands that take them.
$Ps51CommonParameters = @('Verbose', 'vb', 'Debug', 'db', 'ErrorAction', 'ea', 'WarningAction', 'wa', 'InformationAction',
    'infa', 'ErrorVariable', 'ev', 'WarningVariable', 'wv', 'InformationVariable', 'iv', 'OutVariable', 'ov', 'OutBuffer',
    'ob', 'PipelineVariable', 'pv')

# Returned whole: PowerShell would unroll an empty collection into nothing.
function New-Ps51NameSet {
    , [System.Collections.Generic.HashSet[string]]::new([System.StringComparer]::OrdinalIgnoreCase)
}

function New-Ps51NameMap {
    , [System.Collections.Generic.Dictionary[string, object]]::new([System.StringComparer]::OrdinalIgnoreCase)
}

function Read-Ps51CommandData([string] $Path) {
    $data = [pscustomobject]@{ Commands = New-Ps51NameMap; Aliases = New-Ps51NameMap; Native = New-Ps51NameSet; Accelerators = New-Ps51NameMap }
    foreach ($line in [System.IO.File]::ReadAllLines($Path)) {
        if ($line.StartsWith('#') -or -not $line) { continue }
        $field = $line.Split("`t")
        switch ($field[0]) {
            'C' {
                $parameters = @($field[2].Split(' ', [System.StringSplitOptions]::RemoveEmptyEntries) | ForEach-Object { $_.TrimEnd('!') })
                $aliases = @($field[3].Split(' ', [System.StringSplitOptions]::RemoveEmptyEntries) | ForEach-Object { $_.Split('=')[0] })
                $data.Commands[$field[1]] = [pscustomobject]@{ Parameters = $parameters; Aliases = $aliases }
            }
            'A' { $data.Aliases[$field[1]] = $field[2] }
            'N' { [void]$data.Native.Add($field[1]) }
            'T' { $data.Accelerators[$field[1]] = $field[2] }
        }
    }
    return $data
}

# The -Encoding names of 5.1's file cmdlets; PowerShell 7 adds utf8BOM, utf8NoBOM, ansi,
# latin1 and code page numbers.
$Ps51EncodingNames = @('Unknown', 'String', 'Unicode', 'BigEndianUnicode', 'UTF8', 'UTF7', 'UTF32', 'ASCII', 'Default', 'Oem',
    'Byte', 'BigEndianUTF32')

# Why 5.1 cannot bind -Name to the command, or $null when it can: a parameter binds by its
# name, an alias, or a prefix of one parameter's name.
function Get-Ps51ParameterProblem($Command, [string] $Name) {
    $names = @($Command.Parameters) + $Ps51CommonParameters
    if (@($names + $Command.Aliases | Where-Object { $_ -eq $Name }).Count) { return $null }
    $matching = @($names + $Command.Aliases | Where-Object { $_ -like "$Name*" })
    if ($matching.Count -eq 1) { return $null }
    if ($matching.Count -gt 1) { return "is ambiguous ($($matching -join ', '))" }
    return 'does not exist'
}

function Find-Ps51CommandUse($Node, $Data, $Own) {
    $name = $Node.GetCommandName()
    if (-not $name) { return }
    # Module\Command calls the command; any other path is a script of the project's own.
    if ($name -match '^[\w.]+\\([\w-]+)$') { $name = $Matches[1] }
    elseif ($name -match '[\\/]|\.ps1$') { return }
    if ($Own.Contains($name) -or $Data.Native.Contains($name) -or $Data.Native.Contains("$name.exe")) { return }
    if ($Data.Aliases.ContainsKey($name)) { $name = $Data.Aliases[$name] }
    if (-not $Data.Commands.ContainsKey($name)) {
        New-Ps51Finding $Node.Extent 'command' "$name is not a command of Windows PowerShell 5.1"
        return
    }
    foreach ($element in $Node.CommandElements) {
        if ($element -isnot [System.Management.Automation.Language.CommandParameterAst]) { continue }
        $problem = Get-Ps51ParameterProblem $Data.Commands[$name] $element.ParameterName
        if ($problem) { New-Ps51Finding $element.Extent 'parameter' "$name -$($element.ParameterName) $problem in Windows PowerShell 5.1" }
    }
    $encoding = Get-Ps51ConstantText (Get-Ps51CommandArgument $Node @('Encoding') @())['Encoding']
    if ($encoding -and $Ps51EncodingNames -notcontains $encoding) {
        New-Ps51Finding $Node.Extent 'parameter' "$name -Encoding $encoding is not an encoding name of Windows PowerShell 5.1"
    }
}

function Find-Ps51Command($Ast, $Data, $Own) {
    foreach ($node in $Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.CommandAst] }, $true)) {
        Find-Ps51CommandUse $node $Data $Own
    }
}

# The arguments of a command by parameter, as 5.1 binds them without running anything: named
# ones by a prefix of the name, the others by position in the order given. Enough for the
# few commands whose arguments the check reads (New-Object, Add-Type).
function Get-Ps51CommandArgument($Command, [string[]] $Named, [string[]] $Positional) {
    $bound = @{}
    $position = 0
    $elements = @($Command.CommandElements | Select-Object -Skip 1)
    for ($i = 0; $i -lt $elements.Count; $i++) {
        $element = $elements[$i]
        if ($element -is [System.Management.Automation.Language.CommandParameterAst]) {
            $name = @($Named | Where-Object { $_ -like "$($element.ParameterName)*" }) | Select-Object -First 1
            $value = $element.Argument
            if (-not $value -and $i + 1 -lt $elements.Count) { $i++; $value = $elements[$i] }
            if ($name) { $bound[$name] = $value }
        }
        elseif ($position -lt $Positional.Count) {
            $bound[$Positional[$position]] = $element
            $position++
        }
    }
    return $bound
}

# The text of a constant argument, or $null.
function Get-Ps51ConstantText($Ast) {
    if ($Ast -is [System.Management.Automation.Language.StringConstantExpressionAst]) { return $Ast.Value }
    return $null
}
