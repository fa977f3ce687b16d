# Intune custom compliance: the discovery script's one line of JSON, the rules file of
# New-VelorinBiosComplianceRule within Intune's documented limits, and the rules evaluated on the
# discovery of a compliant and a drifted machine as Intune documents their meaning.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $discover = Join-Path $RepoRoot 'deploy/intune/compliance/Discover-VelorinBiosCompliance.ps1'
    $url = 'https://it.example.com/bios'

    # The baselines pasted into the discovery script, as the script holds them.
    $ast = [System.Management.Automation.Language.Parser]::ParseFile($discover, [ref]$null, [ref]$null)
    $pasted = $ast.Find({
            param($node)
            $node -is [System.Management.Automation.Language.AssignmentStatementAst] -and $node.Left.Extent.Text -eq '$Baselines'
        }, $false)
    $sampleBaselines = & ([scriptblock]::Create($pasted.Right.Extent.Text))

    # A ProBook 14 with the sample baseline's settings, Secure Boot as given.
    function New-ProBook([string] $SecureBoot, [string] $Name) {
        $current = if ($SecureBoot -eq 'Enabled') { 1 } else { 2 }
        return New-TestMachine -Name $Name -Text (("manufacturer ""VELORIN""`nsupervisor-password ""$Password""`n" +
                "item 0x0100 ""Secure Boot"" current {0}`n  option ""Enabled""`n  option ""Disabled""`n" +
                "item 0x0101 ""Wake On LAN"" current 2`n  option ""Disabled""`n  option ""LAN Only""`n" +
                "item 0x0102 ""Fan Level"" current 1`n  option ""Quiet""`n  option ""Caf\xE9""`n") -f $current)
    }
    $machines = @{
        Compliant = New-ProBook 'Enabled' 'compliant.txt'
        Drifted   = New-ProBook 'Disabled' 'drifted.txt'
        Other     = New-TestMachine -Name 'other.txt' -Text "manufacturer ""Other Corp""`nitem 0x100 ""A"" current 1`n  option ""x""`n"
        Failing   = New-TestMachine -Name 'failing.txt' -Text "manufacturer ""VELORIN""`nfault ExecMethod ""EnumSetting"" hr=0x80041001`n"
    }

    # Runs the discovery script as a script file in this session; its output lines, the JSON
    # parsed, and the exit code.
    function Invoke-Discovery([string] $Machine, [hashtable] $Parameters = @{}) {
        $all = @{ ModulePath = $ModulePath; ToolPath = $Tool; MachineFile = $Machine; Model = 'Velorin ProBook 14 G3'
            StorePath = (Join-Path $TestDrive 'no-store') }
        foreach ($name in $Parameters.Keys) { $all[$name] = $Parameters[$name] }
        $lines = @(& $discover @all)
        return @{ Lines = $lines; Json = ($lines[-1] | ConvertFrom-Json); ExitCode = $LASTEXITCODE }
    }

    # Intune's evaluation of one rule on the discovered settings: the setting must be there
    # (65008 otherwise), of the rule's data type (65010 otherwise), and the operator compares
    # the value found with the operand; names and strings match exactly.
    function Test-IntuneRule([object] $Rule, [object] $Discovered) {
        $found = @($Discovered.PSObject.Properties | Where-Object { $_.Name -ceq $Rule.SettingName })
        if ($found.Count -ne 1) { return 'SettingMissing' }
        $actual = $found[0].Value
        $operand = $Rule.Operand
        switch ($Rule.DataType) {
            'Boolean' { if ($actual -isnot [bool]) { return 'InvalidDataType' } }
            'String' { if ($actual -isnot [string]) { return 'InvalidDataType' } }
            'Int64' { if ($actual -isnot [long] -and $actual -isnot [int]) { return 'InvalidDataType' }; $actual = [long]$actual; $operand = [long]$operand }
            'Version' {
                $parsed = $null
                if (-not [version]::TryParse([string]$actual, [ref]$parsed)) { return 'InvalidDataType' }
                $actual = $parsed; $operand = [version][string]$operand
            }
        }
        $comparison = if ($actual -is [string]) { [string]::CompareOrdinal($actual, [string]$operand) } else { $actual.CompareTo($operand) }
        $met = switch ($Rule.Operator) {
            'IsEquals' { $comparison -eq 0 }
            'NotEquals' { $comparison -ne 0 }
            'GreaterThan' { $comparison -gt 0 }
            'GreaterEquals' { $comparison -ge 0 }
            'LessThan' { $comparison -lt 0 }
            'LessEquals' { $comparison -le 0 }
        }
        if ($met) { return 'Compliant' }
        return 'NonCompliant'
    }

    # The device is compliant only when every rule is.
    function Test-IntuneCompliance([object] $Rules, [object] $Discovered) {
        $states = @($Rules.Rules | ForEach-Object { Test-IntuneRule $_ $Discovered })
        return @{ Compliant = @($states | Where-Object { $_ -ne 'Compliant' }).Count -eq 0; States = $states }
    }

    # What Intune documents for a rules file, checked on the file as written.
    function Assert-IntuneRulesFile([string] $Path) {
        (Get-Item -LiteralPath $Path).Length | Should -BeLessOrEqual 100KB
        $rules = [System.IO.File]::ReadAllText($Path) | ConvertFrom-Json
        @($rules.Rules).Count | Should -BeLessOrEqual 100
        foreach ($rule in $rules.Rules) {
            $rule.Operator | Should -BeIn @('IsEquals', 'NotEquals', 'GreaterThan', 'GreaterEquals', 'LessThan', 'LessEquals')
            $rule.DataType | Should -BeIn @('Boolean', 'Int64', 'Double', 'String', 'DateTime', 'Version')
            $rule.MoreInfoUrl | Should -BeExactly $url
            @($rule.RemediationStrings | Where-Object Language -CEQ 'en_US').Count | Should -Be 1
            @($rule.RemediationStrings | Where-Object { -not $_.Title -or -not $_.Description }).Count | Should -Be 0
        }
        return $rules
    }
}

Describe 'The discovery script' {
    It 'prints one line of compressed JSON as its last output and exits 0: <Case>' -ForEach @(
        @{ Case = 'compliant'; Machine = 'Compliant'; Compliant = $true; Differing = 0; Name = 'Velorin ProBook 14*'; Settings = 2 }
        @{ Case = 'drifted'; Machine = 'Drifted'; Compliant = $false; Differing = 1; Name = 'Velorin ProBook 14*'; Settings = 2 }
        @{ Case = 'not a Velorin PC'; Machine = 'Other'; Compliant = $true; Differing = 0; Name = 'Not applicable: *'; Settings = 0 }
        @{ Case = 'a failing check'; Machine = 'Failing'; Compliant = $false; Differing = -1; Name = 'Check failed (exit code 12): Internal error'; Settings = 0 }
    ) {
        $run = Invoke-Discovery $machines[$Machine]
        $run.ExitCode | Should -Be 0
        $run.Lines.Count | Should -Be 1
        $run.Lines[0] | Should -Not -Match '[\r\n]'
        $run.Json.VelorinBaselineCompliant | Should -Be $Compliant
        $run.Json.VelorinSettingsDiffering | Should -Be $Differing
        $run.Json.VelorinBaselineName | Should -BeLike $Name
        $names = @($run.Json.PSObject.Properties.Name)
        $names[0..5] | Should -Be @('VelorinBaselineCompliant', 'VelorinSettingsDiffering', 'VelorinBaselineName',
            'VelorinPasswordRotated', 'VelorinPasswordAgeDays', 'VelorinToolVersion')
        $names.Count | Should -Be (6 + $Settings)
    }

    It 'names each setting of the baseline as the baseline does, its value the current option, with the types Intune reads' {
        $json = (Invoke-Discovery $machines.Drifted).Json
        $json.'Secure Boot' | Should -BeExactly 'Disabled'
        $json.'Wake On LAN' | Should -BeExactly 'LAN Only'
        $json.PSObject.Properties.Name | Should -Not -Contain 'Fan Level'
        $json.VelorinBaselineCompliant | Should -BeOfType [bool]
        $json.VelorinSettingsDiffering | Should -BeOfType [long]
        $json.VelorinPasswordAgeDays | Should -Be -1
        $json.VelorinPasswordRotated | Should -BeFalse
        $json.VelorinToolVersion | Should -Match '^\d+\.\d+\.\d+\.\d+$'
        $json.VelorinToolVersion | Should -Not -Be '0.0.0.0'
    }

    It 'reports a model that no baseline serves as compliant, with the summary keys only' {
        $run = Invoke-Discovery $machines.Compliant @{ Model = 'Velorin Tower 5' }
        $run.Json.VelorinBaselineCompliant | Should -BeTrue
        $run.Json.VelorinBaselineName | Should -BeExactly "Not applicable: no baseline serves the model 'Velorin Tower 5'"
        @($run.Json.PSObject.Properties).Count | Should -Be 6
    }

    It 'reports a baseline file of which nothing applies as a failed check' {
        $nothing = New-TestConfiguration -Name 'nothing.txt' -Line @('+++Turbo', '*On', '')
        $run = Invoke-Discovery $machines.Compliant @{ BaselinePath = $nothing }
        $run.Json.VelorinBaselineCompliant | Should -BeFalse
        $run.Json.VelorinBaselineName | Should -BeExactly 'Check failed: no entry of the baseline applies to this machine (1 not on this model)'
    }

    It 'prints the failed JSON, not half a line, when the module cannot be loaded, run as Intune runs it' {
        $output = & $Pwsh -NoProfile -NonInteractive -File $discover -ModulePath (Join-Path $TestDrive 'nowhere') -ToolPath $Tool 2>$null
        $LASTEXITCODE | Should -Be 0
        @($output).Count | Should -Be 1
        $json = $output | ConvertFrom-Json
        $json.VelorinBaselineCompliant | Should -BeFalse
        $json.VelorinBaselineName | Should -BeLike 'Check failed: *'
        $json.VelorinToolVersion | Should -Be '0.0.0.0'
        $failed = (Invoke-Discovery $machines.Failing).Json
        @($json.PSObject.Properties.Name) | Should -Be @($failed.PSObject.Properties.Name)
    }

    It 'reads the password keys from the store and never presents a password to the firmware' {
        Assert-TestCapability StoreProtection
        $store = Join-Path $TestDrive 'rotated-store'
        & (Get-Module VelorinBios) {
            param($Path, $Secret)
            Initialize-VelorinPasswordStore $Path
            $state = New-VelorinStoreState
            $state.Current = $Secret
            $state.Sequence = 4
            $state.Rotated = [datetime]::UtcNow.AddDays(-3).AddHours(-1)
            Write-VelorinPasswordStore $Path $state
        } $store (ConvertTo-TestSecureString $Password)
        $recorder = Start-ToolRecording 'discovery'
        $run = Invoke-Discovery $machines.Compliant @{ StorePath = $store; ToolPath = $recorder }
        $runs = Stop-ToolRecording
        $run.Json.VelorinPasswordRotated | Should -BeTrue
        $run.Json.VelorinPasswordAgeDays | Should -Be 3
        @($runs | ForEach-Object { $_.Arguments[0] }) | Should -Be @('/get', '/check')
        @($runs | Where-Object { $_.Input }).Count | Should -Be 0
        ($run.Lines -join "`n") | Should -Not -Match ([regex]::Escape($Password))
    }
}

Describe 'The rules file' {
    It 'of every sample baseline keeps to Intune''s documented limits: <Model>' -ForEach @(
        @{ Model = 'Velorin ProBook 14*'; Settings = 2 }
        @{ Model = 'Velorin ProBook 16*'; Settings = 1 }
        @{ Model = 'Velorin EliteDesk 8*'; Settings = 2 }
    ) {
        $entry = $sampleBaselines | Where-Object { $_.Model -eq $Model }
        $path = Join-Path $TestDrive 'sample-rules.json'
        $file = New-VelorinBiosComplianceRule -Path $path -Baseline $entry.Baseline -Model $Model -MoreInfoUrl $url -MaximumPasswordAgeDays 30
        $file.FullName | Should -Be (Get-Item -LiteralPath $path).FullName
        $rules = Assert-IntuneRulesFile $path
        @($rules.Rules).Count | Should -Be ($Settings + 3)
        $rules.Rules[0].SettingName | Should -BeExactly 'Secure Boot'
        $rules.Rules[0].Operand | Should -BeExactly 'Enabled'
        $rules.Rules[0].RemediationStrings[0].Title | Should -Match '\{ActualValue\}'
        @($rules.Rules | Where-Object DataType -EQ 'Boolean' | ForEach-Object Operand) | Should -Be @($true, $true)
        ($rules.Rules | Where-Object SettingName -EQ 'VelorinPasswordAgeDays').Operand | Should -Be 30
    }

    It 'marks the drifted machine non-compliant and the compliant one compliant, by the discovery''s own names' {
        $path = Join-Path $TestDrive 'probook-rules.json'
        $entry = $sampleBaselines[0]
        [void](New-VelorinBiosComplianceRule -Path $path -Baseline $entry.Baseline -Model $entry.Model -MoreInfoUrl $url)
        $rules = Assert-IntuneRulesFile $path
        $compliant = Test-IntuneCompliance $rules (Invoke-Discovery $machines.Compliant).Json
        $compliant.States | Should -Be @('Compliant', 'Compliant', 'Compliant')
        $compliant.Compliant | Should -BeTrue
        $drifted = Test-IntuneCompliance $rules (Invoke-Discovery $machines.Drifted).Json
        $drifted.States | Should -Be @('NonCompliant', 'Compliant', 'NonCompliant')
        $drifted.Compliant | Should -BeFalse
    }

    It 'with the password rules, marks a device that never rotated non-compliant' {
        $path = Join-Path $TestDrive 'summary-rules.json'
        [void](New-VelorinBiosComplianceRule -Path $path -MoreInfoUrl $url -MaximumPasswordAgeDays 30)
        $rules = Assert-IntuneRulesFile $path
        @($rules.Rules.SettingName) | Should -Be @('VelorinBaselineCompliant', 'VelorinPasswordRotated', 'VelorinPasswordAgeDays')
        $result = Test-IntuneCompliance $rules (Invoke-Discovery $machines.Compliant).Json
        $result.States | Should -Be @('Compliant', 'NonCompliant', 'Compliant')
    }

    It 'keeps a name with characters beyond ASCII byte for byte, escaped in an ASCII file' {
        $path = Join-Path $TestDrive 'accented-rules.json'
        $baseline = New-TestConfiguration -Name 'accented.txt' -Line @('+++Fan Level', "*Caf$([char]0xE9)", 'Quiet', '')
        [void](New-VelorinBiosComplianceRule -Path $path -BaselinePath $baseline -MoreInfoUrl $url)
        @([System.IO.File]::ReadAllBytes($path) | Where-Object { $_ -gt 127 }).Count | Should -Be 0
        $rules = Assert-IntuneRulesFile $path
        $discovered = (Invoke-Discovery $machines.Compliant @{ BaselinePath = $baseline }).Json
        (Test-IntuneCompliance $rules $discovered).States | Should -Be @('NonCompliant', 'NonCompliant')
        $discovered.'Fan Level' | Should -BeExactly 'Quiet'
        $rules.Rules[0].Operand | Should -BeExactly "Caf$([char]0xE9)"
    }

    It 'refuses, writing nothing, what Intune refuses: <Case>' -ForEach @(
        @{ Case = 'more than 100 rules'; Count = 100; Length = 1; Message = 'Intune takes at most 100 rules; these are 101.' }
        @{ Case = 'a file over 100 KB'; Count = 60; Length = 800; Message = 'Intune takes a rules file of at most 100 KB; *' }
    ) {
        $lines = foreach ($i in 1..$Count) { '+++Setting {0:D3} {1}' -f $i, ('x' * $Length); '*On'; 'Off'; '' }
        $baseline = New-TestConfiguration -Name 'large.txt' -Line $lines
        $path = Join-Path $TestDrive 'refused.json'
        $failure = Get-TerminatingError { New-VelorinBiosComplianceRule -Path $path -BaselinePath $baseline -MoreInfoUrl $url }
        $failure.Exception.Message | Should -BeLike $Message
        $failure.FullyQualifiedErrorId | Should -BeLike 'VelorinComplianceRuleRefused*'
        Test-Path -LiteralPath $path | Should -BeFalse
    }

    It 'finds the rule Intune refuses: <Case>' -ForEach @(
        @{ Case = 'no en_US strings'; Language = 'de_DE'; Operator = 'IsEquals'; DataType = 'String'; Message = "The rule for 'X' has no remediation strings in en_US." }
        @{ Case = 'a language Intune does not show'; Language = 'en_US', 'xx_XX'; Operator = 'IsEquals'; DataType = 'String'; Message = "The rule for 'X' has remediation strings in 'xx_XX', which Intune does not show." }
        @{ Case = 'an ordering operator on a string'; Language = 'en_US'; Operator = 'GreaterThan'; DataType = 'String'; Message = "The rule for 'X' compares a String with 'GreaterThan', which that type does not take." }
        @{ Case = 'an ordering operator on a Boolean'; Language = 'en_US'; Operator = 'LessEquals'; DataType = 'Boolean'; Message = "The rule for 'X' compares a Boolean with 'LessEquals', which that type does not take." }
        @{ Case = 'an unknown data type'; Language = 'en_US'; Operator = 'IsEquals'; DataType = 'Text'; Message = "The rule for 'X' has the data type 'Text', which Intune does not know." }
        @{ Case = 'nothing'; Language = 'en_US', 'de_DE'; Operator = 'LessEquals'; DataType = 'Version'; Message = $null }
    ) {
        $rule = [ordered]@{
            SettingName = 'X'; Operator = $Operator; DataType = $DataType; Operand = '1'; MoreInfoUrl = $url
            RemediationStrings = @($Language | ForEach-Object { [ordered]@{ Language = $_; Title = 't'; Description = 'd' } })
        }
        $problem = & (Get-Module VelorinBios) { param($Rules) Get-VelorinComplianceRuleProblem $Rules 100 } @($rule)
        $problem | Should -Be $Message
    }

    It 'writes nothing under -WhatIf' {
        $path = Join-Path $TestDrive 'whatif.json'
        New-VelorinBiosComplianceRule -Path $path -MoreInfoUrl $url -WhatIf | Should -BeNullOrEmpty
        Test-Path -LiteralPath $path | Should -BeFalse
    }
}
