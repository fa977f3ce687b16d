# Get-VelorinBiosSetting and Export-VelorinBiosConfiguration against simulated machines.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $machine = New-TestMachine
}

Describe 'Get-VelorinBiosSetting' {
    It 'returns one typed object per item, options in the firmware''s order' {
        $settings = @(Get-VelorinBiosSetting -MachineFile $machine)
        $settings.Name | Should -Be @('Boot Mode', 'Wake On LAN', 'Langue', 'Lock Mode', 'Asset Tag')
        $settings[0].PSObject.TypeNames[0] | Should -Be 'Velorin.BiosSetting'
        $wake = $settings[1]
        $wake.CurrentValue | Should -Be 'Disabled'
        $wake.Options | Should -Be @('Enabled', 'Disabled', 'LAN Only')
        $settings[2].Options[1] | Should -BeExactly ('Fran' + [char]0xE7 + 'ais')
    }

    It 'keeps a read-only option only when it is the current one' {
        $settings = Get-VelorinBiosSetting -MachineFile $machine
        ($settings | Where-Object Name -EQ 'Boot Mode').Options | Should -Be @('UEFI')
        ($settings | Where-Object Name -EQ 'Lock Mode').Options | Should -Be @('Locked', 'Open')
    }

    It 'gives an item without options no options and no current value' {
        $tag = Get-VelorinBiosSetting -Name 'Asset Tag' -MachineFile $machine
        $tag.Options.Count | Should -Be 0
        $tag.CurrentValue | Should -BeNullOrEmpty
    }

    It 'selects by name with wildcards in any letter case' {
        (Get-VelorinBiosSetting -Name 'wake*', 'LANGUE' -MachineFile $machine).Name | Should -Be @('Wake On LAN', 'Langue')
    }

    It 'reports a name without wildcards that matches nothing and returns the others' {
        $found = Get-VelorinBiosSetting -Name 'Langue', 'No Such Item', 'None*' -MachineFile $machine `
            -ErrorVariable problems -ErrorAction SilentlyContinue
        $found.Name | Should -Be 'Langue'
        $problems.Count | Should -Be 1
        $problems[0].FullyQualifiedErrorId | Should -BeLike 'VelorinBiosSettingNotFound,*'
        $problems[0].Exception.Message | Should -Match 'No Such Item'
    }

    It 'finds a name that holds wildcard or escape characters as typed: <_>' -ForEach 'Slot [1]', 'slot [1]', 'Cost $5', 'Back`tick', 'Open [' {
        $odd = New-TestMachine -Name 'odd-names.txt' -Text (@(
                'manufacturer "VELORIN"'
                'item 0x0100 "Slot [1]" current 1', '  option "On"'
                'item 0x0101 "Cost $5" current 1', '  option "On"'
                'item 0x0102 "Back`tick" current 1', '  option "On"'
                'item 0x0103 "Open [" current 1', '  option "On"'
                'item 0x0104 "Slot 2" current 1', '  option "On"') -join "`n")
        $found = @(Get-VelorinBiosSetting -Name $_ -MachineFile $odd)
        $found.Count | Should -Be 1
        $found[0].Name | Should -Be $_
        $path = Join-Path $TestDrive 'odd-export.txt'
        Export-VelorinBiosConfiguration -Path $path -Name $_ -MachineFile $odd
        [System.IO.File]::ReadAllText($path) | Should -BeLike "+++$([System.Management.Automation.WildcardPattern]::Escape($_))*"
    }

    It 'takes a wildcard pattern that matches as a pattern, not as a name' {
        (Get-VelorinBiosSetting -Name 'Wake On [LM]AN' -MachineFile $machine).Name | Should -Be 'Wake On LAN'
    }

    It 'hands the machine file to the tool''s process only' {
        Get-VelorinBiosSetting -MachineFile $machine | Out-Null
        $env:VELORIN_MACHINE | Should -BeNullOrEmpty
    }

    It 'finds the tool through VELORIN_BIOS_TOOL, and -ToolPath wins over it' {
        $env:VELORIN_BIOS_TOOL = Join-Path $TestDrive 'missing-tool'
        try {
            (Get-VelorinBiosSetting -Name 'Langue' -MachineFile $machine -ToolPath $Tool).Name | Should -Be 'Langue'
            $failure = Get-TerminatingError { Get-VelorinBiosSetting -MachineFile $machine }
            $failure.FullyQualifiedErrorId | Should -BeLike 'VelorinBiosToolNotStarted,*'
        }
        finally {
            $env:VELORIN_BIOS_TOOL = $Tool
        }
    }

    It 'finds the tool of the MSI layout: the module under Modules, the tool in Program Files\Velorin\BiosConfigTool' {
        $programFiles = Join-Path $TestDrive 'Program Files'
        $installed = Join-Path $programFiles 'WindowsPowerShell/Modules/VelorinBios/1.1.1'
        $toolFolder = Join-Path $programFiles 'Velorin/BiosConfigTool'
        New-Item -ItemType Directory -Path $installed, $toolFolder -Force | Out-Null
        Copy-Item -Path (Join-Path $ModulePath '*') -Destination $installed -Recurse
        Copy-Item -LiteralPath $Tool -Destination (Join-Path $toolFolder 'VelorinBiosConfigTool')
        # In a process of its own: the copy's format data would outlive TestDrive in this
        # session and break every later import.
        $probe = {
            param($installed, $machine, $elsewhere, $programFiles)
            Remove-Item Env:VELORIN_BIOS_TOOL -ErrorAction SilentlyContinue
            Import-Module (Join-Path $installed 'VelorinBios.psd1')
            $env:ProgramW6432 = $elsewhere
            try {
                [void](Get-VelorinBiosSetting -MachineFile $machine)
                'no error'
            }
            catch {
                $_.FullyQualifiedErrorId
            }
            $env:ProgramW6432 = $programFiles
            (Get-VelorinBiosSetting -Name 'Langue' -MachineFile $machine).Name
        }
        $found = & $Pwsh -NoProfile -NonInteractive -Command $probe -args $installed, $machine, (Join-Path $TestDrive 'elsewhere'), $programFiles
        $found[0] | Should -BeLike 'VelorinBiosToolNotFound,*'
        $found[1] | Should -Be 'Langue'
    }
}

Describe 'Export-VelorinBiosConfiguration' {
    It 'writes byte for byte what /get /o writes' {
        $path = Join-Path $TestDrive 'all.txt'
        Export-VelorinBiosConfiguration -Path $path -MachineFile $machine
        [System.IO.File]::ReadAllBytes($path) | Should -Be (Get-ToolExport -MachineFile $machine)
    }

    It 'writes only the named items, ISO-8859-1 with CR LF and no byte-order mark' {
        $path = Join-Path $TestDrive 'two.txt'
        Export-VelorinBiosConfiguration -Path $path -Name 'langue', 'Asset*' -MachineFile $machine
        $expected = "+++Langue`r`n*English`r`nFran" + [char]0xE7 + "ais`r`n`r`n+++Asset Tag`r`n`r`n"
        [System.IO.File]::ReadAllBytes($path) | Should -Be $Latin1.GetBytes($expected)
    }

    It 'replaces an existing file, and with -WhatIf leaves it as it was' {
        $path = New-TestConfiguration -Line 'old' -Name 'replaced.txt'
        Export-VelorinBiosConfiguration -Path $path -Name 'Langue' -MachineFile $machine -WhatIf
        [System.IO.File]::ReadAllText($path) | Should -Be "old`r`n"
        Export-VelorinBiosConfiguration -Path $path -Name 'Langue' -MachineFile $machine
        [System.IO.File]::ReadAllText($path) | Should -BeLike '+++Langue*'
        @(Get-ChildItem -LiteralPath $TestDrive | Where-Object Name -Like 'replaced.txt?*').Count | Should -Be 0
    }

    It 'writes no file when no item matches' {
        $path = Join-Path $TestDrive 'none.txt'
        Export-VelorinBiosConfiguration -Path $path -Name 'Nothing' -MachineFile $machine -ErrorAction SilentlyContinue
        Test-Path -LiteralPath $path | Should -BeFalse
    }
}

Describe 'The sample machine''s accented letter' {
    BeforeAll {
        $empty = New-Object System.Security.SecureString
        $supervisor = ConvertTo-TestSecureString 'admin'
        Set-VelorinBiosPassword -Supervisor -NewPassword $supervisor -Password $empty
    }

    It 'round-trips from the export through /check and /set into the settings' {
        $path = Join-Path $TestDrive 'sample.txt'
        Export-VelorinBiosConfiguration -Path $path
        $bytes = [System.IO.File]::ReadAllBytes($path)
        $bytes | Should -Be (Get-ToolExport)
        $bytes | Should -Contain 0xE7
        $bytes[0..2] | Should -Be $Latin1.GetBytes('+++')
        (Test-VelorinBiosConfiguration -Path $path -Force).Compliant | Should -BeTrue

        $language = Get-VelorinBiosSetting | Where-Object { $_.Options -contains ('Fran' + [char]0xE7 + 'ais') } | Select-Object -First 1
        $language | Should -Not -BeNullOrEmpty
        $wanted = 'Fran' + [char]0xE7 + 'ais'
        $lines = @('+++' + $language.Name) + ($language.Options | ForEach-Object { if ($_ -eq $wanted) { "*$_" } else { $_ } }) + ''
        $change = New-TestConfiguration -Line $lines -Name 'language.txt'
        (Test-VelorinBiosConfiguration -Path $change).Differences.Wanted | Should -BeExactly $wanted
        $result = Set-VelorinBiosConfiguration -Path $change -Password $supervisor
        $result.Changed.Value | Should -BeExactly $wanted
        (Get-VelorinBiosSetting -Name $language.Name).CurrentValue | Should -BeExactly $wanted
    }
}

Describe 'Errors of the tool' {
    It 'carry the exit code, the message and the output: <Case>' -ForEach @(
        @{ Case = 'old revision'; Text = "revision 5`nmanufacturer ""VELORIN""`n"; Code = 3; Message = 'Not supported revision'; Reason = 'UnsupportedRevision'; Output = 'Your current revision : 5' }
        @{ Case = 'other maker'; Text = "manufacturer ""Other Corp""`nitem 0x100 ""A"" current 1`n  option ""x""`n"; Code = 12; Message = 'Internal error'; Reason = 'NotVelorin'; Output = 'System manufacturer is not valid' }
        @{ Case = 'no provider'; Text = "fault ConnectServer ""ROOT\velorin"" hr=0x8004100E`n"; Code = 12; Message = 'Internal error'; Reason = 'NotVelorin'; Output = 'hr=8004100E' }
        @{ Case = 'failed call'; Text = "fault ExecMethod ""EnumSetting"" hr=0x80041001`n"; Code = 12; Message = 'Internal error'; Reason = 'ToolFailed'; Output = '80041001' }
    ) {
        $broken = New-TestMachine -Text $Text -Name 'broken.txt'
        $failure = Get-TerminatingError { Get-VelorinBiosSetting -MachineFile $broken }
        $failure.Exception.ExitCode | Should -Be $Code
        $failure.Exception.Message | Should -BeExactly $Message
        $failure.Exception.Reason | Should -Be $Reason
        $failure.Exception.Output | Should -Match ([regex]::Escape($Output))
        $failure.FullyQualifiedErrorId | Should -Be "VelorinBiosTool$Code,Get-VelorinBiosSetting"
    }

    It 'stop a script under -ErrorAction SilentlyContinue too' {
        $broken = New-TestMachine -Text "revision 5`n" -Name 'old.txt'
        { Get-VelorinBiosSetting -MachineFile $broken -ErrorAction SilentlyContinue } | Should -Throw
    }
}
