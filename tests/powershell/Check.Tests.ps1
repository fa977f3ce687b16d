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

Describe 'Entries that the tool leaves out' {
    It 'are named and keep the machine from being compliant: <Case>' -ForEach @(
        @{ Case = 'an option in the wrong letter case'; Line = @('+++Wake On LAN', '*enabled', ''); Name = 'Wake On LAN'; Problem = 'OptionNotSelectable' }
        @{ Case = 'an option with a trailing blank'; Line = @('+++Boot Mode', '*UEFI ', ''); Name = 'Boot Mode'; Problem = 'OptionNotSelectable' }
        @{ Case = 'a read-only option'; Line = @('+++Boot Mode', '*Legacy', ''); Name = 'Boot Mode'; Problem = 'OptionNotSelectable' }
        @{ Case = 'an indented item line'; Line = @('    +++Wake On LAN', '*Disabled', ''); Name = '    +++Wake On LAN'; Problem = 'NotAnItemLine' }
        @{ Case = 'an item named again with another option'; Line = @('+++Wake On LAN', '*Enabled', '', '+++Wake On LAN', '*LAN Only', ''); Name = 'Wake On LAN'; Problem = 'ConflictingEntries' }
        @{ Case = 'a block with two stars'; Line = @('+++Wake On LAN', '*Disabled', '*Enabled', ''); Name = 'Wake On LAN'; Problem = 'SeveralWantedOptions' }
    ) {
        $path = New-TestConfiguration -Line (@('+++Langue', '*English', '') + $Line)
        $compliance = Test-VelorinBiosConfiguration -Path $path -Force -MachineFile $machine
        $compliance.Compliant | Should -BeFalse
        $compliance.Matching | Should -Be 1
        $compliance.Unmatched.Count | Should -Be 1
        $compliance.Unmatched[0].PSObject.TypeNames[0] | Should -Be 'Velorin.BiosUnmatchedEntry'
        $compliance.Unmatched[0].Name | Should -BeExactly $Name
        $compliance.Unmatched[0].Problem | Should -Be $Problem
        $compliance.NotOnModel.Count | Should -Be 0
        Test-VelorinBiosConfiguration -Path $path -Force -Quiet -MachineFile $machine | Should -BeExactly $false
    }

    It 'count an item the machine lacks as not on this model, and an item without options as nothing wanted' {
        $path = New-TestConfiguration -Line @('+++Langue', '*English', '', '+++Turbo', '*On', '', '+++Asset Tag', '', '+++Asset Tag', '')
        $compliance = Test-VelorinBiosConfiguration -Path $path -Force -MachineFile $machine
        $compliance.Compliant | Should -BeTrue
        $compliance.NotOnModel | Should -Be @('Turbo')
        $compliance.Unmatched.Count | Should -Be 0
    }

    It 'leave a check that compares nothing not compliant: <Case>' -ForEach @(
        @{ Case = 'an empty baseline'; Line = @(''); Force = $false }
        @{ Case = 'every entry not on this model'; Line = @('+++Turbo', '*On', ''); Force = $true }
    ) {
        $path = New-TestConfiguration -Line $Line
        $compliance = Test-VelorinBiosConfiguration -Path $path -Force:$Force -MachineFile $machine
        $compliance.ExitCode | Should -Be 0
        $compliance.Matching | Should -Be 0
        $compliance.Compliant | Should -BeFalse
    }
}

Describe 'Texts holding the report''s separators' {
    BeforeAll {
        $separated = New-TestMachine -Name 'separators.txt' -Text ($SmallMachine + @'

item 0x0104 "Boot : Order" current 1
  option "A -> B"
  option "C : D"
item 0x0105 "Boot" current 1
  option "Order : A"
'@)
    }

    It 'come out whole from a file: <Wanted>' -ForEach @(
        @{ Wanted = 'C : D'; Current = 'A -> B' }
    ) {
        $path = New-TestConfiguration -Line @('+++Boot : Order', 'A -> B', "*$Wanted", '', '+++Boot', '*Order : A', '')
        $compliance = Test-VelorinBiosConfiguration -Path $path -MachineFile $separated
        $compliance.Differences.Count | Should -Be 1
        $compliance.Differences[0] | ForEach-Object { '{0}|{1}|{2}' -f $_.Name, $_.Current, $_.Wanted } |
            Should -BeExactly "Boot : Order|$Current|$Wanted"
    }

    It 'come out whole from -Name and -Value typed in another letter case' {
        $compliance = Test-VelorinBiosConfiguration -Name 'boot : order' -Value 'c : d' -MachineFile $separated
        $compliance.Differences[0] | ForEach-Object { '{0}|{1}|{2}' -f $_.Name, $_.Current, $_.Wanted } |
            Should -BeExactly 'Boot : Order|A -> B|C : D'
    }

    It 'come out whole from the set report' {
        $secret = ConvertTo-TestSecureString $Password
        $path = New-TestConfiguration -Line @('+++Boot : Order', '*C : D', '')
        (Set-VelorinBiosConfiguration -Path $path -Password $secret -MachineFile $separated).Changed |
            ForEach-Object { "$($_.Name)|$($_.Value)" } | Should -BeExactly 'Boot : Order|C : D'
        $path = New-TestConfiguration -Line @('+++Boot : Order', '*A -> B', '')
        (Set-VelorinBiosConfiguration -Path $path -Password $secret -MachineFile $separated).Changed |
            ForEach-Object { "$($_.Name)|$($_.Value)" } | Should -BeExactly 'Boot : Order|A -> B'
    }
}
