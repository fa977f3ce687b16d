# Rehearsals before a rollout: Export-VelorinBiosMachine captures a machine, Test-VelorinBiosBaseline
# tries a baseline on every captured model, and the fleet scripts pick the baseline of the model
# they run on. Three models: a ProBook 14 with everything, a ProBook 16 that lacks Wake On LAN,
# an EliteDesk that spells an option differently.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $deploy = Join-Path $RepoRoot 'deploy'

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

    # The baselines pasted into a fleet script, as the script itself defines them.
    function Get-ScriptBaselines([string] $Script) {
        $ast = [System.Management.Automation.Language.Parser]::ParseFile((Join-Path $deploy $Script), [ref]$null, [ref]$null)
        $assignment = $ast.Find({
                param($node)
                $node -is [System.Management.Automation.Language.AssignmentStatementAst] -and $node.Left.Extent.Text -eq '$Baselines'
            }, $false)
        return @(& ([scriptblock]::Create($assignment.Right.Extent.Text)))
    }

    function Invoke-ModelScript([string] $Script, [string] $Machine, [hashtable] $Parameters) {
        $all = @{ ModulePath = $ModulePath; ToolPath = $Tool; MachineFile = $Machine }
        foreach ($name in $Parameters.Keys) { $all[$name] = $Parameters[$name] }
        $output = & (Join-Path $deploy $Script) @all
        return @{ Output = ($output -join "`n"); ExitCode = $LASTEXITCODE }
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

    It 'counts the provider calls of the rehearsed check on <Model>: <Calls>' -ForEach @(
        # The revision and the count, an enumeration and a name per item, then a walk of each
        # item the baseline names that also gives its current value (options + 1 answers).
        @{ Model = 'ProBook14'; Calls = 2 + 2 * 2 + 3 + 4 }
        @{ Model = 'ProBook16'; Calls = 2 + 2 * 1 + 3 }
        @{ Model = 'EliteDesk'; Calls = 2 + 2 * 2 + 3 + 3 }
    ) {
        (Get-Rehearsal $Model).ProviderCalls | Should -Be $Calls
        Test-Path Env:VELORIN_CALL_LOG | Should -BeFalse
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

    It 'counts every option the tool refused, also in a block that the next item line ends' {
        $packed = New-TestConfiguration -Name 'packed.txt' -Line @('+++Secure Boot', '*Enabled', '+++Wake On LAN', '*LAN Only (S5)', '')
        $rehearsal = Get-Rehearsal 'ProBook14' $packed
        $rehearsal.UnknownOptions.Name | Should -Be @('Wake On LAN')
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
        Assert-TestCapability RecordingTool
        $records = Join-Path $TestDrive 'rehearsal-records'
        [void](New-Item -ItemType Directory -Path $records)
        $env:VELORIN_RECORD_DIR = $records
        $env:VELORIN_REAL_TOOL = $Tool
        try {
            [void](Test-VelorinBiosBaseline -Path $baseline -MachineFile (Join-Path $captures 'ProBook14.txt') -ToolPath (Get-RecordingTool))
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

Describe 'A baseline per model in the fleet scripts' {
    It '<_> pastes baselines that each fit the captured model they serve' -ForEach @(
        'intune/Detect-VelorinBiosBaseline.ps1', 'intune/Remediate-VelorinBiosBaseline.ps1'
        'configmgr/Discover-VelorinBiosBaseline.ps1', 'configmgr/Remediate-VelorinBiosBaseline.ps1') {
        $entries = Get-ScriptBaselines $_
        $entries.Count | Should -Be 3
        foreach ($rehearsal in (Test-VelorinBiosBaseline -Path $baseline -MachineFile $captures)) {
            $served = @($entries | Where-Object { $rehearsal.Model -like $_.Model })
            $served.Count | Should -BeGreaterThan 0
            $file = Join-Path $TestDrive 'served.txt'
            [System.IO.File]::WriteAllText($file, ($served[0].Baseline -replace "`r?`n", "`r`n"))
            (Test-VelorinBiosBaseline -Path $file -MachineFile $rehearsal.MachineFile).Applicable | Should -BeTrue
        }
    }

    It 'Intune detection compares <Model> with its own baseline' -ForEach @(
        @{ Model = 'ProBook14'; Output = 'NonCompliant: 2 of 2 settings differ: Secure Boot: Disabled -> Enabled; Wake On LAN: Disabled -> LAN Only' }
        @{ Model = 'ProBook16'; Output = 'NonCompliant: 1 of 1 settings differ: Secure Boot: Disabled -> Enabled' }
        @{ Model = 'EliteDesk'; Output = 'NonCompliant: 2 of 2 settings differ: Secure Boot: Disabled -> Enabled; Wake On LAN: Disabled -> LAN-Only' }
    ) {
        $capture = Join-Path $captures "$Model.txt"
        $name = (Test-VelorinBiosBaseline -Path $baseline -MachineFile $capture).Model
        $run = Invoke-ModelScript 'intune/Detect-VelorinBiosBaseline.ps1' $capture @{ Model = $name }
        $run.Output | Should -BeExactly $Output
        $run.ExitCode | Should -Be 1
    }

    It '<_> remediates each model with its own baseline, and detection then finds it compliant' -ForEach 'intune', 'configmgr' {
        foreach ($model in $models.Keys) {
            # A rehearsal copy of the capture with the supervisor password the password file holds.
            $copy = Join-Path $TestDrive "$_-$model.txt"
            Copy-Item -LiteralPath (Join-Path $captures "$model.txt.smbios") -Destination "$copy.smbios"
            $text = [System.IO.File]::ReadAllText((Join-Path $captures "$model.txt")).Replace("""$model.txt.smbios""", """$_-$model.txt.smbios""")
            [System.IO.File]::WriteAllText($copy, $text + "supervisor-password ""$Password""`n")
            $name = (Test-VelorinBiosBaseline -Path $baseline -MachineFile $copy).Model
            $passwordFile = Join-Path $TestDrive 'model-password.txt'
            [System.IO.File]::WriteAllText($passwordFile, "$Password`r`n")
            $run = Invoke-ModelScript "$_/Remediate-VelorinBiosBaseline.ps1" $copy @{ Model = $name; PasswordFile = $passwordFile }
            $run.ExitCode | Should -Be 0
            $run.Output | Should -Match '^Remediated: \d changed, 0 unchanged, 0 read only, 0 not on this model'
            $run = Invoke-ModelScript 'intune/Detect-VelorinBiosBaseline.ps1' $copy @{ Model = $name }
            $run.Output | Should -Match '^Compliant: '
            $run.ExitCode | Should -Be 0
        }
    }

    It '<Script> leaves a PC that no baseline serves alone: <Output>' -ForEach @(
        @{ Script = 'intune/Detect-VelorinBiosBaseline.ps1'; Output = "Not applicable: no baseline serves the model 'Velorin Tower 5'"; Code = 0 }
        @{ Script = 'intune/Remediate-VelorinBiosBaseline.ps1'; Output = "Not applicable: no baseline serves the model 'Velorin Tower 5'"; Code = 0 }
        @{ Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; Output = 'Compliant'; Code = 0 }
        @{ Script = 'configmgr/Remediate-VelorinBiosBaseline.ps1'; Output = "Not applicable: no baseline serves the model 'Velorin Tower 5'"; Code = 0 }
    ) {
        $machine = New-TestMachine -Name 'tower.txt'
        $parameters = @{ Model = 'Velorin Tower 5' }
        if ($Script -like '*Remediate*') { $parameters.PasswordFile = Join-Path $TestDrive 'model-password.txt' }
        $run = Invoke-ModelScript $Script $machine $parameters
        $run.Output | Should -BeExactly $Output
        $run.ExitCode | Should -Be $Code
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'takes the first baseline whose pattern matches, in any letter case; a catch-all last serves the rest' {
        $list = @(
            @{ Model = 'Velorin ProBook*'; Baseline = 'any ProBook' }
            @{ Model = 'Velorin ProBook 14*'; Baseline = 'never reached' }
            @{ Model = '*'; Baseline = 'every other model' })
        $pick = { param($Baseline) $Baseline }
        Invoke-VelorinBiosModelBaseline -Baselines $list -Model 'VELORIN probook 14 G3' -Action $pick | Should -BeExactly 'any ProBook'
        Invoke-VelorinBiosModelBaseline -Baselines $list -Model 'Velorin Tower 5' -Action $pick | Should -BeExactly 'every other model'
    }

    It 'uses -BaselinePath for every model' {
        $run = Invoke-ModelScript 'intune/Detect-VelorinBiosBaseline.ps1' (Join-Path $captures 'ProBook16.txt') @{ Model = 'Velorin Tower 5'; BaselinePath = $baseline }
        $run.Output | Should -BeExactly 'NonCompliant: 1 of 1 settings differ: Secure Boot: Disabled -> Enabled'
    }
}

BeforeDiscovery {
    $odd = @(
        @{ Case = 'blank lines'; Line = @('', '', '') }
        @{ Case = 'an item line alone'; Line = @('+++Secure Boot', '') }
        @{ Case = 'a block without a star'; Line = @('+++Secure Boot', 'Enabled', 'Disabled', '') }
        @{ Case = 'items without options'; Line = @('+++Secure Boot', '', '+++Wake On LAN', '') }
        @{ Case = 'an indented item line'; Line = @('  +++Secure Boot', '*Enabled', '') }
        @{ Case = 'an option spelled otherwise'; Line = @('+++Wake On LAN', '*LAN-Only', '') }
        @{ Case = 'an item named twice'; Line = @('+++Wake On LAN', '*Disabled', '', '+++Secure Boot', '*Enabled', '', '+++Wake On LAN', '*LAN Only', '') }
        @{ Case = 'a block with two stars'; Line = @('+++Secure Boot', '*Enabled', '*Disabled', '') }
        @{ Case = 'an item named twice alike'; Line = @('+++Secure Boot', '*Enabled', '', '+++Secure Boot', '*Enabled', '') }
        @{ Case = 'the rehearsed baseline'; Line = @('+++Secure Boot', '*Enabled', 'Disabled', '', '+++Wake On LAN', 'Disabled', '*LAN Only', '') }
    )
}

Describe 'The rehearsal and the fleet scripts decide alike' {
    BeforeAll {
        # What detection says when the fleet would set the baseline: it matches or only differs.
        $settable = '^(Compliant: |NonCompliant: \d+ of \d+ settings differ: )'
    }

    It 'is Applicable exactly where detection would set the baseline: <Case>' -ForEach $odd {
        $path = New-TestConfiguration -Name 'odd.txt' -Line $Line
        foreach ($rehearsal in (Test-VelorinBiosBaseline -Path $path -MachineFile $captures)) {
            $run = Invoke-ModelScript 'intune/Detect-VelorinBiosBaseline.ps1' $rehearsal.MachineFile @{ BaselinePath = $path }
            $fleetSets = $run.Output -match $settable
            $complete = @($rehearsal.MissingItems).Count + @($rehearsal.ReadOnly).Count -eq 0
            $rehearsal.Applicable | Should -Be ($fleetSets -and $complete) -Because "$($rehearsal.Model): $($run.Output)"
            $rehearsal.FleetDecision -eq 'Applies' | Should -Be $fleetSets -Because "$($rehearsal.Model): $($run.Output)"
        }
    }

    It 'names the entries of a baseline that contradicts itself and sets nothing: <Case>' -ForEach @(
        @{ Case = 'an item named twice'; Problem = 'ConflictingEntries'; At = 7; Name = 'Wake On LAN'
            Line = @('+++Wake On LAN', '*Disabled', '', '+++Secure Boot', '*Enabled', '', '+++Wake On LAN', '*LAN Only', '') }
        @{ Case = 'a block with two stars'; Problem = 'SeveralWantedOptions'; At = 1; Name = 'Secure Boot'
            Line = @('+++Secure Boot', '*Enabled', '*Disabled', '') }
    ) {
        $path = New-TestConfiguration -Name 'conflict.txt' -Line $Line
        $tool = Start-ToolRecording 'conflict'
        $rehearsal = Test-VelorinBiosBaseline -Path $path -MachineFile (Join-Path $captures 'ProBook14.txt') -ToolPath $tool
        $runs = Stop-ToolRecording
        @($runs | Where-Object { $_.Arguments[0] -eq '/set' }).Count | Should -Be 0
        $rehearsal.FleetDecision | Should -Be 'Conflicting'
        $rehearsal.Applicable | Should -BeFalse
        @($rehearsal.Conflicts).Count | Should -Be 1
        '{0}|{1}|{2}' -f $rehearsal.Conflicts[0].Name, $rehearsal.Conflicts[0].Problem, $rehearsal.Conflicts[0].Line |
            Should -BeExactly "$Name|$Problem|$At"
        @($rehearsal.UnknownOptions).Count | Should -Be 0
    }
}

Describe 'The captures of a folder' {
    BeforeAll {
        $mixed = Join-Path $TestDrive 'mixed-captures'
        [void](New-Item -ItemType Directory -Path $mixed)
        Copy-Item -Path (Join-Path $captures 'ProBook1*') -Destination $mixed
        [System.IO.File]::WriteAllText((Join-Path $mixed 'desktop.ini'), "[.ShellClassInfo]`r`nIconResource=C:\Windows\System32\imageres.dll,-3`r`n")
        [System.IO.File]::WriteAllText((Join-Path $mixed 'notes.txt'), "ProBook 16 captured on the 3rd`r`n")
    }

    It 'are taken alone: stray files are passed over' {
        $rehearsals = Test-VelorinBiosBaseline -Path $baseline -MachineFile $mixed -ErrorVariable failures -ErrorAction SilentlyContinue -Verbose 4>&1 |
            Where-Object { $_ -isnot [System.Management.Automation.VerboseRecord] -or $_.Message -match 'no capture' }
        @($failures).Count | Should -Be 0
        @($rehearsals | Where-Object { $_ -isnot [System.Management.Automation.VerboseRecord] }).Model | Should -Be @('Velorin ProBook 14 G3', 'Velorin ProBook 16 G1')
        @($rehearsals | Where-Object { $_ -is [System.Management.Automation.VerboseRecord] }).Count | Should -Be 2
    }

    It 'go on past one that fails, with an error for that file alone' {
        $broken = Join-Path $TestDrive 'broken-captures'
        [void](New-Item -ItemType Directory -Path $broken)
        Copy-Item -Path (Join-Path $captures '*') -Destination $broken
        # A pair whose machine file is no machine: the tool refuses it.
        [System.IO.File]::WriteAllText((Join-Path $broken 'EliteDesk.txt'), "[.ShellClassInfo]`r`nIconResource=imageres.dll,-3`r`n")
        $all = Test-VelorinBiosBaseline -Path $baseline -MachineFile $broken -ErrorAction Continue 2>&1
        $failures = @($all | Where-Object { $_ -is [System.Management.Automation.ErrorRecord] })
        @($all | Where-Object { $_ -isnot [System.Management.Automation.ErrorRecord] }).Model | Should -Be @('Velorin ProBook 14 G3', 'Velorin ProBook 16 G1')
        $failures.Count | Should -Be 1
        $failures[0].FullyQualifiedErrorId | Should -Match '^VelorinBiosRehearsalFailed'
        $failures[0].TargetObject | Should -Be (Join-Path $broken 'EliteDesk.txt')
    }
}

Describe 'The model the fleet scripts pick by' {
    AfterEach {
        Remove-Item Function:\Get-CimInstance -ErrorAction SilentlyContinue
    }

    It 'is the capture''s SMBIOS product name when rehearsing with -MachineFile and no -Model' {
        $run = Invoke-ModelScript 'intune/Detect-VelorinBiosBaseline.ps1' (Join-Path $captures 'EliteDesk.txt') @{}
        $run.Output | Should -BeExactly 'NonCompliant: 2 of 2 settings differ: Secure Boot: Disabled -> Enabled; Wake On LAN: Disabled -> LAN-Only'
        $run.ExitCode | Should -Be 1
    }

    It 'that cannot be read fails <Script> rather than leaving the PC alone: <Case>' -ForEach @(
        foreach ($script in 'intune/Detect-VelorinBiosBaseline.ps1', 'configmgr/Discover-VelorinBiosBaseline.ps1',
            'intune/Remediate-VelorinBiosBaseline.ps1', 'configmgr/Remediate-VelorinBiosBaseline.ps1') {
            @{ Script = $script; Case = 'no CIM'; Cim = $null; Reason = 'the model of this PC cannot be read: Get-CimInstance is not available' }
            @{ Script = $script; Case = 'CIM failing'; Cim = { throw 'The RPC server is unavailable.' }; Reason = 'the model of this PC cannot be read: The RPC server is unavailable.' }
            @{ Script = $script; Case = 'no product name'; Cim = { [pscustomobject]@{ Name = '' } }; Reason = 'the model of this PC cannot be read: Win32_ComputerSystemProduct gives no product name' }
        }
    ) {
        if ($Cim) {
            Set-Item -Path Function:\global:Get-CimInstance -Value $Cim
        }
        elseif (Get-Command -Name Get-CimInstance -ErrorAction SilentlyContinue) {
            Set-ItResult -Skipped -Because 'this PowerShell has CIM'
            return
        }
        $what = if ($Script -like '*Remediate*') { 'Remediation' } else { 'Check' }
        $all = @{ ModulePath = $ModulePath; ToolPath = $Tool; PasswordFile = (Join-Path $TestDrive 'none.txt') }
        if ($Script -notlike '*Remediate*') { $all.Remove('PasswordFile') }
        # The ConfigMgr scripts write the reason to the console's error stream.
        $errors = New-Object System.IO.StringWriter
        $console = [Console]::Error
        [Console]::SetError($errors)
        try {
            $output = & (Join-Path $deploy $Script) @all
        }
        finally {
            [Console]::SetError($console)
        }
        $LASTEXITCODE | Should -Be 1
        (@($output) -join "`n") + $errors.ToString() | Should -Match ([regex]::Escape("$what failed: $Reason"))
    }
}
