# Set-VelorinBiosConfiguration, Set-VelorinBiosSetting and Set-VelorinBiosPassword: results,
# -WhatIf, errors, and where the passwords go.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $secret = ConvertTo-TestSecureString $Password

    function Get-Current([string] $Name) {
        (Get-VelorinBiosSetting -Name $Name -MachineFile $machine).CurrentValue
    }

    # -WhatIf lines go to the host, so they are read from a PowerShell of their own.
    function Invoke-WhatIf([string] $Command) {
        $script = "Import-Module '$ModulePath'; `$env:VELORIN_BIOS_TOOL = '$Tool'; " +
        "`$p = ConvertTo-SecureString 'unused' -AsPlainText -Force; $Command -WhatIf"
        return (& $Pwsh -NoProfile -NonInteractive -Command $script) -join "`n"
    }
}

Describe 'Set-VelorinBiosConfiguration' {
    BeforeEach {
        $machine = New-TestMachine
        $file = New-TestConfiguration -Line @(
            '+++Wake On LAN', 'Enabled', 'Disabled', '*LAN Only', ''
            '+++Boot Mode', '*UEFI', ''
            '+++Lock Mode', '*Locked', 'Open', '')
    }

    It 'sets the file, saves, and tells what changed, what stayed and what was read only' {
        $result = Set-VelorinBiosConfiguration -Path $file -Password $secret -MachineFile $machine
        $result.PSObject.TypeNames[0] | Should -Be 'Velorin.BiosSetResult'
        $result.Changed | ForEach-Object { "$($_.Name)=$($_.Value)" } | Should -Be 'Wake On LAN=LAN Only'
        $result.Unchanged | Should -Be 1
        $result.Skipped | ForEach-Object { "$($_.Name)=$($_.Value)" } | Should -Be 'Lock Mode=Locked'
        $result.Failed | Should -Be 0
        $result.RebootRequired | Should -BeTrue
        Get-Current 'Wake On LAN' | Should -Be 'LAN Only'
    }

    It 'refuses a file that contradicts itself before the tool runs, naming each entry' {
        $file = New-TestConfiguration -Line @('+++Wake On LAN', '*Enabled', '', '+++Wake On LAN', '*LAN Only', '', '+++Boot Mode', '*UEFI', '*Legacy', '')
        $tool = Start-ToolRecording 'conflict'
        $failure = Get-TerminatingError { Set-VelorinBiosConfiguration -Path $file -Password $secret -Force -ToolPath $tool -MachineFile $machine }
        $runs = Stop-ToolRecording
        $runs.Count | Should -Be 0
        $failure.FullyQualifiedErrorId | Should -Match '^VelorinBiosBaselineConflict'
        $failure.TargetObject | Should -Be $file
        $failure.Exception.Message | Should -BeExactly ('2 baseline entries contradict each other: Wake On LAN: the block in line 4 wants another option ' +
            'than an earlier one; Boot Mode: the block in line 7 marks more than one option; nothing was set')
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'counts entries that match nothing as failed with -Force' {
        $file = New-TestConfiguration -Line @('+++Gone', '*x', '', '+++Wake On LAN', '*Enabled', '')
        $result = Set-VelorinBiosConfiguration -Path $file -Password $secret -Force -MachineFile $machine -WarningAction SilentlyContinue
        $result.Failed | Should -Be 1
        $result.Changed.Name | Should -Be 'Wake On LAN'
    }

    It 'with -WhatIf shows what would change and leaves the saved state as it was' {
        Set-VelorinBiosConfiguration -Path $file -Password $secret -MachineFile $machine -WhatIf | Should -BeNullOrEmpty
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
        Get-Current 'Wake On LAN' | Should -Be 'Disabled'
        $shown = Invoke-WhatIf "Set-VelorinBiosConfiguration -Path '$file' -Password `$p -MachineFile '$machine'"
        $shown | Should -Match "What if: .*Change from 'Disabled' to 'LAN Only'.*BIOS setting 'Wake On LAN'"
        $shown | Should -Not -Match 'Boot Mode'
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'fails on a wrong password with the exit code and the message, and sets nothing' {
        $failure = Get-TerminatingError { Set-VelorinBiosConfiguration -Path $file -Password (ConvertTo-TestSecureString 'wrong') -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 2
        $failure.Exception.Message | Should -BeExactly 'Wrong password'
        $failure.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool2,Set-VelorinBiosConfiguration'
        $failure.Exception.Output | Should -Match 'Incorrect Password'
        Get-Current 'Wake On LAN' | Should -Be 'Disabled'
    }

    It 'ends on a machine without a supervisor password with exit code 10' {
        $open = New-TestMachine -Text ($SmallMachine -replace 'supervisor-password ".*"', 'supervisor-password ""') -Name 'open.txt'
        $failure = Get-TerminatingError { Set-VelorinBiosConfiguration -Path $file -Password (New-Object System.Security.SecureString) -MachineFile $open }
        $failure.Exception.ExitCode | Should -Be 10
    }
}

Describe 'Set-VelorinBiosSetting' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'reports <Name> = <Value>: a change, no change or a read-only option' -ForEach @(
        @{ Name = 'wake on lan'; Value = 'lan only'; Changed = 'Wake On LAN=LAN Only'; Unchanged = 0; Skipped = $null }
        @{ Name = 'Wake On LAN'; Value = 'Disabled'; Changed = $null; Unchanged = 1; Skipped = $null }
        @{ Name = 'lock mode'; Value = 'locked'; Changed = $null; Unchanged = 0; Skipped = 'Lock Mode=Locked' }
    ) {
        $result = Set-VelorinBiosSetting -Name $Name -Value $Value -Password $secret -MachineFile $machine -ErrorAction SilentlyContinue
        $result.Changed | ForEach-Object { "$($_.Name)=$($_.Value)" } | Should -Be $Changed
        $result.Skipped | ForEach-Object { "$($_.Name)=$($_.Value)" } | Should -Be $Skipped
        $result.Unchanged | Should -Be $Unchanged
        $result.Failed | Should -Be 0
    }

    It 'with -WhatIf changes nothing' {
        Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $secret -MachineFile $machine -WhatIf
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
        Invoke-WhatIf "Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password `$p -MachineFile '$machine'" |
            Should -Match "Change from 'Disabled' to 'Enabled'"
    }

    It 'fails on an item the machine lacks with exit code 7' {
        $failure = Get-TerminatingError { Set-VelorinBiosSetting -Name 'Turbo' -Value 'On' -Password $secret -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 7
        $failure.Exception.Message | Should -BeExactly 'Target item not found'
    }
}

Describe 'Set-VelorinBiosPassword' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'sets a new supervisor password that the next command needs' {
        $new = ConvertTo-TestSecureString 'N3w-one'
        Set-VelorinBiosPassword -Supervisor -NewPassword $new -Password $secret -MachineFile $machine | Should -BeNullOrEmpty
        (Get-TerminatingError { Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $secret -MachineFile $machine }).Exception.ExitCode |
            Should -Be 2
        (Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $new -MachineFile $machine).Changed.Count | Should -Be 1
    }

    It 'sets a user password, refuses one over 20 characters, and hides the new one in the error' {
        Set-VelorinBiosPassword -User -NewPassword (ConvertTo-TestSecureString 'user1') -Password $secret -MachineFile $machine
        $long = 'L' * 21
        $failure = Get-TerminatingError { Set-VelorinBiosPassword -User -NewPassword (ConvertTo-TestSecureString $long) -Password $secret -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 11
        ($failure | Out-String) + $failure.Exception.Output | Should -Not -Match $long
    }

    It 'removes the password with an empty new one, through the documented empty argument' {
        Set-VelorinBiosPassword -Supervisor -NewPassword (New-Object System.Security.SecureString) -Password $secret -MachineFile $machine
        [System.IO.File]::ReadAllText("$machine.nvram") | Should -Match 'supervisor-password ""'
    }

    It 'with -WhatIf runs nothing' {
        Set-VelorinBiosPassword -Supervisor -NewPassword (ConvertTo-TestSecureString 'x') -Password $secret -MachineFile $machine -WhatIf
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'removes the password when the new one is empty, as its help says' {
        $empty = New-Object System.Security.SecureString
        Set-VelorinBiosPassword -Supervisor -NewPassword $empty -Password $secret -MachineFile $machine
        $failure = Get-TerminatingError { Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $empty -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 10
    }

    It 'refuses a new password holding <Case> before anything runs, and does not quote it' -ForEach @(
        @{ Case = 'an accented letter'; Text = 'p' + [char]0xE4 + 'ssword' }
        @{ Case = 'a euro sign'; Text = 'pass' + [char]0x20AC }
        @{ Case = 'a tab'; Text = "tab`tbed" }
        @{ Case = 'a line feed at the end'; Text = "zqfeed`n" }
        @{ Case = 'a DEL'; Text = 'del' + [char]0x7F }
    ) {
        $recorder = Start-ToolRecording 'refused'
        try {
            $failure = Get-TerminatingError {
                Set-VelorinBiosPassword -User -NewPassword (ConvertTo-TestSecureString $Text) -Password $secret -ToolPath $recorder -MachineFile $machine
            }
        }
        finally {
            $runs = Stop-ToolRecording
        }
        $failure.FullyQualifiedErrorId | Should -Be 'VelorinBiosPasswordNotAscii,Set-VelorinBiosPassword'
        $failure.Exception.Message | Should -Match 'printable ASCII'
        ($failure | Out-String) + $failure.Exception.Message | Should -Not -Match ([regex]::Escape($Text.TrimEnd()))
        $runs.Count | Should -Be 0
    }

    It 'takes a current password beyond ASCII as it is' {
        $accented = New-TestMachine -Name 'accented.txt' -Text ($SmallMachine -replace 'supervisor-password ".*"', 'supervisor-password "p\xE4ss"')
        $current = ConvertTo-TestSecureString ('p' + [char]0xE4 + 'ss')
        Set-VelorinBiosPassword -Supervisor -NewPassword $secret -Password $current -MachineFile $accented
        (Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $secret -MachineFile $accented).Changed.Count | Should -Be 1
    }

    It 'sets a new password of every printable ASCII character that the next command then presents' {
        $all = -join ([char[]](0x20..0x7E))[0..19]
        $new = ConvertTo-TestSecureString $all
        Set-VelorinBiosPassword -Supervisor -NewPassword $new -Password $secret -MachineFile $machine
        (Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $new -MachineFile $machine).Changed.Count | Should -Be 1
    }
}

Describe 'Empty texts' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'reach the tool as an empty option, which it does not find: <Command>' -ForEach @(
        @{ Command = 'Set-VelorinBiosSetting'; Script = { Set-VelorinBiosSetting -Name 'Boot Mode' -Value '' -Password $secret -MachineFile $machine } }
        @{ Command = 'Test-VelorinBiosConfiguration'; Script = { Test-VelorinBiosConfiguration -Name 'Boot Mode' -Value '' -MachineFile $machine } }
    ) {
        $failure = Get-TerminatingError $Script
        $failure.Exception.ExitCode | Should -Be 8
        $failure.Exception.Message | Should -BeExactly 'Target option not found'
    }
}

Describe 'Passwords' {
    BeforeEach {
        Assert-TestCapability RecordingTool
    }

    BeforeAll {
        if (-not (Test-TestCapability RecordingTool)) { return }
        $recorder = Start-ToolRecording 'records'
        $machine = New-TestMachine
        $file = New-TestConfiguration -Line @('+++Wake On LAN', '*Enabled', '')
        $new = 'Fresh-Pass9'
        $log = & {
            $VerbosePreference = 'Continue'
            Get-VelorinBiosSetting -ToolPath $recorder -MachineFile $machine
            Test-VelorinBiosConfiguration -Path $file -ToolPath $recorder -MachineFile $machine
            Set-VelorinBiosConfiguration -Path $file -Password $secret -ToolPath $recorder -MachineFile $machine
            Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Disabled' -Password $secret -ToolPath $recorder -MachineFile $machine
            Set-VelorinBiosPassword -Supervisor -NewPassword (ConvertTo-TestSecureString $new) -Password $secret -ToolPath $recorder -MachineFile $machine
            try {
                Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $secret -ToolPath $recorder -MachineFile $machine
            }
            catch {
                $_ | Out-String
                $_.Exception.Output
            }
        } *>&1 | Out-String
        $runs = Stop-ToolRecording
    }

    It 'never stand in a command line' {
        $runs.Count | Should -Be 6
        foreach ($run in $runs) {
            $run.Arguments | Should -Not -Contain $Password
            ($run.Arguments -join ' ') | Should -Not -Match ([regex]::Escape($Password))
        }
    }

    It 'go to the standard input of the commands that need one, and nowhere else' {
        $runs[0].Input | Should -BeExactly ''
        $runs[1].Input | Should -BeExactly ''
        foreach ($run in $runs[2..4]) {
            $run.Arguments | Should -Contain '/pwstdin'
            $run.Input | Should -BeLikeExactly "$Password`n*"
        }
    }

    It 'hand the new password over on standard input after the current one, as the help says' {
        $runs[4].Arguments | Should -Be @('/ChangeSupervisorPassword', '/newpwstdin', '/pwstdin')
        $runs[4].Input | Should -BeExactly "$Password`n$new`n"
        (Get-Help Set-VelorinBiosPassword -Full | Out-String) | Should -Match 'neither stands on a command line'
    }

    It 'appear in no output, error or verbose line' {
        $log | Should -Not -Match ([regex]::Escape($Password))
        $log | Should -Not -Match ([regex]::Escape($new))
        $log | Should -Match 'Wrong password'
    }
}

Describe 'A new password with quotes, blanks and a backslash' {
    BeforeEach {
        Assert-TestCapability RecordingTool
    }

    BeforeAll {
        if (-not (Test-TestCapability RecordingTool)) { return }
        $recorder = Start-ToolRecording 'quoted'
        # The save fails, so the tool's output travels in the error.
        $machine = New-TestMachine -Name 'failing-save.txt' -Text ($SmallMachine + "`nanswer Save retcode=12`n")
        $new = 'se"cr et\'
        $transcript = Join-Path $TestDrive 'transcript.txt'
        $change = {
            try {
                Set-VelorinBiosPassword -User -NewPassword (ConvertTo-TestSecureString $new) -Password $secret `
                    -ToolPath $recorder -MachineFile $machine -Verbose
            }
            catch {
                $_
            }
        }
        try {
            # Once for the transcript, with the verbose lines on the host; once into a variable.
            [void](Start-Transcript -LiteralPath $transcript)
            try {
                & $change | Out-Host
            }
            finally {
                [void](Stop-Transcript)
            }
            $stream = & $change *>&1
        }
        finally {
            $runs = Stop-ToolRecording
        }
        $failure = $stream | Where-Object { $_ -is [System.Management.Automation.ErrorRecord] } | Select-Object -First 1
    }

    It 'reaches the tool whole' {
        $runs[0].Arguments | Should -Be @('/ChangeUserPassword', '/newpwstdin', '/pwstdin')
        $runs[0].Input | Should -BeExactly "$Password`n$new`n"
    }

    It 'appears in no verbose line, transcript, error record or exception property' {
        $failure.Exception.ExitCode | Should -Be 12
        $failure.Exception.Output | Should -Match '(?m)^user password is successfully set\r?$'
        $texts = @(
            ($stream | Out-String)
            [System.IO.File]::ReadAllText($transcript)
            ($failure | Out-String)
            ($failure | Format-List * -Force | Out-String)
            $failure.TargetObject
        ) + @($failure.Exception.PSObject.Properties | ForEach-Object { [string]$_.Value })
        $stream | Where-Object { $_ -is [System.Management.Automation.VerboseRecord] } | Should -Not -BeNullOrEmpty
        [System.IO.File]::ReadAllText($transcript) | Should -Match '/ChangeUserPassword /newpwstdin /pwstdin'
        foreach ($text in $texts) {
            $text | Should -Not -Match 'cr et'
        }
    }
}
