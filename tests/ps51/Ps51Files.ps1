# Reading the files under check: the encoding, the parse, and the allow-list.

# 5.1 reads a file without a byte-order mark in the ANSI code page: only ASCII reads the same
# everywhere, and UTF-8 needs its BOM.
function Get-Ps51EncodingProblem([byte[]] $Bytes) {
    if ($Bytes.Length -ge 3 -and $Bytes[0] -eq 0xEF -and $Bytes[1] -eq 0xBB -and $Bytes[2] -eq 0xBF) {
        try {
            [void][System.Text.UTF8Encoding]::new($false, $true).GetString($Bytes, 3, $Bytes.Length - 3)
            return $null
        }
        catch { return 'not valid UTF-8 after its byte-order mark' }
    }
    $at = [Array]::FindIndex($Bytes, [Predicate[byte]] { param($b) $b -gt 127 })
    if ($at -lt 0) { return $null }
    return "byte 0x$('{0:X2}' -f $Bytes[$at]) at offset ${at}: neither ASCII nor UTF-8 with a byte-order mark"
}

function Read-Ps51File([string] $File, [string] $Root) {
    $bytes = [System.IO.File]::ReadAllBytes($File)
    $tokens = $null
    $errors = $null
    $ast = [System.Management.Automation.Language.Parser]::ParseFile($File, [ref]$tokens, [ref]$errors)
    $findings = @(foreach ($parseError in $errors) { New-Ps51Finding $parseError.Extent 'parse' $parseError.Message })
    $problem = Get-Ps51EncodingProblem $bytes
    if ($problem) {
        $findings += [pscustomobject]@{ Line = 1 + @($bytes[0..([Array]::FindIndex($bytes, [Predicate[byte]] { param($b) $b -gt 127 }))] | Where-Object { $_ -eq 10 }).Count; Kind = 'encoding'; Message = $problem }
    }
    $name = $File
    if ($File.StartsWith("$Root/") -or $File.StartsWith("$Root\")) { $name = $File.Substring($Root.Length + 1).Replace('\', '/') }
    [pscustomobject]@{ Name = $name; Ast = $ast; Tokens = $tokens; Findings = $findings; Lines = [System.IO.File]::ReadAllLines($File) }
}

# Assemblies the scripts load themselves.
function Get-Ps51AddedAssembly($Ast) {
    foreach ($command in $Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.CommandAst] -and $args[0].GetCommandName() -eq 'Add-Type' }, $true)) {
        $bound = Get-Ps51CommandArgument $command @('AssemblyName') @()
        if ($bound.ContainsKey('AssemblyName')) { Get-Ps51ConstantText $bound['AssemblyName'] }
    }
}

function Get-Ps51AssemblyPath([string] $ReferencePath, [string[]] $Added) {
    $framework = Join-Path $ReferencePath 'packages/microsoft.netframework.referenceassemblies.net48/1.0.3/build/.NETFramework/v4.8'
    foreach ($name in @($Ps51LoadedAssemblies) + @($Added) | Select-Object -Unique) {
        $file = Join-Path $framework "$name.dll"
        if (-not (Test-Path -LiteralPath $file)) { throw "no reference assembly $file (scripts/restore-ps51-references.sh restores them)" }
        $file
    }
    Join-Path $ReferencePath 'packages/powershellstandard.library/5.1.1/lib/net452/System.Management.Automation.dll'
}

function Read-Ps51AllowList([string] $Path) {
    if (-not $Path) { return }
    $number = 0
    foreach ($line in [System.IO.File]::ReadAllLines($Path)) {
        $number++
        if (-not $line.Trim() -or $line.StartsWith('#')) { continue }
        $field = $line.Split("`t")
        if ($field.Count -ne 5 -or -not $field[3].Trim() -or -not $field[4].Trim()) { throw "${Path}:${number}: expected file, kind, line, guard and reason, tab-separated" }
        [pscustomobject]@{ Source = $Path; Number = $number; File = $field[0]; Kind = $field[1]; Code = $field[2].Trim() }
    }
}
