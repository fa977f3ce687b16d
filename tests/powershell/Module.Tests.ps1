# How the module's commands behave in a pipeline and at a console, and what a caller's catch
# block can read off their errors.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $secure = ConvertTo-TestSecureString $Password
}

Describe 'Pipeline input by property name' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'checks each file that Get-ChildItem gives, by its path' {
        $folder = Join-Path $TestDrive 'baselines'
        [void](New-Item -ItemType Directory -Path $folder -Force)
        [void](New-TestConfiguration -Name 'baselines/a.txt' -Line @('+++Wake On LAN', '*Disabled', ''))
        [void](New-TestConfiguration -Name 'baselines/b.txt' -Line @('+++Wake On LAN', '*Enabled', ''))
        $results = @(Get-ChildItem -Path (Join-Path $folder '*.txt') | Sort-Object Name | Test-VelorinBiosConfiguration -MachineFile $machine)
        $results.Count | Should -Be 2
        $results.Compliant | Should -Be @($true, $false)
        $results[1].Differences[0].Wanted | Should -BeExactly 'Enabled'
    }

    It 'checks each setting that Get-VelorinBiosSetting gives against the value given' {
        @(Get-VelorinBiosSetting -Name 'Wake*' -MachineFile $machine | Test-VelorinBiosConfiguration -Value 'Disabled' -Quiet -MachineFile $machine) | Should -Be @($true)
        @(Get-VelorinBiosSetting -Name 'Lock*' -MachineFile $machine | Test-VelorinBiosConfiguration -Value 'Open' -Quiet -MachineFile $machine) | Should -Be @($false)
    }

    It 'takes Name and Value from objects such as a CSV''s rows' {
        $rows = @([pscustomobject]@{ Name = 'Wake On LAN'; Value = 'Disabled' }, [pscustomobject]@{ Name = 'Boot Mode'; Value = 'UEFI' })
        ($rows | Test-VelorinBiosConfiguration -Quiet -MachineFile $machine) | Should -Be @($true, $true)
    }

    It 'sets each setting that Get-VelorinBiosSetting gives' {
        $results = @(Get-VelorinBiosSetting -Name 'Wake On LAN' -MachineFile $machine |
                Set-VelorinBiosSetting -Value 'Enabled' -Password $secure -MachineFile $machine -Confirm:$false)
        $results.Count | Should -Be 1
        $results[0].Changed[0].Name | Should -BeExactly 'Wake On LAN'
        (Get-VelorinBiosSetting -Name 'Wake On LAN' -MachineFile $machine).CurrentValue | Should -BeExactly 'Enabled'
    }

    It 'sets each file that Get-ChildItem gives' {
        $file = New-TestConfiguration -Name 'piped-set.txt' -Line @('+++Wake On LAN', '*LAN Only', '')
        $result = Get-Item -LiteralPath $file | Set-VelorinBiosConfiguration -Password $secure -MachineFile $machine -Confirm:$false
        $result.Changed[0].Value | Should -BeExactly 'LAN Only'
    }
}

Describe 'Default views' {
    BeforeAll {
        # The table a bare command shows at a console, its lines trimmed.
        function Show-Default([object[]] $InputObject) {
            return @(($InputObject | Out-String -Width 200) -split "`r?`n" | ForEach-Object { $_.TrimEnd() } | Where-Object { $_ })
        }
    }

    BeforeEach {
        $machine = New-TestMachine
    }

    It 'shows settings as a table of name, current value and number of options, keeping the options' {
        $settings = @(Get-VelorinBiosSetting -Name 'Wake On LAN', 'Asset Tag' -MachineFile $machine)
        $shown = Show-Default $settings
        $shown[0] | Should -Match '^Name\s+CurrentValue\s+Options$'
        $shown[2] | Should -Match '^Wake On LAN\s+Disabled\s+3$'
        $shown[3] | Should -Match '^Asset Tag\s+0$'
        $settings[0].Options | Should -Be @('Enabled', 'Disabled', 'LAN Only')
    }

    It 'shows a compliance result as one row of counts, keeping the differences' {
        $baseline = New-TestConfiguration -Name 'view-check.txt' -Line @('+++Wake On LAN', '*Enabled', '', '+++Boot Mode', '*UEFI', '', '+++Absent', '*On', '')
        $compliance = Test-VelorinBiosConfiguration -Path $baseline -Force -MachineFile $machine
        $shown = Show-Default $compliance
        $shown[0] | Should -Match '^Compliant\s+Differences\s+Matching\s+NotChecked\s+Unmatched\s+NotOnModel$'
        $shown[2] | Should -Match '^\s*False\s+1\s+1\s+1\s+0\s+1$'
        $compliance.Differences[0].Name | Should -BeExactly 'Wake On LAN'
        $compliance.ExitCode | Should -Be 13
    }

    It 'shows a set result as one row of counts, keeping the changes' {
        $baseline = New-TestConfiguration -Name 'view-set.txt' -Line @('+++Wake On LAN', '*Enabled', '', '+++Boot Mode', '*UEFI', '')
        $result = Set-VelorinBiosConfiguration -Path $baseline -Password $secure -MachineFile $machine -Confirm:$false
        $shown = Show-Default $result
        $shown[0] | Should -Match '^Changed\s+Unchanged\s+Skipped\s+Failed\s+RebootRequired\s+Unmatched\s+NotOnModel$'
        $shown[2] | Should -Match '^\s*1\s+1\s+0\s+0\s+True\s+0\s+0$'
        $result.Changed[0].Value | Should -BeExactly 'Enabled'
    }
}

Describe 'Errors a caller can branch on' {
    BeforeEach {
        $machine = New-TestMachine
    }

    It 'name the file a failed check concerns, and carry the exit code after catch' {
        $file = New-TestConfiguration -Name 'unknown-item.txt' -Line @('+++No Such Item', '*On', '')
        $caught = try { Test-VelorinBiosConfiguration -Path $file -MachineFile $machine; $null } catch { $_ }
        $caught.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool9,Test-VelorinBiosConfiguration'
        $caught.TargetObject | Should -BeExactly $file
        $caught.CategoryInfo.Category | Should -Be 'InvalidData'
        $caught.Exception.ExitCode | Should -Be 9
        $caught.Exception.Data['ExitCode'] | Should -Be 9
        $caught.Exception.Data['Reason'] | Should -BeExactly 'ToolFailed'
    }

    It 'name the setting a refused change concerns' {
        $wrong = ConvertTo-TestSecureString 'not-it'
        $caught = Get-TerminatingError { Set-VelorinBiosSetting -Name 'Wake On LAN' -Value 'Enabled' -Password $wrong -MachineFile $machine -Confirm:$false }
        $caught.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool2,Set-VelorinBiosSetting'
        $caught.TargetObject | Should -BeExactly 'Wake On LAN'
        $caught.CategoryInfo.Category | Should -Be 'AuthenticationError'
        $caught.Exception.Data['ExitCode'] | Should -Be 2
    }

    It 'name the password a refused password change concerns' {
        $wrong = ConvertTo-TestSecureString 'not-it'
        $caught = Get-TerminatingError { Set-VelorinBiosPassword -Supervisor -NewPassword $secure -Password $wrong -MachineFile $machine -Confirm:$false }
        $caught.TargetObject | Should -BeExactly 'BIOS supervisor password'
        $caught.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool2,Set-VelorinBiosPassword'
    }

    It 'say NotInstalled on a machine that is no Velorin PC: <Case>' -ForEach @(
        @{ Case = 'other maker'; Text = "manufacturer ""Other Corp""`nitem 0x100 ""A"" current 1`n  option ""x""`n" }
        @{ Case = 'no provider'; Text = "fault ConnectServer ""ROOT\velorin"" hr=0x8004100E`n" }
    ) {
        $other = New-TestMachine -Name 'not-velorin.txt' -Text $Text
        $caught = Get-TerminatingError { Get-VelorinBiosSetting -Name 'Wake*' -MachineFile $other }
        $caught.CategoryInfo.Category | Should -Be 'NotInstalled'
        $caught.FullyQualifiedErrorId | Should -Be 'VelorinBiosTool12,Get-VelorinBiosSetting'
        $caught.Exception.Data['Reason'] | Should -BeExactly 'NotVelorin'
        $caught.TargetObject | Should -Be @('Wake*')
    }

    It 'say NotImplemented below revision 6, naming the file to be written' {
        $old = New-TestMachine -Name 'old-revision.txt' -Text "revision 5`nmanufacturer ""VELORIN""`n"
        $path = Join-Path $TestDrive 'never-written.txt'
        $caught = Get-TerminatingError { Export-VelorinBiosConfiguration -Path $path -MachineFile $old }
        $caught.CategoryInfo.Category | Should -Be 'NotImplemented'
        $caught.Exception.Data['Reason'] | Should -BeExactly 'UnsupportedRevision'
        $caught.TargetObject | Should -BeExactly $path
    }
}

Describe 'Help' {
    BeforeAll {
        $commands = @(Get-Command -Module VelorinBios -CommandType Function | Where-Object { $_.Parameters.ContainsKey('ToolPath') })
        $about = Join-Path $ModulePath 'en-US/about_VelorinBios.help.txt'
    }

    It 'describes -ToolPath and -MachineFile once, in about_VelorinBios' {
        $text = [System.IO.File]::ReadAllText($about)
        $text | Should -Match 'VELORIN_BIOS_TOOL'
        $text | Should -Match 'VELORIN_MACHINE'
        (Get-Help about_VelorinBios | Out-String) | Should -Match 'VELORIN_BIOS_TOOL'
    }

    It 'points <_> to about_VelorinBios for -ToolPath and -MachineFile' -ForEach @(
        'Get-VelorinBiosSetting', 'Export-VelorinBiosConfiguration', 'Test-VelorinBiosConfiguration', 'Set-VelorinBiosConfiguration',
        'Set-VelorinBiosSetting', 'Set-VelorinBiosPassword', 'Export-VelorinBiosMachine', 'Test-VelorinBiosBaseline',
        'Reset-VelorinBiosPassword', 'Clear-VelorinBiosPassword') {
        $commands.Name | Should -Contain $_
        $help = Get-Help $_ -Full
        ($help.relatedLinks | Out-String) | Should -Match 'about_VelorinBios'
        # Test-VelorinBiosBaseline's -MachineFile names the captures it rehearses on: its own text.
        $shared = @('ToolPath', 'MachineFile')
        if ($_ -eq 'Test-VelorinBiosBaseline') {
            $shared = @('ToolPath')
        }
        foreach ($parameter in $shared) {
            $description = (Get-Help $_ -Parameter $parameter).description | Out-String
            $description | Should -Match 'about_VelorinBios'
            $description | Should -Not -Match 'VELORIN_BIOS_TOOL|VELORIN_MACHINE|handed to the tool'
        }
    }
}

Describe 'The tool context' {
    It 'is one typed object of the command, the tool and the machine file' {
        $context = InModuleScope VelorinBios {
            & { [CmdletBinding()] param() New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath 'tool' -MachineFile 'machine.txt' }
        }
        $context.PSObject.TypeNames[0] | Should -BeExactly 'Velorin.ToolContext'
        $context.Cmdlet | Should -BeOfType ([System.Management.Automation.PSCmdlet])
        @($context.PSObject.Properties.Name) | Should -Be @('Cmdlet', 'ToolPath', 'MachineFile')
        $context.ToolPath, $context.MachineFile | Should -Be @('tool', 'machine.txt')
    }

    It 'is what a run takes: a hashtable of the same keys is refused' {
        {
            InModuleScope VelorinBios -Parameters @{ Folder = $TestDrive } {
                param($Folder)
                & {
                    [CmdletBinding()] param()
                    Invoke-VelorinTool -Context @{ Cmdlet = $PSCmdlet; ToolPath = $null; MachineFile = $null } -Arguments '/get' -WorkingDirectory $Folder
                }
            }
        } | Should -Throw -ExceptionType ([System.Management.Automation.ParameterBindingException])
    }

    # Made once, however many runs and pipeline objects the command has.
    It '<Command> makes <Count> for <Runs>' -ForEach @(
        @{ Command = 'Test-VelorinBiosConfiguration'; Count = 1; Runs = 'two files from the pipeline' }
        @{ Command = 'Set-VelorinBiosSetting'; Count = 1; Runs = 'two settings from the pipeline' }
        @{ Command = 'Invoke-VelorinBiosBaselineRemediation'; Count = 2; Runs = 'itself and the set it hands the baseline to' }
    ) {
        Mock New-VelorinToolContext -ModuleName VelorinBios -MockWith {
            [pscustomobject]@{ PSTypeName = 'Velorin.ToolContext'; Cmdlet = $Cmdlet; ToolPath = $ToolPath; MachineFile = $MachineFile }
        }
        $machine = New-TestMachine
        $file = New-TestConfiguration -Line @('+++Wake On LAN', '*Disabled', '')
        $passwordFile = Join-Path $TestDrive 'password.txt'
        [System.IO.File]::WriteAllText($passwordFile, $Password)
        switch ($Command) {
            'Test-VelorinBiosConfiguration' { @(Get-Item -LiteralPath $file, $file | Test-VelorinBiosConfiguration -MachineFile $machine).Count | Should -Be 2 }
            'Set-VelorinBiosSetting' {
                $rows = @([pscustomobject]@{ Name = 'Wake On LAN'; Value = 'Enabled' }, [pscustomobject]@{ Name = 'Boot Mode'; Value = 'UEFI' })
                @($rows | Set-VelorinBiosSetting -Password (ConvertTo-TestSecureString $Password) -MachineFile $machine -Confirm:$false).Count | Should -Be 2
            }
            'Invoke-VelorinBiosBaselineRemediation' {
                $outcome = Invoke-VelorinBiosBaselineRemediation -BaselinePath $file -PasswordFile $passwordFile -StorePath (Join-Path $TestDrive 'no-store') `
                    -MachineFile $machine -Confirm:$false
                $outcome.State | Should -BeExactly 'Remediated'
            }
        }
        Should -Invoke New-VelorinToolContext -ModuleName VelorinBios -Times $Count -Exactly
    }
}

Describe 'Script blocks the module hands to its helpers' -ForEach @(
    Get-ChildItem -LiteralPath (Join-Path $PSScriptRoot '../../powershell/VelorinBios') -Recurse -Include '*.ps1', '*.psm1' |
        ForEach-Object { @{ Path = $_.FullName; Name = $_.Name } }
) {
    BeforeAll {
        # What PowerShell itself sets in every scope.
        $automatic = @('_', 'PSItem', 'true', 'false', 'null', 'args', 'input', 'Matches', 'this', 'PSCmdlet', 'PSBoundParameters',
            'PSVersionTable', 'PSScriptRoot', 'WhatIfPreference', 'VerbosePreference', 'ErrorActionPreference', 'ExecutionContext')
        # Blocks these cmdlets run in their caller's scope, as the language means them to.
        $inline = @('Where-Object', 'ForEach-Object', 'Sort-Object', 'Select-Object', 'Group-Object', 'Measure-Object')

        function Test-InlineBlock([System.Management.Automation.Language.Ast] $Block) {
            $parent = $Block.Parent
            if ($parent -is [System.Management.Automation.Language.CommandParameterAst]) {
                $parent = $parent.Parent
            }
            return $parent -is [System.Management.Automation.Language.CommandAst] -and $inline -contains $parent.GetCommandName()
        }

        # The names a block gives values itself: its parameters, assignments and loop variables.
        function Get-OwnVariable([System.Management.Automation.Language.Ast] $Block) {
            foreach ($node in $Block.FindAll({ $true }, $true)) {
                $target = $null
                if ($node -is [System.Management.Automation.Language.ParameterAst]) {
                    $target = $node.Name
                }
                elseif ($node -is [System.Management.Automation.Language.AssignmentStatementAst]) {
                    $target = $node.Left
                    if ($target -is [System.Management.Automation.Language.ConvertExpressionAst]) {
                        $target = $target.Child
                    }
                }
                elseif ($node -is [System.Management.Automation.Language.ForEachStatementAst]) {
                    $target = $node.Variable
                }
                if ($target -is [System.Management.Automation.Language.VariableExpressionAst]) {
                    $target.VariablePath.UserPath
                }
            }
        }
    }

    It 'in <Name> read only what they are given, never their caller''s variables' {
        $ast = [System.Management.Automation.Language.Parser]::ParseFile($Path, [ref]$null, [ref]$null)
        $blocks = $ast.FindAll({ $args[0] -is [System.Management.Automation.Language.ScriptBlockExpressionAst] }, $true) |
            Where-Object { -not (Test-InlineBlock $_) }
        $foreign = foreach ($block in $blocks) {
            $own = @(Get-OwnVariable $block)
            $block.FindAll({ $args[0] -is [System.Management.Automation.Language.VariableExpressionAst] }, $true) |
                Where-Object { $_.VariablePath.IsUnscopedVariable -and $own -notcontains $_.VariablePath.UserPath -and
                    $automatic -notcontains $_.VariablePath.UserPath } |
                ForEach-Object { 'line {0}: {1}' -f $_.Extent.StartLineNumber, $_.Extent.Text }
        }
        @($foreign) | Should -BeNullOrEmpty
    }
}
