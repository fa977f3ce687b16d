# The one event each run of a fleet script writes, as the module's writer records it on this
# platform: its id per outcome, what its text names, and what it never holds.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $deploy = Join-Path $RepoRoot 'deploy'
    $Shared = 'Shared-Pass1'

    # The events go through the module's writer seam on every system: on Windows the real writer
    # sends them to the Application log, where a test cannot read them back.
    & (Get-Module VelorinBios) {
        $script:EventWriter = {
            param([int] $Id, [string] $Type, [string] $Message)
            $script:RecordedEvents.Add([pscustomobject]@{ Source = $script:EventSource; Id = $Id; Type = $Type; Message = $Message })
        }
    }
    function Clear-FleetEvent { & (Get-Module VelorinBios) { $script:RecordedEvents.Clear() } }
    function Get-FleetEvent { return , @(& (Get-Module VelorinBios) { $script:RecordedEvents.ToArray() }) }

    # Runs one script in this session, as a script file; its output, exit code and the events
    # of the run.
    function Invoke-LoggedScript([string] $Script, [hashtable] $Parameters) {
        $all = @{ ModulePath = $ModulePath; ToolPath = $Tool }
        foreach ($name in $Parameters.Keys) { $all[$name] = $Parameters[$name] }
        Clear-FleetEvent
        $output = & (Join-Path $deploy $Script) @all 2>$null
        return @{ Output = ($output -join "`n"); ExitCode = $LASTEXITCODE; Events = (Get-FleetEvent) }
    }

    $certificate = Join-Path $TestDrive 'escrow.cer'
    if (Test-TestCapability OpenSsl) {
        & openssl req -x509 -newkey rsa:2048 -nodes -keyout (Join-Path $TestDrive 'escrow.key') -out $certificate `
            -subj '/CN=Event escrow' -days 30 2>$null
    }
    $sharedFile = Join-Path $TestDrive 'shared.txt'
    [System.IO.File]::WriteAllText($sharedFile, "$Shared`r`n")
    $passwordFile = Join-Path $TestDrive 'password.txt'
    [System.IO.File]::WriteAllText($passwordFile, "$Password`r`n")
    $baseline = New-TestConfiguration -Name 'baseline.txt' -Line @('+++Wake On LAN', 'Enabled', 'Disabled', '*LAN Only', '', '+++Boot Mode', '*UEFI', '')
    $matching = New-TestConfiguration -Name 'matching.txt' -Line @('+++Wake On LAN', '*Disabled', '')
    $other = New-TestMachine -Name 'other.txt' -Text "manufacturer ""Other Corp""`nitem 0x100 ""A"" current 1`n  option ""x""`n"
    $failing = New-TestMachine -Name 'failing.txt' -Text "manufacturer ""VELORIN""`nfault ExecMethod ""EnumSetting"" hr=0x80041001`n"

    function New-RotationDevice([string] $Held) {
        $id = [guid]::NewGuid().ToString('N').Substring(0, 8)
        $machine = New-TestMachine -Name "rotation-$id.txt" -Text ("manufacturer ""VELORIN""`nsupervisor-password ""$Held""`n" +
            "item 0x0101 ""Wake On LAN"" current 2`n  option ""Enabled""`n  option ""Disabled""`n")
        return @{
            StorePath = (Join-Path $TestDrive "store-$id"); MachineFile = $machine; PasswordFile = $sharedFile
            SerialNumber = "EV-$id"; Uuid = "UUID-$id"; EscrowCertificatePath = $certificate
        }
    }
}

Describe 'One event per run of a fleet script' {
    It '<Script> writes event <Id> (<Type>) for <Case>' -ForEach @(
        @{ Case = 'a compliant machine'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; File = 'Matching'; Kind = 'Sample'; Id = 1000; Type = 'Information'; Code = 0; Text = 'compliant' }
        @{ Case = 'a differing machine'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; File = 'Baseline'; Kind = 'Sample'; Id = 1001; Type = 'Warning'; Code = 1; Text = 'not compliant' }
        @{ Case = 'a machine the tool does not apply to'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; File = 'Baseline'; Kind = 'Other'; Id = 1004; Type = 'Information'; Code = 0; Text = 'not applicable' }
        @{ Case = 'a failing check'; Script = 'intune/Detect-VelorinBiosBaseline.ps1'; File = 'Baseline'; Kind = 'Failing'; Id = 1005; Type = 'Error'; Code = 1; Text = 'failed' }
        @{ Case = 'a failing check'; Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; File = 'Baseline'; Kind = 'Failing'; Id = 1005; Type = 'Error'; Code = 1; Text = 'failed' }
        @{ Case = 'a differing machine'; Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; File = 'Baseline'; Kind = 'Sample'; Id = 1001; Type = 'Warning'; Code = 0; Text = 'not compliant' }
        @{ Case = 'a drifted machine'; Script = 'intune/compliance/Discover-VelorinBiosCompliance.ps1'; File = 'Baseline'; Kind = 'Sample'; Id = 1001; Type = 'Warning'; Code = 0; Text = 'not compliant' }
        @{ Case = 'a failing check'; Script = 'intune/compliance/Discover-VelorinBiosCompliance.ps1'; File = 'Baseline'; Kind = 'Failing'; Id = 1005; Type = 'Error'; Code = 0; Text = 'failed' }
    ) {
        $targets = @{ Sample = (New-TestMachine); Other = $other; Failing = $failing }
        $path = @{ Matching = $matching; Baseline = $baseline }[$File]
        $run = Invoke-LoggedScript $Script @{ MachineFile = $targets[$Kind]; BaselinePath = $path }
        $run.ExitCode | Should -Be $Code
        $run.Events.Count | Should -Be 1
        $run.Events[0].Source | Should -BeExactly 'VelorinBiosConfigTool'
        $run.Events[0].Id | Should -Be $Id
        $run.Events[0].Type | Should -BeExactly $Type
        $lines = $run.Events[0].Message -split "`r?`n"
        $lines[0] | Should -BeExactly ('{0}: {1} (exit code {2})' -f (Split-Path -Leaf $Script), $Text, $Code)
        $lines[1] | Should -BeExactly "Baseline: $path"
        $lines[2] | Should -Match '^Tool version: '
        $lines[3] | Should -BeExactly "Module version: $((Get-Module VelorinBios).Version)"
    }

    It 'names the changed settings and the exit code of a remediation, then that nothing changed: <_>' -ForEach 'intune', 'configmgr' {
        $machine = New-TestMachine
        $parameters = @{ MachineFile = $machine; BaselinePath = $baseline; PasswordFile = $passwordFile }
        if ($_ -eq 'configmgr') { $parameters.RebootExitCode = 3010 }
        $run = Invoke-LoggedScript "$_/Remediate-VelorinBiosBaseline.ps1" $parameters
        $run.Events.Count | Should -Be 1
        $run.Events[0].Id | Should -Be 1002
        $run.Events[0].Message | Should -Match "\(exit code $($run.ExitCode)\)"
        $run.Events[0].Message | Should -Match ([regex]::Escape('1 changed, 1 unchanged, 0 read only, 0 not on this model; reboot to apply: Wake On LAN -> LAN Only'))
        $run.Events[0].Message | Should -Not -Match ([regex]::Escape($Password))
        $again = Invoke-LoggedScript "$_/Remediate-VelorinBiosBaseline.ps1" $parameters
        $again.Events.Count | Should -Be 1
        $again.Events[0].Id | Should -Be 1003
    }

    It 'names the tool version the discovery read, and the model pattern of the pasted baseline' {
        $run = Invoke-LoggedScript 'intune/compliance/Discover-VelorinBiosCompliance.ps1' @{ MachineFile = (New-TestMachine); Model = 'Velorin ProBook 16 G1' }
        $json = $run.Output | ConvertFrom-Json
        $run.Events[0].Message | Should -Match ('(?m)^Tool version: {0}\r?$' -f [regex]::Escape($json.VelorinToolVersion))
        $run.Events[0].Message | Should -Match '(?m)^Baseline: Velorin ProBook 16\*\r?$'
    }

    It 'writes the rotation''s sequence number, never the record or a password, and then the rotation failure' {
        Assert-TestCapability OpenSsl, CmsEncryption, StoreProtection
        $device = New-RotationDevice $Shared
        $run = Invoke-LoggedScript 'intune/Remediate-VelorinBiosPasswordRotation.ps1' $device
        $run.ExitCode | Should -Be 0
        $run.Events.Count | Should -Be 1
        $run.Events[0].Id | Should -Be 1010
        $sequence = [regex]::Match($run.Output, '"sequence":(\d+)').Groups[1].Value
        $sequence | Should -Not -BeNullOrEmpty
        $run.Events[0].Message | Should -Match "(?m)^escrow record $sequence\r?\nescrow record $sequence applied\r?$"
        $run.Events[0].Message | Should -Not -Match '"cms"|VelorinBiosPasswordEscrow'
        $nvram = [System.IO.File]::ReadAllText("$($device.MachineFile).nvram")
        $held = ([regex]::Matches($nvram, 'supervisor-password "([^"]*)"') | Select-Object -Last 1).Groups[1].Value
        $held | Should -Not -BeNullOrEmpty
        $run.Events[0].Message | Should -Not -Match ([regex]::Escape($held))

        $detect = Invoke-LoggedScript 'intune/Detect-VelorinBiosPasswordRotation.ps1' @{ StorePath = $device.StorePath; MachineFile = $device.MachineFile }
        $detect.Events[0].Id | Should -Be 1000
        $detect.Events[0].Message | Should -Match "(?m)^Rotated: record $sequence of .*\r?\nescrow record $sequence applied\r?\nescrow record $sequence\r?$"
        $detect.Events[0].Message | Should -Not -Match '"cms"'

        $wrong = New-RotationDevice 'Not-The-Shared1'
        $failed = Invoke-LoggedScript 'intune/Remediate-VelorinBiosPasswordRotation.ps1' $wrong
        $failed.ExitCode | Should -Be 1
        $failed.Events.Count | Should -Be 1
        $failed.Events[0].Id | Should -Be 1011
        $failed.Events[0].Type | Should -BeExactly 'Error'
        $failed.Events[0].Message | Should -Match '(?m)^Rotation failed: '
        $failed.Events[0].Message | Should -Not -Match ([regex]::Escape($Shared))
    }

    It 'writes the failed event with the reason when the run fails before it has an outcome' {
        $run = Invoke-LoggedScript 'intune/Detect-VelorinBiosBaseline.ps1' @{ MachineFile = (New-TestMachine); BaselinePath = $matching; ModulePath = (Join-Path $TestDrive 'nowhere') }
        $run.ExitCode | Should -Be 1
        $run.Events.Count | Should -Be 1
        $run.Events[0].Id | Should -Be 1005
        $run.Events[0].Message | Should -Match '(?m)^Baseline: none\r?\nTool version: .*\r?\nModule version: .*\r?\nCheck failed: '
    }

    It 'changes no result or exit code when writing fails: <Script>' -ForEach @(
        @{ Script = 'intune/Detect-VelorinBiosBaseline.ps1'; Code = 1; Output = 'NonCompliant: 1 of 2 settings differ: Wake On LAN: Disabled -> LAN Only' }
        @{ Script = 'configmgr/Discover-VelorinBiosBaseline.ps1'; Code = 0; Output = 'NonCompliant' }
    ) {
        & (Get-Module VelorinBios) {
            $script:SavedWriter = $script:EventWriter
            $script:EventWriter = { throw 'The event log is full.' }
        }
        try {
            $run = Invoke-LoggedScript $Script @{ MachineFile = (New-TestMachine); BaselinePath = $baseline }
        }
        finally {
            & (Get-Module VelorinBios) { $script:EventWriter = $script:SavedWriter }
        }
        $run.ExitCode | Should -Be $Code
        $run.Output | Should -BeExactly $Output
        $run.Events.Count | Should -Be 0
    }
}
