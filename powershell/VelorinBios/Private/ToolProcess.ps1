# Running VelorinBiosConfigTool once: starting it, feeding its standard input and reading its
# output as bytes, never through the console's code page; waiting for it within a bound.

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

# Runs the tool once in WorkingDirectory and returns its exit code and output. An exit code
# outside AcceptedExitCode ends the calling command with the tool's error, whose target is
# Target: the file or setting the caller works on. Secret lists texts that are hidden in
# everything handed back (the output, errors, verbose lines).
function Invoke-VelorinTool {
    param(
        # Made by New-VelorinToolContext.
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        # An empty argument is a text of its own: an empty option or new password.
        [Parameter(Mandatory)] [AllowEmptyString()] [string[]] $Arguments,
        [Parameter(Mandatory)] [string] $WorkingDirectory,
        [byte[]] $StandardInput,
        [string[]] $Secret = @(),
        [int[]] $AcceptedExitCode = @(0),
        [object] $Target
    )

    $Cmdlet = $Context.Cmdlet
    $tool = Resolve-VelorinToolPath -Context $Context
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
    if ($Context.MachineFile) {
        $start.EnvironmentVariables['VELORIN_MACHINE'] = Resolve-VelorinFilePath -Path $Context.MachineFile -Cmdlet $Cmdlet
    }

    $process = New-Object System.Diagnostics.Process
    $process.StartInfo = $start
    try {
        Use-VelorinBomlessConsoleInput -ScriptBlock { param($started) [void]$started.Start() } -ArgumentList $process
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

# Runs ScriptBlock (the start of the tool) on ArgumentList with a BOM-less
# [Console]::InputEncoding where the process start would write a preamble, and puts the
# encoding back afterwards. Setting it keeps the console's code page (the same 65001), so the
# console itself does not change.
function Use-VelorinBomlessConsoleInput {
    param([Parameter(Mandatory)] [scriptblock] $ScriptBlock, [object[]] $ArgumentList = @())

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
        & $ScriptBlock @ArgumentList
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
