# Running VelorinBiosConfigTool: finding it, quoting its arguments, feeding its standard input
# and reading its output as bytes, never through the console's code page.

# The tool's texts are bytes (one byte per character of the firmware's strings); ISO-8859-1
# maps every byte to the character of the same value and back.
$script:Latin1 = [System.Text.Encoding]::GetEncoding(28591)
$script:ToolTimeoutMilliseconds = 600000
# How often a wait for the tool looks up, so that a stopped pipeline (Ctrl+C, an engine's
# time-out, PowerShell.Stop) is noticed at once rather than after the tool's time-out.
$script:ToolPollMilliseconds = 100

# The line each command prints when it succeeded. Exit 0 alone proves nothing: any program at
# -ToolPath that exits 0 would otherwise pass for a compliant machine.
$script:ToolSuccessPatterns = @{
    '/get'                      = '(?m)^get config command success\r?$'
    '/set'                      = '(?m)^Please Reboot computer to apply changes\r?$'
    '/check'                    = '(?m)^check command success, '
    # Without " to ..." when the new password came from standard input.
    '/ChangeSupervisorPassword' = '(?m)^supervisor password is successfully set( to |\r?$)'
    '/ChangeUserPassword'       = '(?m)^user password is successfully set( to |\r?$)'
    '/VerifyPassword'           = '(?m)^supervisor password is correct\r?$'
    '/capture'                  = '(?m)^capture command success\r?$'
}
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

# A firmware setup screen reads the scancodes of a US keyboard, so a password holding any other
# character could be set through the provider but never typed at the machine itself; and the
# command line carries it in the ANSI code page (UTF-8 elsewhere) while standard input carries
# bytes, so the same text would reach the firmware as two different passwords. Refused before
# anything runs, without quoting it.
function Assert-VelorinNewPassword {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [AllowEmptyString()] [string] $Password
    )

    if ($Password -cmatch '^[\x20-\x7E]*\z') {
        return
    }
    $exception = New-Object System.ArgumentException (
        'The new password may hold only printable ASCII characters (letters, digits, blanks and the punctuation of a US keyboard): the BIOS setup screen can take no others.')
    $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                $exception, 'VelorinBiosPasswordNotAscii', 'InvalidArgument', $null)))
}

$script:SecretMask = '********'

# Every form in which a secret can reach a text the module hands on: as given, as quoted on the
# command line, and as the tool echoes its bytes (ANSI code page on Windows, UTF-8 elsewhere)
# read back one byte per character.
function Get-VelorinSecretForm {
    param([string] $Secret)

    $forms = New-Object System.Collections.Generic.List[string]
    foreach ($encoding in @([System.Text.Encoding]::UTF8, [System.Text.Encoding]::Default)) {
        $forms.Add($script:Latin1.GetString($encoding.GetBytes($Secret)))
    }
    $forms.Add((ConvertTo-VelorinCommandLineArgument $Secret))
    $forms.Add($Secret)
    # Each text once, compared as Replace compares (ordinal): two different forms of the same
    # length are both kept. The longest first, so that no part of a longer form is left beside
    # the mask.
    $unique = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::Ordinal)
    $distinct = @($forms | Where-Object { $unique.Add($_) })
    return @($distinct | Sort-Object Length -Descending)
}

# Every text that must not leave the module (a new password the tool echoes) becomes asterisks.
function Hide-VelorinSecret {
    param([string] $Text, [string[]] $Secret)
    foreach ($value in $Secret) {
        if (-not $value) {
            continue
        }
        foreach ($form in (Get-VelorinSecretForm $value)) {
            $Text = $Text.Replace($form, $script:SecretMask)
        }
    }
    return $Text
}

# The command line as a verbose line shows it: a secret argument is masked before it is quoted.
function Format-VelorinShownCommandLine {
    param([string[]] $Arguments, [string[]] $Secret)

    $shown = foreach ($argument in $Arguments) {
        if ([System.Array]::IndexOf([string[]]$Secret, $argument) -ge 0) {
            $script:SecretMask
        }
        else {
            ConvertTo-VelorinCommandLineArgument (Hide-VelorinSecret -Text $argument -Secret $Secret)
        }
    }
    return $shown -join ' '
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
    param([int] $ExitCode, [string] $Output, [string] $Target, [string] $Message)

    $message = $Message
    if (-not $message) {
        $message = Get-VelorinToolErrorMessage -ExitCode $ExitCode -Output $Output
    }
    $reason = Get-VelorinFailureReason -ExitCode $ExitCode -Output $Output
    $exception = New-Object VelorinBiosToolException ($message, $ExitCode, $Output, $reason)
    # Also where a caller cannot name the module's exception type (a remote or other runspace).
    $exception.Data['ExitCode'] = $ExitCode
    $exception.Data['Reason'] = $reason
    $category = 'InvalidOperation'
    if ($reason -eq 'NotVelorin') {
        $category = 'NotInstalled'
    }
    elseif ($reason -eq 'UnsupportedRevision') {
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
# outside AcceptedExitCode ends the calling command with the tool's error, whose target is
# Target: the file or setting the caller works on. Secret lists texts that are hidden in
# everything handed back (the output, errors, verbose lines).
function Invoke-VelorinTool {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $ToolPath,
        # An empty argument is a text of its own: an empty option or new password.
        [Parameter(Mandatory)] [AllowEmptyString()] [string[]] $Arguments,
        [Parameter(Mandatory)] [string] $WorkingDirectory,
        [string] $MachineFile,
        [byte[]] $StandardInput,
        [string[]] $Secret = @(),
        [int[]] $AcceptedExitCode = @(0),
        [object] $Target
    )

    $tool = Resolve-VelorinToolPath -ToolPath $ToolPath -Cmdlet $Cmdlet
    $commandLine = ($Arguments | ForEach-Object { ConvertTo-VelorinCommandLineArgument $_ }) -join ' '
    Write-Verbose ('{0} {1}' -f $tool, (Format-VelorinShownCommandLine -Arguments $Arguments -Secret $Secret))

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
        Use-VelorinBomlessConsoleInput -ScriptBlock { [void]$process.Start() }
    }
    catch {
        $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $_.Exception, 'VelorinBiosToolNotStarted', 'ResourceUnavailable', $tool)))
    }
    try {
        $outputTask = $process.StandardOutput.ReadToEndAsync()
        $errorTask = $process.StandardError.ReadToEndAsync()
        Write-VelorinToolInput -Process $process -Bytes $StandardInput
        if (-not (Wait-VelorinToolExit -Process $process)) {
            $timeout = New-Object System.TimeoutException 'VelorinBiosConfigTool did not finish within 10 minutes.'
            $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                        $timeout, 'VelorinBiosToolTimeout', 'OperationTimeout', $tool)))
        }
        $output = Hide-VelorinSecret -Text $outputTask.Result -Secret $Secret
        $errorOutput = $errorTask.Result
        $exitCode = $process.ExitCode
    }
    finally {
        # Also the road of a stopped pipeline: the tool must not outlive the command, nor keep
        # its working folder open.
        Stop-VelorinToolProcess -Process $process
        $process.Dispose()
    }
    if ($errorOutput) {
        Write-Verbose (Hide-VelorinSecret -Text $errorOutput -Secret $Secret)
    }
    if ($AcceptedExitCode -notcontains $exitCode) {
        $Cmdlet.ThrowTerminatingError((New-VelorinToolError -ExitCode $exitCode -Output $output -Target $Target))
    }
    # A refusal the caller accepts (a wrong password to /VerifyPassword, a failed set in a
    # rehearsal) has no success line to look for.
    $success = $script:ToolSuccessPatterns[$Arguments[0]]
    if ($success -and ($exitCode -eq 0 -or $exitCode -eq 13) -and $output -notmatch $success) {
        $Cmdlet.ThrowTerminatingError((New-VelorinToolError -ExitCode $exitCode -Output $output -Target $Target `
                    -Message "VelorinBiosConfigTool ended with exit code $exitCode without reporting success; is '$tool' the tool?"))
    }
    return New-Object PSObject -Property @{ ExitCode = $exitCode; Output = $output }
}

# .NET Framework's Process.Start wraps a redirected standard input in a writer of
# [Console]::InputEncoding and flushes it at once: on a console whose input code page is UTF-8
# (65001, "Beta: Use Unicode UTF-8 for worldwide language support") that writes EF BB BF into
# the pipe ahead of every byte the module sends. .NET (PowerShell 7) leaves the preamble out
# itself.
$script:ProcessStartWritesInputPreamble = $PSVersionTable.PSEdition -ne 'Core'

# The same code page without a byte-order mark; $null when the encoding writes none. A console's
# input code page with a preamble is UTF-8: UTF-16 and UTF-32 are no console code pages.
function Get-VelorinBomlessEncoding {
    param([System.Text.Encoding] $Encoding)

    if ($Encoding.GetPreamble().Length -gt 0 -and $Encoding.CodePage -eq 65001) {
        return New-Object System.Text.UTF8Encoding $false
    }
    return $null
}

# Runs ScriptBlock (the start of the tool) with a BOM-less [Console]::InputEncoding where the
# process start would write a preamble, and puts the encoding back afterwards. Setting it keeps
# the console's code page (the same 65001), so the console itself does not change.
function Use-VelorinBomlessConsoleInput {
    param([Parameter(Mandatory)] [scriptblock] $ScriptBlock)

    $saved = [Console]::InputEncoding
    $bomless = $null
    if ($script:ProcessStartWritesInputPreamble) {
        $bomless = Get-VelorinBomlessEncoding -Encoding $saved
    }
    if ($bomless) {
        try {
            [Console]::InputEncoding = $bomless
        }
        catch {
            # No console whose code page could be set (SetConsoleCP fails); the tool drops a
            # leading mark itself.
            Write-Verbose 'The console input encoding could not be set; the tool drops a byte-order mark.'
            $bomless = $null
        }
    }
    try {
        & $ScriptBlock
    }
    finally {
        if ($bomless) {
            [Console]::InputEncoding = $saved
        }
    }
}

# Waits in short steps, so that a stop of the calling pipeline ends the wait; false when the
# tool did not end in time.
function Wait-VelorinToolExit {
    param([System.Diagnostics.Process] $Process)

    $clock = [System.Diagnostics.Stopwatch]::StartNew()
    while (-not $Process.WaitForExit($script:ToolPollMilliseconds)) {
        if ($clock.ElapsedMilliseconds -ge $script:ToolTimeoutMilliseconds) {
            return $false
        }
    }
    # Lets the asynchronous reads of the output reach its end.
    $Process.WaitForExit()
    return $true
}

function Stop-VelorinToolProcess {
    param([System.Diagnostics.Process] $Process)

    if ($Process.HasExited) {
        return
    }
    try {
        if ($PSVersionTable.PSVersion.Major -ge 6) {
            $Process.Kill($true)
        }
        else {
            $Process.Kill()
        }
    }
    catch [System.InvalidOperationException] {
        # It ended in the meantime.
    }
    [void]$Process.WaitForExit(5000)
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
