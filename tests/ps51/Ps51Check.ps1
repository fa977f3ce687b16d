# One run of the check over a set of files: the report's lines and whether it failed.

$Ps51IndexCache = @{}

function Test-Ps51Match($Finding, $Entry) {
    $Finding.File -eq $Entry.File -and $Finding.Kind -eq $Entry.Kind -and $Finding.Code -eq $Entry.Code
}

function Get-Ps51FileList([string[]] $Path) {
    @(foreach ($item in $Path) {
            if (Test-Path -LiteralPath $item -PathType Container) {
                Get-ChildItem -LiteralPath $item -Recurse -File -Include '*.ps1', '*.psm1', '*.psd1' | ForEach-Object FullName
            }
            else { (Resolve-Path -LiteralPath $item).Path }
        }) | Sort-Object -Unique
}

# The reference assemblies' index, read once per set of assemblies.
function Get-Ps51CachedIndex([string[]] $AssemblyPath) {
    $key = $AssemblyPath -join '|'
    if (-not $Ps51IndexCache.ContainsKey($key)) { $Ps51IndexCache[$key] = New-Ps51TypeIndex $AssemblyPath }
    return $Ps51IndexCache[$key]
}

function Find-Ps51Finding($Parsed, $Data, [string] $ReferencePath) {
    $own = New-Ps51NameSet
    $ownTypes = New-Ps51NameSet
    foreach ($entry in $Parsed) {
        $entry.Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.FunctionDefinitionAst] }, $true) | ForEach-Object { [void]$own.Add($_.Name) }
        $entry.Ast.FindAll({ $args[0] -is [System.Management.Automation.Language.TypeDefinitionAst] }, $true) | ForEach-Object { [void]$ownTypes.Add($_.Name) }
    }
    $index = Get-Ps51CachedIndex @(Get-Ps51AssemblyPath $ReferencePath @($Parsed | ForEach-Object { Get-Ps51AddedAssembly $_.Ast }))
    $context = New-Ps51DotNetContext $index $Data.Accelerators $ownTypes
    foreach ($entry in $Parsed) {
        $context.Unresolved.Clear()
        $context.VariableTypes.Clear()
        $context.ScopeWrites.Clear()
        # Type names resolve in System and in the file's own `using namespace` namespaces.
        $context.Namespaces = @('System') + @($entry.Ast.UsingStatements | Where-Object { $_.UsingStatementKind -eq 'Namespace' } |
                ForEach-Object { $_.Name.Value })
        $found = @($entry.Findings) + @(Find-Ps51Language $entry.Ast $entry.Tokens) + @(Find-Ps51Command $entry.Ast $Data $own) +
            @(Find-Ps51DotNet $context $entry.Ast) + @($context.Unresolved)
        $found | Where-Object { $_ } | Sort-Object Line, Kind, Message -Unique | ForEach-Object {
            [pscustomobject]@{ File = $entry.Name; Line = $_.Line; Kind = $_.Kind; Message = $_.Message; Code = $entry.Lines[$_.Line - 1].Trim() }
        }
    }
}

function Invoke-Ps51Check([string] $Root, [string] $ReferencePath, [string] $AllowListPath, $Data, [string[]] $Path) {
    $Root = (Resolve-Path -LiteralPath $Root).Path.TrimEnd('/', '\')
    $files = @(Get-Ps51FileList $Path)
    $findings = @(Find-Ps51Finding @(foreach ($file in $files) { Read-Ps51File $file $Root }) $Data $ReferencePath)
    $allowed = @(Read-Ps51AllowList $AllowListPath)
    $reported = @($findings | Where-Object { $finding = $_; -not @($allowed | Where-Object { Test-Ps51Match $finding $_ }).Count })
    $stale = @($allowed | Where-Object { $entry = $_; -not @($findings | Where-Object { Test-Ps51Match $_ $entry }).Count })
    $lines = @(
        foreach ($finding in $reported) {
            "$($finding.File):$($finding.Line): $($finding.Kind): $($finding.Message)"
            "    $($finding.Code)"
        }
        foreach ($entry in $stale) {
            "$($entry.Source):$($entry.Number): stale: no $($entry.Kind) finding in $($entry.File) on a line '$($entry.Code)'"
        }
        "ps51: $($files.Count) files, $($findings.Count - $reported.Count) findings allowed, $($reported.Count) reported, $($stale.Count) stale allow-list entries"
    )
    [pscustomobject]@{ Lines = $lines; Failed = [bool]($reported.Count -or $stale.Count); Reported = $reported.Count }
}
