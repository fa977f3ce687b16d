# Configuration files as the tool writes them: blocks of "+++" and the item name, one line per
# option with "*" before the current one, and an empty line; every line ends with CR LF.

$script:ConfigurationFileName = 'VelorinBiosSettings.txt'

# The blocks of a configuration file as the tool writes it: each block's name, its options,
# the option marked "*" and the block's text as written. One pattern takes every block apart
# and a few string operations split its options: a loop over the lines, or more work per
# block, costs seconds at 10,000 items.
$script:BlockPattern = New-Object System.Text.RegularExpressions.Regex (
    '^\+\+\+([^\r\n]*)\r\n((?:(?:\*([^\r\n]*)|[^\r\n]+)\r\n)*)\r\n', [System.Text.RegularExpressions.RegexOptions]'Multiline')
$script:LineEnds = [char[]]"`r`n"

function ConvertFrom-VelorinConfiguration {
    param([string] $Text)

    $blocks = New-Object System.Collections.Generic.List[object]
    foreach ($match in $script:BlockPattern.Matches($Text)) {
        $groups = $match.Groups
        $current = $null
        if ($groups[3].Success) {
            $current = $groups[3].Value
        }
        # Only the marked line starts with "*".
        $options = ("`n" + $groups[2].Value).Replace("`n*", "`n")
        $blocks.Add([pscustomobject]@{
                Name         = $groups[1].Value
                Options      = $options.Split($script:LineEnds, [System.StringSplitOptions]::RemoveEmptyEntries)
                CurrentValue = $current
                Text         = $match.Value
            })
    }
    return , $blocks
}

function ConvertTo-VelorinConfigurationText {
    param([object[]] $Block)

    $text = New-Object System.Text.StringBuilder
    foreach ($item in $Block) {
        [void]$text.Append($item.Text)
    }
    return $text.ToString()
}

# The blocks whose names match any of the patterns (wildcards, any letter case), as one array
# (not unrolled into the pipeline). A pattern without wildcards that matches nothing is
# reported, as Get-Item reports a missing path.
function Select-VelorinBlock {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [object[]] $Block,
        [string[]] $Name
    )

    if (-not $Name) {
        return , $Block
    }
    $patterns = foreach ($pattern in $Name) {
        New-Object System.Management.Automation.WildcardPattern ($pattern, 'IgnoreCase')
    }
    $selected = New-Object System.Collections.Generic.List[object]
    foreach ($item in $Block) {
        foreach ($wildcard in $patterns) {
            if ($wildcard.IsMatch($item.Name)) {
                $selected.Add($item)
                break
            }
        }
    }
    foreach ($pattern in $Name) {
        if ([System.Management.Automation.WildcardPattern]::ContainsWildcardCharacters($pattern)) {
            continue
        }
        $literal = New-Object System.Management.Automation.WildcardPattern ($pattern, 'IgnoreCase')
        if (-not @($selected | Where-Object { $literal.IsMatch($_.Name) }).Count) {
            $exception = New-Object System.Management.Automation.ItemNotFoundException (
                "The machine has no BIOS setting named '$pattern'.")
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $exception, 'VelorinBiosSettingNotFound', 'ObjectNotFound', $pattern)))
        }
    }
    return , $selected.ToArray()
}

# Runs /get /o in a private folder (the tool writes only into its working folder) and returns
# the file's blocks.
function Get-VelorinConfiguration {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $ToolPath,
        [string] $MachineFile
    )

    $folder = New-VelorinWorkFolder
    try {
        [void](Invoke-VelorinTool -Cmdlet $Cmdlet -ToolPath $ToolPath -MachineFile $MachineFile `
                -WorkingDirectory $folder -Arguments @('/get', '/o', $script:ConfigurationFileName))
        $bytes = [System.IO.File]::ReadAllBytes((Join-Path $folder $script:ConfigurationFileName))
        return ConvertFrom-VelorinConfiguration -Text $script:Latin1.GetString($bytes)
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# Writes text as ISO-8859-1 without a byte-order mark (the tool refuses one), through a
# temporary file beside the target so that a reader never sees half a file.
function Write-VelorinTextFile {
    param([string] $Path, [string] $Text)

    $temporary = '{0}.{1}.tmp' -f $Path, [guid]::NewGuid().ToString('N')
    [System.IO.File]::WriteAllBytes($temporary, $script:Latin1.GetBytes($Text))
    try {
        if ([System.IO.File]::Exists($Path)) {
            [System.IO.File]::Replace($temporary, $Path, [NullString]::Value)
        }
        else {
            [System.IO.File]::Move($temporary, $Path)
        }
    }
    finally {
        if ([System.IO.File]::Exists($temporary)) {
            [System.IO.File]::Delete($temporary)
        }
    }
}

# A configuration file given by the caller, copied into the tool's working folder under a
# name the tool accepts.
function Copy-VelorinInputFile {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $Path,
        [string] $Folder
    )

    $source = Resolve-VelorinFilePath -Path $Path -Cmdlet $Cmdlet
    if (-not (Test-Path -LiteralPath $source -PathType Leaf)) {
        $exception = New-Object System.IO.FileNotFoundException ("Configuration file '$Path' was not found.")
        $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $exception, 'VelorinBiosConfigurationNotFound', 'ObjectNotFound', $Path)))
    }
    [System.IO.File]::Copy($source, (Join-Path $Folder $script:ConfigurationFileName))
    return $script:ConfigurationFileName
}
