# Every script of the module and of deploy/ parses, keeps to what Windows PowerShell 5.1
# understands, and the manifest exports exactly the documented commands with their help.

BeforeDiscovery {
    $root = (Resolve-Path (Join-Path $PSScriptRoot '../..')).Path
    $newerSamples = Get-Content -LiteralPath (Join-Path $PSScriptRoot 'newer-syntax-samples.txt') |
        Where-Object { $_ -and -not $_.StartsWith('#') } |
        ForEach-Object { $finding, $text = $_ -split "`t", 2; @{ Expected = $finding; Text = $text } }
    $scripts = @('powershell', 'deploy', 'bench') | ForEach-Object { Join-Path $root $_ } | Where-Object { Test-Path $_ } |
        ForEach-Object { Get-ChildItem -LiteralPath $_ -Recurse -Include '*.ps1', '*.psm1', '*.psd1' } |
        ForEach-Object { @{ Path = $_.FullName; Name = $_.FullName.Substring($root.Length + 1) } }
    # The public commands as the manifest lists them for auto-loading; the module's own list is
    # its Public files, and the manifest's test below holds the two together.
    $commands = (Import-PowerShellDataFile -Path (Join-Path $root 'powershell/VelorinBios/VelorinBios.psd1')).FunctionsToExport |
        ForEach-Object { @{ Command = $_ } }
    # These read records or the password store only, hand a baseline to a script block, write
    # rules or an event; the tool is not run.
    $withoutTool = @('Unprotect-VelorinBiosPassword', 'Get-VelorinBiosPasswordStatus', 'Invoke-VelorinBiosModelBaseline',
        'New-VelorinBiosComplianceRule', 'Write-VelorinBiosFleetEvent')
    # These change the firmware, the password store or files; the fleet remediations among them.
    $changing = @('Export-VelorinBiosConfiguration', 'Set-VelorinBiosConfiguration', 'Set-VelorinBiosSetting',
        'Set-VelorinBiosPassword', 'Export-VelorinBiosMachine', 'Reset-VelorinBiosPassword', 'Clear-VelorinBiosPassword',
        'Invoke-VelorinBiosBaselineRemediation', 'Invoke-VelorinBiosPasswordRotation', 'New-VelorinBiosComplianceRule')
}

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')

    # Parameters and commands that Windows PowerShell 5.1 lacks.
    $newerParameters = @{
        'ForEach-Object' = @('Parallel', 'ThrottleLimit', 'AsJob')
        'Get-Content'    = @('AsByteStream')
        'Set-Content'    = @('AsByteStream')
        'Add-Content'    = @('AsByteStream')
        'ConvertFrom-Json' = @('AsHashtable', 'Depth', 'NoEnumerate')
        'ConvertTo-Json' = @('AsArray', 'EnumsAsStrings', 'EscapeHandling')
        'Join-Path'      = @('AdditionalChildPath')
        'Import-Module'  = @('UseWindowsPowerShell', 'SkipEditionCheck')
        'Select-Object'  = @('SkipIndex')
    }
    $newerCommands = @('Get-Error', 'Test-Json', 'Join-String', 'ConvertFrom-Markdown', 'Remove-Alias',
        'Get-Uptime', 'Remove-Service', 'ConvertTo-CliXml', 'ConvertFrom-CliXml', 'Clear-RecycleBin')
    $newerVariables = @('IsWindows', 'IsLinux', 'IsMacOS', 'IsCoreCLR', 'PSStyle')
    $commandAliases = @{ 'foreach' = 'ForEach-Object'; '%' = 'ForEach-Object'; 'gc' = 'Get-Content'; 'select' = 'Select-Object' }

    # What a script uses that Windows PowerShell 5.1 does not have, one text per use.
    function Find-NewerSyntax([System.Management.Automation.Language.Ast] $Ast) {
        $found = $Ast.FindAll({ $true }, $true) | ForEach-Object {
            $node = $_
            switch ($node.GetType().Name) {
                'TernaryExpressionAst' { 'ternary operator' }
                'PipelineChainAst' { '&& or || pipeline chain' }
                'BinaryExpressionAst' {
                    if ($node.Operator -eq 'QuestionQuestion') { 'null-coalescing operator' }
                    if ($node.Operator -match 'replace$' -and $node.Right -is [System.Management.Automation.Language.ArrayLiteralAst] -and
                        @($node.Right.Elements | Where-Object { $_ -is [System.Management.Automation.Language.ScriptBlockExpressionAst] }).Count) {
                        '-replace with a script block'
                    }
                }
                'AssignmentStatementAst' { if ($node.Operator -eq 'QuestionQuestionEquals') { 'null-coalescing assignment' } }
                'MemberExpressionAst' { if ($node.NullConditional) { 'null-conditional member access' } }
                'InvokeMemberExpressionAst' { if ($node.NullConditional) { 'null-conditional member access' } }
                'IndexExpressionAst' { if ($node.NullConditional) { 'null-conditional index' } }
                'PipelineAst' { if ($node.Background) { '& background operator' } }
                'ScriptBlockAst' { if ($node.CleanBlock) { 'clean block' } }
                'VariableExpressionAst' { if ($newerVariables -contains $node.VariablePath.UserPath) { "`$$($node.VariablePath.UserPath)" } }
                'TypeExpressionAst' {
                    $parent = $node.Parent
                    if ($parent -is [System.Management.Automation.Language.MemberExpressionAst] -and $node.TypeName.Name -match 'Encoding$' -and
                        $parent.Member.Value -eq 'Latin1') { '[Encoding]::Latin1' }
                }
                'CommandAst' {
                    $name = $node.GetCommandName()
                    if ($name) {
                        if ($commandAliases.ContainsKey($name)) { $name = $commandAliases[$name] }
                        if ($newerCommands -contains $name) { $name }
                        foreach ($parameter in $node.CommandElements | Where-Object { $_ -is [System.Management.Automation.Language.CommandParameterAst] }) {
                            $newer = @($newerParameters[$name] | Where-Object { $_ -like "$($parameter.ParameterName)*" })
                            if ($newer.Count) { "$name -$($newer[0])" }
                        }
                        if ($name -eq 'Join-Path' -and @($node.CommandElements | Where-Object { $_ -isnot [System.Management.Automation.Language.CommandParameterAst] }).Count -gt 3) {
                            'Join-Path with more than two paths'
                        }
                    }
                }
            }
        }
        return @($found)
    }

    function Find-NewerSyntaxInText([string] $Text) {
        $tokens = $null
        $errors = $null
        Find-NewerSyntax ([System.Management.Automation.Language.Parser]::ParseInput($Text, [ref]$tokens, [ref]$errors))
    }
}

Describe 'The check for Windows PowerShell 5.1' {
    It 'finds <Expected> in <Text>' -ForEach $newerSamples {
        Find-NewerSyntaxInText $Text | Should -Contain $Expected
    }

    It 'finds nothing in code that 5.1 runs' {
        Find-NewerSyntaxInText 'if ($a) { 1 } else { 2 }; $b = $c.d; Join-Path a b; 1..3 | ForEach-Object { $_ }' | Should -BeNullOrEmpty
    }
}

Describe '<Name>' -ForEach $scripts {
    It 'parses without errors' {
        $tokens = $null
        $errors = $null
        [void][System.Management.Automation.Language.Parser]::ParseFile($Path, [ref]$tokens, [ref]$errors)
        $errors | Should -BeNullOrEmpty
    }

    It 'uses nothing that Windows PowerShell 5.1 lacks' {
        $tokens = $null
        $errors = $null
        Find-NewerSyntax ([System.Management.Automation.Language.Parser]::ParseFile($Path, [ref]$tokens, [ref]$errors)) | Should -BeNullOrEmpty
    }

    It 'is ASCII, which Windows PowerShell 5.1 reads the same in every code page' {
        @([System.IO.File]::ReadAllBytes($Path) | Where-Object { $_ -gt 127 }).Count | Should -Be 0
    }
}

Describe 'The module manifest' -ForEach @(@{ Documented = @($commands.Command | Sort-Object) }) {
    BeforeAll {
        $manifest = Test-ModuleManifest -Path (Join-Path $ModulePath 'VelorinBios.psd1')
    }

    It 'runs on Windows PowerShell 5.1 and PowerShell 7' {
        $manifest.PowerShellVersion | Should -Be ([version]'5.1')
        $manifest.CompatiblePSEditions | Should -Be @('Desktop', 'Core')
    }

    It 'is the only module in its folder: the fleet commands are its own' {
        @(Get-ChildItem -LiteralPath $ModulePath -Recurse -Include '*.psm1', '*.psd1' | ForEach-Object Name | Sort-Object) |
            Should -Be @('VelorinBios.psd1', 'VelorinBios.psm1')
    }

    It 'lists one command per Public file, named as the file, and exports those and nothing else' {
        $public = @(Get-ChildItem -LiteralPath (Join-Path $ModulePath 'Public') -Filter '*.ps1' | ForEach-Object BaseName | Sort-Object)
        $Documented | Should -Be $public
        @($manifest.ExportedFunctions.Keys | Sort-Object) | Should -Be $public
        @((Get-Module VelorinBios).ExportedFunctions.Keys | Sort-Object) | Should -Be $public
        $manifest.ExportedCmdlets.Count + $manifest.ExportedVariables.Count | Should -Be 0
    }

    It 'keeps each former name as an alias of its command, declared beside it' {
        $declared = @{}
        foreach ($name in $Documented) {
            foreach ($alias in (Get-Command $name).ScriptBlock.Attributes | Where-Object { $_ -is [System.Management.Automation.AliasAttribute] }) {
                foreach ($former in $alias.AliasNames) { $declared[$former] = $name }
            }
        }
        @($manifest.ExportedAliases.Keys | Sort-Object) | Should -Be @($declared.Keys | Sort-Object)
        $declared.Count | Should -Be 8
        foreach ($former in $declared.Keys) {
            $exported = (Get-Module VelorinBios).ExportedAliases[$former]
            $exported.ResolvedCommandName | Should -Be $declared[$former] -Because "$former stands for the renamed command"
            $name = $declared[$former]
            $name | Should -BeLike '*-VelorinBios*'
            $former | Should -Be ($name -replace '-VelorinBios', '-Velorin')
        }
    }
}

Describe '<Command>' -ForEach ($commands | ForEach-Object {
        @{ Command = $_.Command; RunsTool = $withoutTool -notcontains $_.Command; Changes = $changing -contains $_.Command } }) {
    BeforeAll {
        $help = Get-Help $Command -Full
        $info = Get-Command $Command
    }

    It 'has a synopsis, a description and examples' {
        $help.Synopsis | Should -Not -BeLike "$Command *"
        ($help.Description | Out-String).Trim() | Should -Not -BeNullOrEmpty
        @($help.Examples.Example).Count | Should -BeGreaterOrEqual 1
    }

    It 'describes each of its own parameters' {
        $common = [System.Management.Automation.PSCmdlet]::CommonParameters + [System.Management.Automation.PSCmdlet]::OptionalCommonParameters
        foreach ($parameter in $info.Parameters.Keys | Where-Object { $common -notcontains $_ }) {
            $described = $help.Parameters.Parameter | Where-Object Name -EQ $parameter
            ($described.Description | Out-String).Trim() | Should -Not -BeNullOrEmpty -Because "-$parameter needs a description"
        }
    }

    It 'takes -ToolPath and -MachineFile when it runs the tool, and passwords only as secure strings' {
        $info.Parameters.ContainsKey('ToolPath') | Should -Be $RunsTool
        $info.Parameters.ContainsKey('MachineFile') | Should -Be $RunsTool
        foreach ($parameter in $info.Parameters.Values | Where-Object Name -Like '*Password') {
            $parameter.ParameterType | Should -Be ([System.Security.SecureString])
        }
    }

    It 'supports -WhatIf exactly when it changes something' {
        $info.Parameters.ContainsKey('WhatIf') | Should -Be $Changes
    }
}
