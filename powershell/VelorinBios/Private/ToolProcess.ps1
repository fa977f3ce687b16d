# Running VelorinBiosConfigTool: finding it, quoting its arguments, feeding its standard input
# and reading its output as bytes, never through the console's code page.

# The tool's texts are bytes (one byte per character of the firmware's strings); ISO-8859-1
# maps every byte to the character of the same value and back.
$script:Latin1 = [System.Text.Encoding]::GetEncoding(28591)
$script:ToolTimeoutMilliseconds = 600000
$script:ToolNames = @('VelorinBiosConfigTool.exe', 'VelorinBiosConfigTool')

function Resolve-VelorinToolPath {
    param([string] $ToolPath, [System.Management.Automation.PSCmdlet] $Cmdlet)

    if (-not $ToolPath) {
        $ToolPath = $env:VELORIN_BIOS_TOOL
    }
    if ($ToolPath) {
        return $Cmdlet.GetUnresolvedProviderPathFromPSPath($ToolPath)
    }
    # The zip puts the module folder beside the executable; the MSI puts the module under
    # Program Files\WindowsPowerShell\Modules and the executable in Velorin\BiosConfigTool (the
    # 64-bit Program Files also from a 32-bit PowerShell).
    $folders = @($script:ModuleRoot, (Split-Path -Parent $script:ModuleRoot))
    foreach ($programFiles in @($env:ProgramW6432, $env:ProgramFiles)) {
        if ($programFiles) {
            $folders += Join-Path (Join-Path $programFiles 'Velorin') 'BiosConfigTool'
        }
    }
    foreach ($folder in $folders) {
        foreach ($name in $script:ToolNames) {
            $candidate = Join-Path $folder $name
            if (Test-Path -LiteralPath $candidate -PathType Leaf) {
                return $candidate
            }
        }
    }
    $exception = New-Object System.IO.FileNotFoundException (
        'VelorinBiosConfigTool was not found beside the module or in Program Files\Velorin\BiosConfigTool; give -ToolPath or set VELORIN_BIOS_TOOL.')
    $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                $exception, 'VelorinBiosToolNotFound', 'ObjectNotFound', $script:ModuleRoot)))
}

function Resolve-VelorinFilePath {
    param([string] $Path, [System.Management.Automation.PSCmdlet] $Cmdlet)
    return $Cmdlet.GetUnresolvedProviderPathFromPSPath($Path)
}

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

# The tool's private working folder. Created and removed through .NET, not New-Item and
# Remove-Item, so that -WhatIf on the calling command does not reach them.
function New-VelorinWorkFolder {
    $folder = Join-Path ([System.IO.Path]::GetTempPath()) ('VelorinBios-' + [guid]::NewGuid().ToString('N'))
    [void][System.IO.Directory]::CreateDirectory($folder)
    return $folder
}

function Remove-VelorinWorkFolder {
    param([string] $Folder)
    if ($Folder -and [System.IO.Directory]::Exists($Folder)) {
        [System.IO.Directory]::Delete($Folder, $true)
    }
}

# The password as the tool reads it from standard input: its bytes and a line feed.
function ConvertTo-VelorinPasswordInput {
    param([System.Security.SecureString] $Password)

    $plain = ConvertFrom-VelorinSecureString -SecureString $Password
    return $script:Latin1.GetBytes($plain + "`n")
}

function ConvertFrom-VelorinSecureString {
    param([System.Security.SecureString] $SecureString)

    $pointer = [System.Runtime.InteropServices.Marshal]::SecureStringToBSTR($SecureString)
    try {
        return [System.Runtime.InteropServices.Marshal]::PtrToStringBSTR($pointer)
    }
    finally {
        [System.Runtime.InteropServices.Marshal]::ZeroFreeBSTR($pointer)
    }
}

# Every text that must not leave the module (a new password the tool echoes) becomes asterisks.
function Hide-VelorinSecret {
    param([string] $Text, [string[]] $Secret)
    foreach ($value in $Secret) {
        if ($value) {
            $Text = $Text.Replace($value, '********')
        }
    }
    return $Text
}

function Get-VelorinFailureReason {
    param([int] $ExitCode, [string] $Output)

    if ($ExitCode -eq 3) {
        return 'UnsupportedRevision'
    }
    # No ROOT\velorin namespace (WBEM_E_INVALID_NAMESPACE), or SMBIOS names another maker.
    if ($ExitCode -eq 12 -and ($Output -match 'ConnectServer error, hr=8004100E' -or
            $Output.Contains('System manufacturer is not valid'))) {
        return 'NotVelorin'
    }
    return 'ToolFailed'
}

function Get-VelorinToolErrorMessage {
    param([int] $ExitCode, [string] $Output)

    $report = [regex]::Match($Output, 'Return Code : (\d+) Error Message : ([^\r\n]*)')
    if ($report.Success) {
        return $report.Groups[2].Value
    }
    return "VelorinBiosConfigTool ended with exit code $ExitCode"
}

function New-VelorinToolError {
    param([int] $ExitCode, [string] $Output, [string] $Target)

    $message = Get-VelorinToolErrorMessage -ExitCode $ExitCode -Output $Output
    $reason = Get-VelorinFailureReason -ExitCode $ExitCode -Output $Output
    $exception = New-Object VelorinBiosToolException ($message, $ExitCode, $Output, $reason)
    $category = 'InvalidOperation'
    if ($reason -ne 'ToolFailed') {
        $category = 'NotImplemented'
    }
    elseif ($ExitCode -eq 2) {
        $category = 'AuthenticationError'
    }
    elseif ($ExitCode -in 4, 5, 6, 9) {
        $category = 'InvalidData'
    }
    elseif ($ExitCode -in 7, 8) {
        $category = 'ObjectNotFound'
    }
    return New-Object System.Management.Automation.ErrorRecord (
        $exception, "VelorinBiosTool$ExitCode", $category, $Target)
}

# Runs the tool once in WorkingDirectory and returns its exit code and output. An exit code
# outside AcceptedExitCode ends the calling command with the tool's error. Secret lists texts
# that are hidden in everything handed back (the output, errors, verbose lines).
function Invoke-VelorinTool {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $ToolPath,
        [Parameter(Mandatory)] [string[]] $Arguments,
        [Parameter(Mandatory)] [string] $WorkingDirectory,
        [string] $MachineFile,
        [byte[]] $StandardInput,
        [string[]] $Secret = @(),
        [int[]] $AcceptedExitCode = @(0)
    )

    $tool = Resolve-VelorinToolPath -ToolPath $ToolPath -Cmdlet $Cmdlet
    $commandLine = ($Arguments | ForEach-Object { ConvertTo-VelorinCommandLineArgument $_ }) -join ' '
    Write-Verbose ('{0} {1}' -f $tool, (Hide-VelorinSecret -Text $commandLine -Secret $Secret))

    $start = New-Object System.Diagnostics.ProcessStartInfo
    $start.FileName = $tool
    $start.Arguments = $commandLine
    $start.WorkingDirectory = $WorkingDirectory
    $start.UseShellExecute = $false
    $start.CreateNoWindow = $true
    $start.RedirectStandardInput = $true
    $start.RedirectStandardOutput = $true
    $start.RedirectStandardError = $true
    $start.StandardOutputEncoding = $script:Latin1
    $start.StandardErrorEncoding = $script:Latin1
    if ($MachineFile) {
        $start.EnvironmentVariables['VELORIN_MACHINE'] = Resolve-VelorinFilePath -Path $MachineFile -Cmdlet $Cmdlet
    }

    $process = New-Object System.Diagnostics.Process
    $process.StartInfo = $start
    try {
        [void]$process.Start()
    }
    catch {
        $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $_.Exception, 'VelorinBiosToolNotStarted', 'ResourceUnavailable', $tool)))
    }
    try {
        $outputTask = $process.StandardOutput.ReadToEndAsync()
        $errorTask = $process.StandardError.ReadToEndAsync()
        Write-VelorinToolInput -Process $process -Bytes $StandardInput
        if (-not $process.WaitForExit($script:ToolTimeoutMilliseconds)) {
            $process.Kill()
            $timeout = New-Object System.TimeoutException 'VelorinBiosConfigTool did not finish within 10 minutes.'
            $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                        $timeout, 'VelorinBiosToolTimeout', 'OperationTimeout', $tool)))
        }
        $process.WaitForExit()
        $output = Hide-VelorinSecret -Text $outputTask.Result -Secret $Secret
        $errorOutput = $errorTask.Result
        $exitCode = $process.ExitCode
    }
    finally {
        $process.Dispose()
    }
    if ($errorOutput) {
        Write-Verbose (Hide-VelorinSecret -Text $errorOutput -Secret $Secret)
    }
    if ($AcceptedExitCode -notcontains $exitCode) {
        $Cmdlet.ThrowTerminatingError((New-VelorinToolError -ExitCode $exitCode -Output $output -Target $Arguments[0]))
    }
    return New-Object PSObject -Property @{ ExitCode = $exitCode; Output = $output }
}

function Write-VelorinToolInput {
    param([System.Diagnostics.Process] $Process, [byte[]] $Bytes)

    $stream = $Process.StandardInput.BaseStream
    try {
        if ($Bytes) {
            $stream.Write($Bytes, 0, $Bytes.Length)
            $stream.Flush()
        }
    }
    catch [System.IO.IOException] {
        # The tool ended before it read its input (a refused command line); its exit code tells.
        Write-Verbose 'VelorinBiosConfigTool did not read its standard input.'
    }
    finally {
        if ($Bytes) {
            [System.Array]::Clear($Bytes, 0, $Bytes.Length)
        }
        try {
            $Process.StandardInput.Close()
        }
        catch [System.IO.IOException] {
            Write-Verbose 'The standard input of VelorinBiosConfigTool was already closed.'
        }
    }
}
