# The tool's command line, quoted as the program on the other side reads it back.

# One argument as the Windows command-line parser (and .NET's on other systems) reads it back.
function ConvertTo-VelorinCommandLineArgument {
    param([string] $Argument)

    if ($Argument.Length -gt 0 -and $Argument -notmatch '[\s"]') {
        return $Argument
    }
    $quoted = New-Object System.Text.StringBuilder
    [void]$quoted.Append('"')
    $backslashes = 0
    foreach ($character in $Argument.ToCharArray()) {
        if ($character -eq '\') {
            $backslashes++
            continue
        }
        if ($character -eq '"') {
            [void]$quoted.Append('\', 2 * $backslashes + 1)
        }
        elseif ($backslashes -gt 0) {
            [void]$quoted.Append('\', $backslashes)
        }
        $backslashes = 0
        [void]$quoted.Append($character)
    }
    [void]$quoted.Append('\', 2 * $backslashes)
    [void]$quoted.Append('"')
    return $quoted.ToString()
}
