# What the module hands the tool and how it ends it: input files it copies, the tool's success
# line, and a stopped pipeline.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $machine = New-TestMachine
    $secret = ConvertTo-TestSecureString $Password
    $file = New-TestConfiguration -Line @('+++Boot Mode', '*UEFI', '')
    # The module's temporary folders go here, where the tests can count them (TMPDIR on Unix,
    # TMP on Windows).
    $savedTemp = $env:TMPDIR, $env:TMP
    $env:TMPDIR = Join-Path $TestDrive 'tmp'
    $env:TMP = $env:TMPDIR
    [void](New-Item -ItemType Directory -Path $env:TMPDIR)

    function Get-WorkFolder {
        @(Get-ChildItem -LiteralPath $env:TMPDIR -Filter 'VelorinBios-*')
    }

    # Runs the script in a PowerShell of its own with the module; false when it did not end
    # within the time given (then Unblock runs, so that no test waits for ever).
    function Invoke-Bounded([scriptblock] $Script, [int] $Seconds, [scriptblock] $Unblock) {
        $shell = [powershell]::Create()
        [void]$shell.AddScript("Import-Module '$ModulePath'").AddStatement().AddScript($Script.ToString())
        $handle = $shell.BeginInvoke()
        $ended = $handle.AsyncWaitHandle.WaitOne($Seconds * 1000)
        if (-not $ended) {
            & $Unblock
            [void]$handle.AsyncWaitHandle.WaitOne(30000)
        }
        $output = $null
        if ($handle.IsCompleted) {
            $output = $shell.EndInvoke($handle) -join "`n"
        }
        $errors = @($shell.Streams.Error)
        $shell.Dispose()
        return @{ Ended = $ended; Errors = $errors; Output = $output }
    }
}

AfterAll {
    $env:TMPDIR, $env:TMP = $savedTemp
}

Describe 'Input files' {
    It 'refuses <Case> with the tool''s exit code 4 before the tool runs, and leaves no temporary folder' -ForEach @(
        @{ Case = 'a directory'; Needs = @(); Make = { $path = Join-Path $TestDrive 'folder.txt'; [void](New-Item -ItemType Directory -Path $path -Force); $path } }
        @{ Case = 'a character device'; Needs = @('CharacterDevice'); Make = { '/dev/zero' } }
        @{ Case = 'a link to a character device'; Needs = @('CharacterDevice', 'SymbolicLink'); Make = { $path = Join-Path $TestDrive 'zero-link.txt'; & ln -sf /dev/zero $path; $path } }
    ) {
        Assert-TestCapability $Needs
        $path = & $Make
        $failure = Get-TerminatingError { Test-VelorinBiosConfiguration -Path $path -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 4
        $failure.Exception.Message | Should -BeExactly 'Input file not found'
        $failure.Exception.Output | Should -Match '^input file not exist or input file is empty'
        $failure.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool4,Test-VelorinBiosConfiguration'
        Get-WorkFolder | Should -BeNullOrEmpty
    }

    It 'refuses a FIFO at once, from <Command>, without waiting for a writer' -ForEach @(
        @{ Command = 'Test-VelorinBiosConfiguration'; Script = 'try {{ Test-VelorinBiosConfiguration -Path "{0}" -MachineFile "{1}" }} catch {{ $_.Exception.Message }}' }
        @{ Command = 'Set-VelorinBiosConfiguration'; Script = 'try {{ Set-VelorinBiosConfiguration -Path "{0}" -Password (New-Object System.Security.SecureString) -MachineFile "{1}" }} catch {{ $_.Exception.Message }}' }
        @{ Command = 'the detection script'; Script = '& "{2}" -BaselinePath "{0}" -MachineFile "{1}" -ModulePath "{3}" -ToolPath "{4}"' }
    ) {
        Assert-TestCapability Fifo
        $fifo = Join-Path $TestDrive ('fifo-' + [guid]::NewGuid().ToString('N'))
        & mkfifo $fifo
        $detect = Join-Path $RepoRoot 'deploy/intune/Detect-VelorinBiosBaseline.ps1'
        $text = $Script -f $fifo, $machine, $detect, $ModulePath, $Tool
        $run = Invoke-Bounded ([scriptblock]::Create($text)) 20 {
            # Opening the FIFO for writing lets a reader blocked in its open go on.
            $writer = [System.IO.File]::OpenWrite($fifo)
            $writer.Dispose()
        }
        $run.Ended | Should -BeTrue
        $run.Output | Should -Match 'Input file not found$'
        Get-WorkFolder | Should -BeNullOrEmpty
    }

    It 'refuses a file larger than 16 MiB with the tool''s exit code 6 before the tool runs, and takes one of exactly 16 MiB' {
        $large = Join-Path $TestDrive 'large.txt'
        $stream = [System.IO.File]::Create($large)
        $stream.SetLength(16MB + 1)
        $stream.Dispose()
        $recorder = Start-ToolRecording 'large'
        try {
            $failure = Get-TerminatingError { Set-VelorinBiosConfiguration -Path $large -Password $secret -ToolPath $recorder -MachineFile $machine }
            $stream = [System.IO.File]::OpenWrite($large)
            $stream.SetLength(16MB)
            $stream.Dispose()
            # A NUL byte ends a line's text: the tool reads empty lines and finds nothing to check.
            $compliance = Test-VelorinBiosConfiguration -Path $large -ToolPath $recorder -MachineFile $machine
        }
        finally {
            $runs = Stop-ToolRecording
        }
        $failure.Exception.ExitCode | Should -Be 6
        $failure.Exception.Output | Should -Match '^input file is too large'
        $compliance.ExitCode | Should -Be 0
        $runs.Count | Should -Be 1
        $runs[0].Arguments[0] | Should -Be '/check'
        Get-WorkFolder | Should -BeNullOrEmpty
    }
}

Describe 'The tool''s success' {
    It 'is its success line, not exit code 0 alone: <Command>' -ForEach @(
        @{ Command = 'Test-VelorinBiosConfiguration'; Script = { Test-VelorinBiosConfiguration -Path $file -ToolPath '/bin/true' } }
        @{ Command = 'Test-VelorinBiosConfiguration -Name'; Script = { Test-VelorinBiosConfiguration -Name 'Boot Mode' -Value 'UEFI' -ToolPath '/bin/true' } }
        @{ Command = 'Set-VelorinBiosSetting'; Script = { Set-VelorinBiosSetting -Name 'Boot Mode' -Value 'UEFI' -Password $secret -ToolPath '/bin/true' } }
        @{ Command = 'Set-VelorinBiosPassword'; Script = { Set-VelorinBiosPassword -Supervisor -NewPassword $secret -Password $secret -ToolPath '/bin/true' } }
        @{ Command = 'Get-VelorinBiosSetting'; Script = { Get-VelorinBiosSetting -ToolPath '/bin/true' } }
    ) {
        Assert-TestCapability UnixTool
        $failure = Get-TerminatingError $Script
        $failure.Exception.ExitCode | Should -Be 0
        $failure.Exception.Message | Should -Match 'without reporting success'
        $failure.FullyQualifiedErrorId | Should -BeLike 'VelorinBiosTool0,*'
    }

    It 'gives no compliant machine to the fleet scripts when another program stands at -ToolPath' {
        Assert-TestCapability UnixTool
        $detect = Join-Path $RepoRoot 'deploy/intune/Detect-VelorinBiosBaseline.ps1'
        $output = & $detect -BaselinePath $file -ModulePath $ModulePath -ToolPath '/bin/true' -MachineFile $machine
        $LASTEXITCODE | Should -Be 1
        $output | Should -Match '^Check failed \(exit code 0\): VelorinBiosConfigTool ended with exit code 0 without reporting success'
    }
}

Describe 'A stopped pipeline' {
    It 'ends the tool and removes its temporary folder' {
        Assert-TestCapability UnixTool
        $record = Join-Path $TestDrive 'sleeper.txt'
        $env:VELORIN_SLEEP_RECORD = $record
        $shell = [powershell]::Create()
        [void]$shell.AddScript("Import-Module '$ModulePath'").AddStatement().AddCommand('Test-VelorinBiosConfiguration').
            AddParameter('Path', $file).AddParameter('ToolPath', (Join-Path $PSScriptRoot 'sleep-tool.sh'))
        $handle = $shell.BeginInvoke()
        try {
            $clock = [System.Diagnostics.Stopwatch]::StartNew()
            while (-not (Test-Path -LiteralPath $record) -and $clock.Elapsed.TotalSeconds -lt 30) {
                Start-Sleep -Milliseconds 50
            }
            $processId, $folder = [System.IO.File]::ReadAllText($record).Trim().Split(' ', 2)
            $folder | Should -BeLike (Join-Path $env:TMPDIR 'VelorinBios-*')
            $stopping = $shell.BeginStop($null, $null)
            $stopped = $stopping.AsyncWaitHandle.WaitOne(20000)
            if (-not $stopped) {
                # Lets the waiting command go on, so that the test itself ends.
                Stop-Process -Id $processId -ErrorAction SilentlyContinue
            }
            $stopped | Should -BeTrue
            $shell.InvocationStateInfo.State | Should -Be 'Stopped'
            Get-Process -Id $processId -ErrorAction SilentlyContinue | Should -BeNullOrEmpty
            Test-Path -LiteralPath $folder | Should -BeFalse
        }
        finally {
            Remove-Item Env:VELORIN_SLEEP_RECORD
            $shell.Dispose()
        }
    }
}

Describe 'The standard input of the tool' {
    BeforeEach {
        $savedInputEncoding = [Console]::InputEncoding
    }

    AfterEach {
        [Console]::InputEncoding = $savedInputEncoding
        InModuleScope VelorinBios { $script:ProcessStartWritesInputPreamble = $PSVersionTable.PSEdition -ne 'Core' }
    }

    # .NET Framework (the Desktop edition) writes the preamble of [Console]::InputEncoding into
    # the pipe when the process starts; the start must see an encoding without one there.
    It 'starts the tool under <Encoding> with a preamble of <During> bytes (Desktop: <Desktop>) and puts the encoding back' -ForEach @(
        @{ Encoding = 'UTF-8 with BOM'; Make = { [System.Text.Encoding]::UTF8 }; Desktop = $true; During = 0; CodePage = 65001 }
        @{ Encoding = 'UTF-8 with BOM'; Make = { [System.Text.Encoding]::UTF8 }; Desktop = $false; During = 3; CodePage = 65001 }
        @{ Encoding = 'UTF-8 without BOM'; Make = { New-Object System.Text.UTF8Encoding $false }; Desktop = $true; During = 0; CodePage = 65001 }
        @{ Encoding = 'ASCII'; Make = { [System.Text.Encoding]::ASCII }; Desktop = $true; During = 0; CodePage = 20127 }
    ) {
        $encoding = & $Make
        [Console]::InputEncoding = $encoding
        $seen = InModuleScope VelorinBios -Parameters @{ Desktop = $Desktop } {
            param($Desktop)
            $script:ProcessStartWritesInputPreamble = $Desktop
            Use-VelorinBomlessConsoleInput -ScriptBlock { [Console]::InputEncoding }
        }
        $seen.GetPreamble().Length | Should -Be $During
        $seen.CodePage | Should -Be $CodePage
        [Console]::InputEncoding.GetPreamble().Length | Should -Be $encoding.GetPreamble().Length
        [Console]::InputEncoding.CodePage | Should -Be $CodePage
    }

    It 'puts the encoding back when the start fails' {
        [Console]::InputEncoding = [System.Text.Encoding]::UTF8
        $failure = $null
        try {
            InModuleScope VelorinBios {
                $script:ProcessStartWritesInputPreamble = $true
                Use-VelorinBomlessConsoleInput -ScriptBlock { throw 'no start' }
            }
        }
        catch {
            $failure = $_
        }
        "$failure" | Should -Be 'no start'
        [Console]::InputEncoding.GetPreamble().Length | Should -Be 3
    }

    It 'runs the tool through the BOM-less start on the Desktop road' {
        [Console]::InputEncoding = [System.Text.Encoding]::UTF8
        InModuleScope VelorinBios { $script:ProcessStartWritesInputPreamble = $true }
        $recorder = Start-ToolRecording 'bomless'
        try {
            Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $secret -ToolPath $recorder -MachineFile $machine
        }
        finally {
            $runs = Stop-ToolRecording
        }
        $runs.Count | Should -Be 1
        $runs[0].Input | Should -BeExactly "$Password`n"
        [Console]::InputEncoding.GetPreamble().Length | Should -Be 3
    }

    # The writer .NET gives a redirected standard input with a UTF-8 encoding writes EF BB BF
    # as .NET Framework does on a UTF-8 console; the tool takes the password after it.
    It 'lets the tool drop the byte-order mark that a process start writes' {
        $start = New-Object System.Diagnostics.ProcessStartInfo
        $start.FileName = $Tool
        $start.Arguments = '/VerifyPassword /pwstdin'
        $start.UseShellExecute = $false
        $start.RedirectStandardInput = $true
        $start.RedirectStandardOutput = $true
        $start.StandardInputEncoding = [System.Text.Encoding]::UTF8
        $start.EnvironmentVariables['VELORIN_MACHINE'] = $machine
        $process = [System.Diagnostics.Process]::Start($start)
        $process.StandardInput.Write("$Password`n")
        $process.StandardInput.Close()
        $output = $process.StandardOutput.ReadToEnd()
        $process.WaitForExit()
        $output | Should -Match '(?m)^supervisor password is correct\r?$'
        $process.ExitCode | Should -Be 0
    }
}

Describe 'Masking' {
    # Two 2-byte characters and a blank: the UTF-8 form read back one byte per character and the
    # quoted form are both two characters longer than the secret, and differ.
    It 'masks each form of a secret, also forms of the same length: <Form>' -ForEach @(
        @{ Form = 'as typed'; Shown = { param($s) $s } }
        @{ Form = 'UTF-8 read as bytes'; Shown = { param($s) $Latin1.GetString([System.Text.Encoding]::UTF8.GetBytes($s)) } }
        @{ Form = 'quoted'; Shown = { param($s) '"' + $s + '"' } }
    ) {
        $e = [string][char]0xE9
        $secretText = "$e $e"
        $shown = & $Shown $secretText
        $masked = InModuleScope VelorinBios -Parameters @{ Text = "before $shown after"; Secret = $secretText } {
            param($Text, $Secret)
            Hide-VelorinSecret -Text $Text -Secret $Secret
        }
        $masked | Should -BeExactly 'before ******** after'
    }
}
