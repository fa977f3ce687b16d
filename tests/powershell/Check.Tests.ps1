# Test-VelorinBiosConfiguration: /check as objects.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $machine = New-TestMachine
}

Describe 'Test-VelorinBiosConfiguration' {
    It 'finds a machine that matches its own export compliant, items without options not checked' {
        $path = Join-Path $TestDrive 'own.txt'
        Export-VelorinBiosConfiguration -Path $path -MachineFile $machine
        # The asset tag has no option to choose: -Force leaves it out.
        $compliance = Test-VelorinBiosConfiguration -Path $path -Force -MachineFile $machine
        $compliance.PSObject.TypeNames[0] | Should -Be 'Velorin.BiosCompliance'
        $compliance.Compliant | Should -BeTrue
        $compliance.ExitCode | Should -Be 0
        $compliance.Differences.Count | Should -Be 0
        $compliance.Matching | Should -Be 4
        $compliance.NotChecked | Should -Be 1
    }

    It 'lists each differing item with its current and its wanted option' {
        $path = New-TestConfiguration -Line @(
            '+++Wake On LAN', 'Enabled', 'Disabled', '*LAN Only', ''
            '+++Boot Mode', '*UEFI', ''
            '+++Langue', 'English', ('*Fran' + [char]0xE7 + 'ais'), '')
        $compliance = Test-VelorinBiosConfiguration -Path $path -MachineFile $machine
        $compliance.Compliant | Should -BeFalse
        $compliance.ExitCode | Should -Be 13
        $compliance.Matching | Should -Be 1
        $compliance.Differences[0].PSObject.TypeNames[0] | Should -Be 'Velorin.BiosDifference'
        $compliance.Differences | ForEach-Object { '{0}|{1}|{2}' -f $_.Name, $_.Current, $_.Wanted } |
            Should -Be @('Wake On LAN|Disabled|LAN Only', ('Langue|English|Fran' + [char]0xE7 + 'ais'))
    }

    It 'compares one item typed as -Name and -Value' {
        (Test-VelorinBiosConfiguration -Name 'wake on lan' -Value 'disabled' -MachineFile $machine).Compliant | Should -BeTrue
        $compliance = Test-VelorinBiosConfiguration -Name 'Wake On LAN' -Value 'Enabled' -MachineFile $machine
        $compliance.Differences.Wanted | Should -Be 'Enabled'
        $compliance.Matching | Should -Be 0
    }

    It 'returns the bare answer with -Quiet' {
        Test-VelorinBiosConfiguration -Name 'Boot Mode' -Value 'UEFI' -Quiet -MachineFile $machine | Should -BeExactly $true
        Test-VelorinBiosConfiguration -Name 'Wake On LAN' -Value 'Enabled' -Quiet -MachineFile $machine | Should -BeExactly $false
    }

    It 'counts entries that match nothing as not checked with -Force, and fails on them without' {
        $path = New-TestConfiguration -Line @('+++No Such Item', '*x', '', '+++Boot Mode', '*UEFI', '')
        $compliance = Test-VelorinBiosConfiguration -Path $path -Force -MachineFile $machine
        $compliance.Compliant | Should -BeTrue
        $compliance.NotChecked | Should -Be 1
        $compliance.Matching | Should -Be 1
        $failure = Get-TerminatingError { Test-VelorinBiosConfiguration -Path $path -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 9
        $failure.Exception.Message | Should -BeExactly 'Wrong description or option included in input file'
    }

    It 'fails on an unknown option typed with -Value' {
        $failure = Get-TerminatingError { Test-VelorinBiosConfiguration -Name 'Boot Mode' -Value 'Floppy' -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be 8
        $failure.Exception.Message | Should -BeExactly 'Target option not found'
    }

    It 'fails on a file that is not there, before the tool runs' {
        $failure = Get-TerminatingError { Test-VelorinBiosConfiguration -Path (Join-Path $TestDrive 'missing.txt') -MachineFile $machine }
        $failure.FullyQualifiedErrorId | Should -BeLike 'VelorinBiosConfigurationNotFound,*'
    }

    It 'hands a file at any path to the tool unchanged, a byte-order mark included' {
        $folder = Join-Path $TestDrive 'some folder'
        [void](New-Item -ItemType Directory -Path $folder -Force)
        $path = Join-Path $folder 'with bom.txt'
        [System.IO.File]::WriteAllBytes($path, [byte[]](0xEF, 0xBB, 0xBF) + $Latin1.GetBytes("+++Boot Mode`r`n*UEFI`r`n`r`n"))
        $failure = Get-TerminatingError { Test-VelorinBiosConfiguration -Path $path -MachineFile $machine }
        $failure.Exception.ExitCode | Should -BeIn @(6, 9)
    }
}
