# Rehearsals before a rollout: Export-VelorinBiosMachine captures a machine, Test-VelorinBiosBaseline
# tries a baseline on every captured model. Three models: a ProBook 14 with everything, a ProBook 16 that lacks Wake On LAN,
# an EliteDesk that spells an option differently.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')

    function New-ModelMachine([string] $Name, [string] $Product, [string[]] $Items) {
        $text = "manufacturer ""Velorin Corporation""`nproduct ""$Product""`n" + ($Items -join "`n") + "`n"
        return New-TestMachine -Name $Name -Text $text
    }

    $secureBoot = 'item 0x0100 "Secure Boot" current 2', '  option "Enabled"', '  option "Disabled"'
    $models = [ordered]@{
        ProBook14 = New-ModelMachine 'probook14.txt' 'Velorin ProBook 14 G3' ($secureBoot + @(
                'item 0x0101 "Wake On LAN" current 1', '  option "Disabled"', '  option "LAN Only"', '  option "LAN with PXE Boot" readonly'))
        ProBook16 = New-ModelMachine 'probook16.txt' 'Velorin ProBook 16 G1' $secureBoot
        EliteDesk = New-ModelMachine 'elitedesk.txt' 'Velorin EliteDesk 800 G9' ($secureBoot + @(
                'item 0x0101 "Wake On LAN" current 1', '  option "Disabled"', '  option "LAN-Only"'))
    }
    $captures = Join-Path $TestDrive 'captures'
    [void](New-Item -ItemType Directory -Path $captures)
    foreach ($model in $models.Keys) {
        [void](Export-VelorinBiosMachine -Path (Join-Path $captures "$model.txt") -MachineFile $models[$model])
    }
    $baseline = New-TestConfiguration -Name 'rehearsed.txt' -Line @(
        '+++Secure Boot', '*Enabled', 'Disabled', ''
        '+++Wake On LAN', 'Disabled', '*LAN Only', '')

    function Get-Rehearsal([string] $Model, [string] $Baseline = $baseline) {
        return Test-VelorinBiosBaseline -Path $Baseline -MachineFile (Join-Path $captures "$Model.txt")
    }

    function Get-FileHashText([string] $Path) {
        return [System.BitConverter]::ToString([System.IO.File]::ReadAllBytes($Path))
    }
}

Describe 'Export-VelorinBiosMachine' {
    It 'writes the machine file and its SMBIOS table byte for byte as the tool''s /capture does' {
        $folder = Join-Path $TestDrive 'direct'
        [void](New-Item -ItemType Directory -Path $folder)
        Push-Location $folder
        try {
            $env:VELORIN_MACHINE = $models.ProBook14
            & $Tool /capture ProBook14.txt | Out-Null
        }
        finally {
            Remove-Item Env:VELORIN_MACHINE
            Pop-Location
        }
        foreach ($name in 'ProBook14.txt', 'ProBook14.txt.smbios') {
            Get-FileHashText (Join-Path $captures $name) | Should -Be (Get-FileHashText (Join-Path $folder $name))
        }
        $file = Export-VelorinBiosMachine -Path (Join-Path $TestDrive 'again.txt') -MachineFile $models.ProBook14
        $file | Should -BeOfType [System.IO.FileInfo]
        $file.FullName | Should -Be (Join-Path $TestDrive 'again.txt')
    }

    It 'writes nothing under -WhatIf' {
        $target = Join-Path $TestDrive 'whatif.txt'
        Export-VelorinBiosMachine -Path $target -MachineFile $models.ProBook14 -WhatIf | Should -BeNullOrEmpty
        Test-Path -LiteralPath $target | Should -BeFalse
        Test-Path -LiteralPath "$target.smbios" | Should -BeFalse
    }

    It 'fails with the tool''s exit code <Code> and writes nothing for <Case>' -ForEach @(
        @{ Case = 'a name no file may have'; Name = 'a|b.txt'; Code = 5; Reason = 'ToolFailed' }
        @{ Case = 'a machine of another maker'; Name = 'other.txt'; Code = 12; Reason = 'NotVelorin' }
    ) {
        $machine = New-TestMachine -Name 'other-maker.txt' -Text "manufacturer ""Other Corp""`n"
        $failure = Get-TerminatingError { Export-VelorinBiosMachine -Path (Join-Path $TestDrive $Name) -MachineFile $machine }
        $failure.Exception.ExitCode | Should -Be $Code
        $failure.Exception.Reason | Should -Be $Reason
        Test-Path -LiteralPath (Join-Path $TestDrive $Name) | Should -BeFalse
    }
}

Describe 'Test-VelorinBiosBaseline' {
    It 'rehearses on a model that has everything: what would change, applicable' {
        $rehearsal = Get-Rehearsal 'ProBook14'
        $rehearsal.PSObject.TypeNames[0] | Should -Be 'Velorin.BiosRehearsal'
        $rehearsal.MachineFile | Should -Be (Join-Path $captures 'ProBook14.txt')
        $rehearsal.Model | Should -BeExactly 'Velorin ProBook 14 G3'
        $rehearsal.Manufacturer | Should -BeExactly 'Velorin Corporation'
        $rehearsal.Differences | ForEach-Object { '{0}|{1}|{2}' -f $_.Name, $_.Current, $_.Wanted } |
            Should -Be @('Secure Boot|Disabled|Enabled', 'Wake On LAN|Disabled|LAN Only')
        @($rehearsal.MissingItems).Count + @($rehearsal.UnknownOptions).Count + @($rehearsal.ReadOnly).Count | Should -Be 0
        $rehearsal.Applicable | Should -BeTrue
    }

    It 'names the item a model lacks' {
        $rehearsal = Get-Rehearsal 'ProBook16'
        $rehearsal.MissingItems | Should -Be @('Wake On LAN')
        $rehearsal.Differences.Name | Should -Be @('Secure Boot')
        $rehearsal.Applicable | Should -BeFalse
    }

    It 'names the option a model spells differently' {
        $rehearsal = Get-Rehearsal 'EliteDesk'
        @($rehearsal.UnknownOptions).Count | Should -Be 1
        $rehearsal.UnknownOptions[0].Name | Should -BeExactly 'Wake On LAN'
        $rehearsal.UnknownOptions[0].Option | Should -BeExactly 'LAN Only'
        @($rehearsal.MissingItems).Count | Should -Be 0
        $rehearsal.Applicable | Should -BeFalse
    }

    It 'tells an option the interface cannot select from one the model lacks' {
        $readOnly = New-TestConfiguration -Name 'read-only.txt' -Line @('+++Wake On LAN', '*LAN with PXE Boot', '')
        $rehearsal = Get-Rehearsal 'ProBook14' $readOnly
        @($rehearsal.ReadOnly).Count | Should -Be 1
        '{0}|{1}' -f $rehearsal.ReadOnly[0].Name, $rehearsal.ReadOnly[0].Option | Should -BeExactly 'Wake On LAN|LAN with PXE Boot'
        @($rehearsal.UnknownOptions).Count | Should -Be 0
        $rehearsal.Applicable | Should -BeFalse
    }

    It 'never touches the capture' {
        $before = Get-ChildItem -LiteralPath $captures | ForEach-Object { $_.Name + ':' + (Get-FileHashText $_.FullName) }
        [void](Test-VelorinBiosBaseline -Path $baseline -MachineFile $captures)
        Get-ChildItem -LiteralPath $captures | ForEach-Object { $_.Name + ':' + (Get-FileHashText $_.FullName) } | Should -Be $before
    }

    It 'takes a folder, wildcards and files from the pipeline, one object per machine file' {
        (Test-VelorinBiosBaseline -Path $baseline -MachineFile $captures).Model |
            Should -Be @('Velorin EliteDesk 800 G9', 'Velorin ProBook 14 G3', 'Velorin ProBook 16 G1')
        @(Test-VelorinBiosBaseline $baseline (Join-Path $captures 'ProBook*.txt')).Count | Should -Be 2
        @(Get-ChildItem -LiteralPath $captures -Filter '*.txt' | Test-VelorinBiosBaseline $baseline).Count | Should -Be 3
    }

    It 'reports a machine file it cannot find and goes on with the others' {
        $results = Test-VelorinBiosBaseline -Path $baseline -MachineFile (Join-Path $TestDrive 'nowhere.txt'), (Join-Path $captures 'ProBook14.txt') `
            -ErrorVariable failures -ErrorAction SilentlyContinue
        @($results).Count | Should -Be 1
        @($failures).Count | Should -Be 1
        $failures[0].FullyQualifiedErrorId | Should -Match '^VelorinMachineFileNotFound'
    }

    It 'shows a summary table by default' {
        $lines = (Test-VelorinBiosBaseline -Path $baseline -MachineFile $captures | Out-String -Width 200) -split "`r?`n"
        $lines | Where-Object { $_ -match '^Model\s+Applicable\s+Changes\s+Missing\s+Unknown\s+ReadOnly\s+MachineFile' } | Should -Not -BeNullOrEmpty
        $lines | Where-Object { $_ -match '^Velorin ProBook 16 G1\s+False\s+1\s+1\s+0\s+0\s+ProBook16\.txt' } | Should -Not -BeNullOrEmpty
    }

    It 'hands the rehearsal password to the tool on standard input, never on a command line' {
        $records = Join-Path $TestDrive 'rehearsal-records'
        [void](New-Item -ItemType Directory -Path $records)
        $env:VELORIN_RECORD_DIR = $records
        $env:VELORIN_REAL_TOOL = $Tool
        try {
            [void](Test-VelorinBiosBaseline -Path $baseline -MachineFile (Join-Path $captures 'ProBook14.txt') -ToolPath (Join-Path $PSScriptRoot 'record-tool.sh'))
        }
        finally {
            Remove-Item Env:VELORIN_RECORD_DIR, Env:VELORIN_REAL_TOOL
        }
        $set = Get-ChildItem -LiteralPath $records -Filter '*.args' | Where-Object { [System.IO.File]::ReadAllText($_.FullName).StartsWith("/set`0") }
        @($set).Count | Should -Be 1
        [System.IO.File]::ReadAllText($set.FullName).TrimEnd([char]0).Split([char]0) | Select-Object -Skip 2 | Should -Be @('/f', '/pwstdin')
        [System.IO.File]::ReadAllText(($set.FullName -replace '\.args$', '.stdin')) | Should -Match '^[0-9a-f]{16}\n$'
    }
}
