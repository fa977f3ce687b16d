# The fleet scripts in deploy/, run as Intune and ConfigMgr run them: a PowerShell of their
# own, its output and its exit code.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $deploy = Join-Path $RepoRoot 'deploy'

    # Runs one script in this session, as a script file, with the module, the tool and the
    # machine given; returns its output and exit code.
    function Invoke-FleetScript([string] $Script, [string] $Machine, [hashtable] $Parameters = @{}) {
        $all = @{ ModulePath = $ModulePath; ToolPath = $Tool; MachineFile = $Machine }
        foreach ($name in $Parameters.Keys) { $all[$name] = $Parameters[$name] }
        $output = & (Join-Path $deploy $Script) @all
        return @{ Output = ($output -join "`n"); ExitCode = $LASTEXITCODE }
    }

    # The same in a PowerShell of its own, as Intune and ConfigMgr start it; adds the error output.
    function Invoke-FleetProcess([string] $Script, [string] $Machine, [hashtable] $Parameters = @{}, [string] $ToolPath = $Tool) {
        $all = @{ ModulePath = $ModulePath; ToolPath = $ToolPath; MachineFile = $Machine }
        foreach ($name in $Parameters.Keys) { $all[$name] = $Parameters[$name] }
        $arguments = @('-NoProfile', '-NonInteractive', '-File', (Join-Path $deploy $Script))
        foreach ($name in $all.Keys) {
            $arguments += @("-$name", $all[$name])
        }
        $errorFile = Join-Path $TestDrive 'stderr.txt'
        $output = & $Pwsh @arguments 2> $errorFile
        return @{
            Output   = ($output -join "`n")
            Error    = [System.IO.File]::ReadAllText($errorFile)
            ExitCode = $LASTEXITCODE
        }
    }

    $baseline = New-TestConfiguration -Name 'baseline.txt' -Line @(
        '+++Wake On LAN', 'Enabled', 'Disabled', '*LAN Only', ''
        '+++Boot Mode', '*UEFI', ''
        '+++Not On This Model', '*On', '')
    $matching = New-TestConfiguration -Name 'matching.txt' -Line @('+++Wake On LAN', '*Disabled', '', '+++Boot Mode', '*UEFI', '')
    $passwordFile = Join-Path $TestDrive 'password.txt'
    [System.IO.File]::WriteAllText($passwordFile, "$Password`r`n")
    $machines = @{
        Other    = New-TestMachine -Name 'other.txt' -Text "manufacturer ""Other Corp""`nitem 0x100 ""A"" current 1`n  option ""x""`n"
        Missing  = New-TestMachine -Name 'missing.txt' -Text "fault ConnectServer ""ROOT\velorin"" hr=0x8004100E`n"
        Old      = New-TestMachine -Name 'old.txt' -Text "revision 5`nmanufacturer ""VELORIN""`n"
        Failing  = New-TestMachine -Name 'failing.txt' -Text "manufacturer ""VELORIN""`nfault ExecMethod ""EnumSetting"" hr=0x80041001`n"
    }
}

Describe 'The default module path' {
    BeforeAll {
        # The MSI's layout: the module under Modules, where PowerShell finds it by name, and
        # nothing but the tool and the scripts in the install folder.
        $msiModules = Join-Path $TestDrive 'msi/WindowsPowerShell/Modules'
        $msiModule = Join-Path $msiModules 'VelorinBios/1.1.1'
        $msiFolder = Join-Path $TestDrive 'msi/Velorin/BiosConfigTool'
        New-Item -ItemType Directory -Path $msiModule, $msiFolder -Force | Out-Null
        Copy-Item -Path (Join-Path $ModulePath '*') -Destination $msiModule -Recurse
        # The zip's layout: the module folder in the install folder.
        $zipFolder = Join-Path $TestDrive 'zip'
        New-Item -ItemType Directory -Path $zipFolder -Force | Out-Null
        Copy-Item -LiteralPath $ModulePath -Destination $zipFolder -Recurse
    }

    It 'finds the module of the <Layout> layout from the install folder alone: <Script>' -ForEach @(
        @{ Layout = 'MSI'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; Expected = 'Compliant: 2 settings match the baseline' }
        @{ Layout = 'MSI'; Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; Expected = 'Compliant' }
        @{ Layout = 'zip'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; Expected = 'Compliant: 2 settings match the baseline' }
        @{ Layout = 'zip'; Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; Expected = 'Compliant' }
    ) {
        $folder = if ($Layout -eq 'MSI') { $msiFolder } else { $zipFolder }
        $saved = $env:PSModulePath
        $env:PSModulePath = $msiModules + [System.IO.Path]::PathSeparator + $saved
        try {
            $output = & $Pwsh -NoProfile -NonInteractive -File (Join-Path $deploy $Script) -InstallFolder $folder `
                -ToolPath $Tool -MachineFile (New-TestMachine) -BaselinePath $matching
        }
        finally {
            $env:PSModulePath = $saved
        }
        $LASTEXITCODE | Should -Be 0
        ($output -join "`n") | Should -BeExactly $Expected
    }
}

Describe 'Intune detection' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'exits 0 with a compliant summary when the machine matches, run as Intune runs it' {
        $run = Invoke-FleetProcess 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $matching }
        $run.ExitCode | Should -Be 0
        $run.Output | Should -BeExactly 'Compliant: 2 settings match the baseline'
    }

    It 'exits 1 and names each difference when the machine differs, run as Intune runs it' {
        $run = Invoke-FleetProcess 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly 'NonCompliant: 1 of 2 settings differ: Wake On LAN: Disabled -> LAN Only'
    }

    It 'compares with the baseline pasted into the script when given none' {
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ Model = 'Velorin ProBook 14 G3' }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -Match '^NonCompliant: .*Wake On LAN: Disabled -> LAN Only'
    }

    It 'exits 1 and tells the tool''s error when the check fails' {
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machines.Failing @{ BaselinePath = $baseline }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly 'Check failed (exit code 12): Internal error'
    }

    It 'exits 1 when the module is not there' {
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ ModulePath = (Join-Path $TestDrive 'nowhere') }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -Match '^Check failed: '
    }

    It 'exits 0 with "Not applicable" on a machine the tool does not apply to: <_>' -ForEach 'Other', 'Missing', 'Old' {
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machines[$_] @{ BaselinePath = $baseline }
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '^Not applicable: '
    }

    It 'keeps its summary within 2,048 characters' {
        $items = foreach ($i in 0..299) {
            'item 0x{0:X4} "Setting number {1:D4}" current 1' -f (0x4000 + $i), $i
            '  option "Off"'
            '  option "On"'
        }
        $large = New-TestMachine -Name 'large.txt' -Text ("manufacturer ""VELORIN""`n" + ($items -join "`n") + "`n")
        $wanted = New-TestConfiguration -Name 'large-baseline.txt' -Line (0..299 | ForEach-Object { '+++Setting number {0:D4}' -f $_; 'Off'; '*On'; '' })
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $large @{ BaselinePath = $wanted }
        $run.ExitCode | Should -Be 1
        $run.Output.Length | Should -Be 2048
        $run.Output | Should -Match '^NonCompliant: 300 of 300 settings differ: Setting number 0000: Off -> On; .*\.\.\.$'
    }
}

Describe 'ConfigMgr discovery' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'prints exactly <Output> for a <Case> machine' -ForEach @(
        @{ Case = 'matching'; Output = 'Compliant'; Baseline = 'matching.txt'; Kind = $null; Code = 0 }
        @{ Case = 'differing'; Output = 'NonCompliant'; Baseline = 'baseline.txt'; Kind = $null; Code = 0 }
        @{ Case = 'non-Velorin'; Output = 'Compliant'; Baseline = 'baseline.txt'; Kind = 'Other'; Code = 0 }
        @{ Case = 'old revision'; Output = 'Compliant'; Baseline = 'baseline.txt'; Kind = 'Old'; Code = 0 }
        @{ Case = 'failing'; Output = 'NonCompliant'; Baseline = 'baseline.txt'; Kind = 'Failing'; Code = 1 }
    ) {
        $target = $machine
        if ($Kind) { $target = $machines[$Kind] }
        $run = Invoke-FleetScript 'configmgr/Discover-VelorinBiosBaseline.ps1' $target @{ BaselinePath = (Join-Path $TestDrive $Baseline) }
        $run.Output | Should -BeExactly $Output
        $run.ExitCode | Should -Be $Code
    }

    It 'tells why on the error stream when the check fails' {
        $run = Invoke-FleetProcess 'configmgr/Discover-VelorinBiosBaseline.ps1' $machines.Failing @{ BaselinePath = $baseline }
        $run.Output | Should -BeExactly 'NonCompliant'
        $run.ExitCode | Should -Be 1
        $run.Error | Should -Match 'Internal error'
    }
}

Describe 'Remediation' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It '<_> sets the baseline with the password from the file, and detection then finds it compliant' -ForEach 'intune', 'configmgr' {
        $run = Invoke-FleetScript "$_/Remediate-VelorinBiosBaseline.ps1" $machine @{ BaselinePath = $baseline; PasswordFile = $passwordFile }
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '1 changed, 1 unchanged, 0 read only'
        (Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline }).ExitCode | Should -Be 0
    }

    It 'reads a password file that Windows PowerShell wrote as <Name> with a byte-order mark' -ForEach @(
        @{ Name = 'UTF-16'; Encoding = [System.Text.Encoding]::Unicode }
        @{ Name = 'UTF-16 big-endian'; Encoding = [System.Text.Encoding]::BigEndianUnicode }
        @{ Name = 'UTF-8'; Encoding = (New-Object System.Text.UTF8Encoding $true) }
    ) {
        $marked = Join-Path $TestDrive 'marked-password.txt'
        [System.IO.File]::WriteAllText($marked, "$Password`r`n", $Encoding)
        $run = Invoke-FleetScript 'intune/Remediate-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline; PasswordFile = $marked }
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '1 changed, 1 unchanged, 0 read only'
    }

    It '<_> exits 1 on a wrong password and changes nothing' -ForEach 'intune', 'configmgr' {
        $wrong = Join-Path $TestDrive 'wrong.txt'
        [System.IO.File]::WriteAllText($wrong, 'not-it')
        $run = Invoke-FleetProcess "$_/Remediate-VelorinBiosBaseline.ps1" $machine @{ BaselinePath = $baseline; PasswordFile = $wrong }
        $run.ExitCode | Should -Be 1
        ($run.Output + $run.Error) | Should -Match 'Wrong password'
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'ConfigMgr ends with the reboot exit code when something changed' {
        $run = Invoke-FleetScript 'configmgr/Remediate-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline; PasswordFile = $passwordFile; RebootExitCode = 3010 }
        $run.ExitCode | Should -Be 3010
        $run = Invoke-FleetScript 'configmgr/Remediate-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline; PasswordFile = $passwordFile; RebootExitCode = 3010 }
        $run.ExitCode | Should -Be 0
    }

    It 'Intune exits 0 with "Not applicable" on a machine without the Velorin interface' {
        $run = Invoke-FleetScript 'intune/Remediate-VelorinBiosBaseline.ps1' $machines.Missing @{ BaselinePath = $baseline; PasswordFile = $passwordFile }
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '^Not applicable: '
    }

    It 'puts the password on no command line' {
        Assert-TestCapability RecordingTool
        $records = Join-Path $TestDrive 'fleet-records'
        [void](New-Item -ItemType Directory -Path $records -Force)
        $env:VELORIN_RECORD_DIR = $records
        $env:VELORIN_REAL_TOOL = $Tool
        try {
            $run = Invoke-FleetProcess 'intune/Remediate-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $baseline; PasswordFile = $passwordFile } `
                -ToolPath (Get-RecordingTool)
            $run.ExitCode | Should -Be 0
        }
        finally {
            Remove-Item Env:VELORIN_RECORD_DIR, Env:VELORIN_REAL_TOOL
        }
        $run = Get-ChildItem -LiteralPath $records -Filter '*.args' | Select-Object -First 1
        [System.IO.File]::ReadAllText($run.FullName) | Should -Not -Match ([regex]::Escape($Password))
        [System.IO.File]::ReadAllText(($run.FullName -replace '\.args$', '.stdin')) | Should -BeExactly "$Password`n"
    }
}

Describe 'A baseline that cannot be met or checks nothing' {
    BeforeAll {
        $typos = @{
            'an option in the wrong letter case' = @('+++Wake On LAN', '*enabled', '')
            'an option with a trailing blank'    = @('+++Boot Mode', '*UEFI ', '')
            'an indented item line'              = @('    +++Wake On LAN', 'Enabled', '*LAN Only', '')
            'a read-only option'                 = @('+++Boot Mode', '*Legacy', '')
        }
        $named = @{
            'an option in the wrong letter case' = 'Wake On LAN: the wanted option is not offered or is read only'
            'an option with a trailing blank'    = 'Boot Mode: the wanted option is not offered or is read only'
            'an indented item line'              = 'line 4 is no item line: "    +++Wake On LAN"'
            'a read-only option'                 = 'Boot Mode: the wanted option is not offered or is read only'
        }
    }

    BeforeEach {
        $machine = New-TestMachine
    }

    It 'makes detection NonCompliant and names the entry: <_>' -ForEach 'an option in the wrong letter case', 'an option with a trailing blank', 'an indented item line', 'a read-only option' {
        $path = New-TestConfiguration -Name 'typo.txt' -Line (@('+++Langue', '*English', '') + $typos[$_])
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly ('NonCompliant: 1 baseline entries cannot be met: ' + $named[$_])
        $run = Invoke-FleetScript 'configmgr/Discover-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.Output | Should -BeExactly 'NonCompliant'
        $run.ExitCode | Should -Be 0
    }

    It 'names the entries that cannot be met before the settings that differ' {
        $path = New-TestConfiguration -Name 'typo-and-difference.txt' -Line @('+++Wake On LAN', '*Enabled', '', '+++Boot Mode', '*uefi', '')
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.Output | Should -BeExactly ('NonCompliant: 1 baseline entries cannot be met: Boot Mode: the wanted option is not offered or is read only; ' +
            '1 of 1 settings differ: Wake On LAN: Disabled -> Enabled')
    }

    It 'makes the <_> remediation fail, naming the entry, and sets the rest' -ForEach 'intune', 'configmgr' {
        $path = New-TestConfiguration -Name 'typo.txt' -Line @('+++Wake On LAN', '*Enabled', '', '+++Boot Mode', '*UEFI ', '')
        $run = Invoke-FleetProcess "$_/Remediate-VelorinBiosBaseline.ps1" $machine @{ BaselinePath = $path; PasswordFile = $passwordFile }
        $run.ExitCode | Should -Be 1
        ($run.Output + $run.Error) | Should -Match ([regex]::Escape('Remediation failed: 1 baseline entries cannot be met: Boot Mode: the wanted option is not offered or is read only; 1 changed, 0 unchanged, 0 read only, 0 not on this model; reboot to apply: Wake On LAN -> Enabled'))
        (Get-VelorinBiosSetting -Name 'Wake On LAN' -MachineFile $machine).CurrentValue | Should -Be 'Enabled'
    }

    It 'refuses a baseline that contradicts itself in every script, before any change: <Case>' -ForEach @(
        @{ Case = 'an item named again with another option'; Line = @('+++Wake On LAN', '*Enabled', '', '+++Boot Mode', '*UEFI', '', '+++Wake On LAN', '*LAN Only', '')
            Named = 'Wake On LAN: the block in line 7 wants another option than an earlier one' }
        @{ Case = 'a block with two stars'; Line = @('+++Langue', '*English', '', '+++Wake On LAN', '*Enabled', '*LAN Only', '')
            Named = 'Wake On LAN: the block in line 4 marks more than one option' }
    ) {
        $path = New-TestConfiguration -Name 'conflict.txt' -Line $Line
        $reason = '1 baseline entries contradict each other: ' + $Named
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly "Check failed: $reason"
        $run = Invoke-FleetProcess 'configmgr/Discover-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.Output | Should -BeExactly 'NonCompliant'
        $run.ExitCode | Should -Be 1
        $run.Error | Should -Match ([regex]::Escape($reason))
        foreach ($engine in 'intune', 'configmgr') {
            $run = Invoke-FleetProcess "$engine/Remediate-VelorinBiosBaseline.ps1" $machine @{ BaselinePath = $path; PasswordFile = $passwordFile }
            $run.ExitCode | Should -Be 1
            ($run.Output + $run.Error) | Should -Match ([regex]::Escape("Remediation failed: $reason"))
        }
        Test-Path -LiteralPath "$machine.nvram" | Should -BeFalse
    }

    It 'fails every script when no entry applies: <Case>' -ForEach @(
        @{ Case = 'an empty baseline'; Line = @(''); NotOnModel = 0 }
        @{ Case = 'every entry not on this model'; Line = @('+++Turbo', '*On', '', '+++Wake On LAN (old name)', '*On', ''); NotOnModel = 2 }
    ) {
        $path = New-TestConfiguration -Name 'nothing.txt' -Line $Line
        $run = Invoke-FleetScript 'intune/Detect-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly "Check failed: no entry of the baseline applies to this machine ($NotOnModel not on this model)"
        $run = Invoke-FleetProcess 'configmgr/Discover-VelorinBiosBaseline.ps1' $machine @{ BaselinePath = $path }
        $run.Output | Should -BeExactly 'NonCompliant'
        $run.ExitCode | Should -Be 1
        $run.Error | Should -Match 'no entry of the baseline applies'
        foreach ($engine in 'intune', 'configmgr') {
            $run = Invoke-FleetProcess "$engine/Remediate-VelorinBiosBaseline.ps1" $machine @{ BaselinePath = $path; PasswordFile = $passwordFile }
            $run.ExitCode | Should -Be 1
            ($run.Output + $run.Error) | Should -Match ([regex]::Escape("Remediation failed: no entry of the baseline applies to this machine ($NotOnModel not on this model)"))
        }
    }
}


Describe 'The sample baselines' {
    It 'are the same list in every baseline script of both engines and the compliance discovery' {
        $scripts = 'intune/Detect-VelorinBiosBaseline.ps1', 'intune/Remediate-VelorinBiosBaseline.ps1',
        'configmgr/Discover-VelorinBiosBaseline.ps1', 'configmgr/Remediate-VelorinBiosBaseline.ps1',
        'intune/compliance/Discover-VelorinBiosCompliance.ps1'
        $lists = foreach ($script in $scripts) {
            $ast = [System.Management.Automation.Language.Parser]::ParseFile((Join-Path $deploy $script), [ref]$null, [ref]$null)
            $assignment = @($ast.FindAll({
                        param($node)
                        $node -is [System.Management.Automation.Language.AssignmentStatementAst] -and $node.Left.Extent.Text -eq '$Baselines'
                    }, $false))
            $assignment.Count | Should -Be 1 -Because "$script pastes one list"
            $assignment[0].Right.Extent.Text -replace "`r`n", "`n"
        }
        $lists[0] | Should -Match 'Velorin ProBook 14\*'
        foreach ($index in 1..($lists.Count - 1)) {
            $lists[$index] | Should -BeExactly $lists[0] -Because "$($scripts[$index]) must say what $($scripts[0]) says"
        }
    }
}

Describe 'The module and tool lookup' {
    # Each script must stand alone, so each carries the lookup; one that drifts finds nothing in
    # a 32-bit host, as the compliance discovery once did.
    It 'is the same in every fleet script' {
        $defaults = foreach ($script in Get-ChildItem -LiteralPath $deploy -Recurse -Filter '*.ps1') {
            $ast = [System.Management.Automation.Language.Parser]::ParseFile($script.FullName, [ref]$null, [ref]$null)
            $text = foreach ($name in 'InstallFolder', 'ModulePath') {
                $parameter = @($ast.ParamBlock.Parameters | Where-Object { $_.Name.VariablePath.UserPath -eq $name })
                $parameter.Count | Should -Be 1 -Because "$($script.Name) takes -$name"
                $parameter[0].DefaultValue.Extent.Text -replace "`r`n", "`n"
            }
            [pscustomobject]@{ Script = $script.Name; Lookup = $text -join "`n" }
        }
        @($defaults).Count | Should -BeGreaterThan 6
        foreach ($default in $defaults) {
            $default.Lookup | Should -BeExactly $defaults[0].Lookup -Because "$($default.Script) must look where $($defaults[0].Script) looks"
        }
    }
}
