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

# The positions of the blocks that one -Name selects: those whose names match it as a
# wildcard pattern (any letter case), else the one it names literally, so that names holding
# "[", "]" or a backtick ("Slot [1]") are found as typed. A pattern that is no valid wildcard
# pattern is a literal name.
function Find-VelorinBlockIndex {
    param([object[]] $Block, [string] $Pattern)

    $found = New-Object System.Collections.Generic.List[int]
    try {
        $wildcard = New-Object System.Management.Automation.WildcardPattern ($Pattern, 'IgnoreCase')
        for ($index = 0; $index -lt $Block.Count; $index++) {
            if ($wildcard.IsMatch($Block[$index].Name)) {
                $found.Add($index)
            }
        }
    }
    catch [System.Management.Automation.WildcardPatternException] {
        Write-Verbose "'$Pattern' is no wildcard pattern; it is taken as a name."
    }
    if ($found.Count -gt 0) {
        return , $found
    }
    for ($index = 0; $index -lt $Block.Count; $index++) {
        if ([string]::Equals($Block[$index].Name, $Pattern, [System.StringComparison]::OrdinalIgnoreCase)) {
            $found.Add($index)
        }
    }
    return , $found
}

# The blocks that any of the names select (see Find-VelorinBlockIndex), in the file's order,
# as one array (not unrolled into the pipeline). A name without wildcards that selects nothing
# is reported, as Get-Item reports a missing path.
function Select-VelorinBlock {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [object[]] $Block,
        [string[]] $Name
    )

    if (-not $Name) {
        return , $Block
    }
    $chosen = New-Object bool[] $Block.Count
    foreach ($pattern in $Name) {
        $found = Find-VelorinBlockIndex -Block $Block -Pattern $pattern
        foreach ($index in $found) {
            $chosen[$index] = $true
        }
        if ($found.Count -eq 0 -and -not [System.Management.Automation.WildcardPattern]::ContainsWildcardCharacters($pattern)) {
            $exception = New-Object System.Management.Automation.ItemNotFoundException (
                "The machine has no BIOS setting named '$pattern'.")
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $exception, 'VelorinBiosSettingNotFound', 'ObjectNotFound', $pattern)))
        }
    }
    $selected = New-Object System.Collections.Generic.List[object]
    for ($index = 0; $index -lt $Block.Count; $index++) {
        if ($chosen[$index]) {
            $selected.Add($Block[$index])
        }
    }
    return , $selected.ToArray()
}

# Runs /get /o in a private folder (the tool writes only into its working folder) and returns
# the file's blocks. Target: what a failure concerns (the names asked for, the file to write).
function Get-VelorinConfiguration {
    param(
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [object] $Target = 'BIOS settings'
    )

    return , (Invoke-VelorinExport @PSBoundParameters).Blocks
}

# The same run, also handing back what the tool printed (its banner names its version).
function Invoke-VelorinExport {
    param(
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [object] $Target = 'BIOS settings'
    )

    $folder = New-VelorinWorkFolder
    try {
        $run = Invoke-VelorinTool -Context $Context -WorkingDirectory $folder `
            -Arguments @('/get', '/o', $script:ConfigurationFileName) -Target $Target
        $bytes = [System.IO.File]::ReadAllBytes((Join-Path $folder $script:ConfigurationFileName))
        return [pscustomobject]@{
            Blocks = ConvertFrom-VelorinConfiguration -Text $script:Latin1.GetString($bytes)
            Output = $run.Output
        }
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

# The tool's own bound on an input file.
$script:InputFileLimit = 16MB

# The tool's own answers to an input file it cannot use, given before the file is copied: a
# pipe would hang the copy and a device would fill the temporary folder.
$script:InputFileRefusals = @{
    4 = "input file not exist or input file is empty`n*******COMMAND FAIL******`nReturn Code : 4 Error Message : Input file not found`n"
    6 = "input file is too large`n*******COMMAND FAIL******`nReturn Code : 6 Error Message : Invalid input file format`n"
}

# The error the tool itself would end with (exit code 4 or 6) on the input file Path.
function New-VelorinInputFileRefusal {
    param([int] $ExitCode, [string] $Path)
    return New-VelorinToolError -ExitCode $ExitCode -Output $script:InputFileRefusals[$ExitCode] -Target $Path
}

# True unless the path (a link followed) is known to be something other than a regular file.
# Windows' FileStream refuses devices and pipes itself; elsewhere opening a FIFO blocks until a
# writer comes, so its type is read first, through the runtime's own stat.
function Test-VelorinRegularFile {
    param([string] $Path)

    if (Test-VelorinWindows) {
        return -not [System.IO.Directory]::Exists($Path)
    }
    $flags = [System.Reflection.BindingFlags]'NonPublic, Public, Static, Instance'
    $interop = [System.Object].Assembly.GetType('Interop+Sys')
    $status = $null
    $stat = $null
    if ($interop) {
        $status = $interop.GetNestedType('FileStatus', $flags)
    }
    if ($status) {
        $stat = $interop.GetMethod('Stat', $flags, $null, [type[]]@([string], $status.MakeByRefType()), $null)
    }
    if (-not $stat) {
        return -not [System.IO.Directory]::Exists($Path)
    }
    $arguments = [object[]]@($Path, $null)
    if ($stat.Invoke($null, $arguments) -ne 0) {
        return $false
    }
    $fileType = $status.GetField('Mode', $flags).GetValue($arguments[1]) -band 0xF000
    return $fileType -eq 0x8000
}

# Copies at most the tool's bound and one byte more, so that a file that grows while it is
# read cannot fill the temporary folder either; false when the source holds more.
function Copy-VelorinBoundedFile {
    param([string] $Source, [string] $Target)

    $reader = New-Object System.IO.FileStream ($Source, 'Open', 'Read', 'ReadWrite')
    try {
        $writer = New-Object System.IO.FileStream ($Target, 'CreateNew', 'Write', 'None')
        try {
            $buffer = New-Object byte[] 1MB
            $total = 0
            while ($total -le $script:InputFileLimit) {
                $read = $reader.Read($buffer, 0, $buffer.Length)
                if ($read -le 0) {
                    return $true
                }
                $writer.Write($buffer, 0, $read)
                $total += $read
            }
            return $false
        }
        finally {
            $writer.Dispose()
        }
    }
    finally {
        $reader.Dispose()
    }
}

# A configuration file given by the caller, copied into the tool's working folder under a
# name the tool accepts: only a regular file of at most the tool's bound, the tool's own error
# otherwise.
function Copy-VelorinInputFile {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $Path,
        [string] $Folder
    )

    $source = Resolve-VelorinFilePath -Path $Path -Cmdlet $Cmdlet
    if (-not (Test-Path -LiteralPath $source)) {
        $exception = New-Object System.IO.FileNotFoundException ("Configuration file '$Path' was not found.")
        $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $exception, 'VelorinBiosConfigurationNotFound', 'ObjectNotFound', $Path)))
    }
    if (-not (Test-VelorinRegularFile -Path $source)) {
        $Cmdlet.ThrowTerminatingError((New-VelorinInputFileRefusal -ExitCode 4 -Path $Path))
    }
    try {
        $complete = Copy-VelorinBoundedFile -Source $source -Target (Join-Path $Folder $script:ConfigurationFileName)
    }
    catch [System.UnauthorizedAccessException], [System.NotSupportedException], [System.ArgumentException], [System.IO.IOException] {
        # Unreadable, or a device that Windows' FileStream refuses.
        $Cmdlet.ThrowTerminatingError((New-VelorinInputFileRefusal -ExitCode 4 -Path $Path))
    }
    if (-not $complete) {
        $Cmdlet.ThrowTerminatingError((New-VelorinInputFileRefusal -ExitCode 6 -Path $Path))
    }
    return $script:ConfigurationFileName
}
