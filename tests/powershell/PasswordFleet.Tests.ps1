# The password rotation pair in deploy/intune, run as Intune runs it: a PowerShell of its own,
# its output (the escrow record) and its exit code.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $Shared = 'Shared-Pass1'
    $intune = Join-Path $RepoRoot 'deploy/intune'

    function New-FleetCertificate([string] $Name) {
        $cert = Join-Path $TestDrive "$Name.cer"
        $key = Join-Path $TestDrive "$Name.key"
        $pfx = Join-Path $TestDrive "$Name.pfx"
        & openssl req -x509 -newkey rsa:2048 -nodes -keyout $key -out $cert -subj "/CN=Fleet escrow $Name" -days 30 2>$null
        & openssl pkcs12 -export -inkey $key -in $cert -out $pfx -passout pass:pfx-pass 2>$null
        return @{ Cert = $cert; Pfx = $pfx }
    }
    # Every test here escrows, and many change passwords through a shell-script stand-in.
    $Needs = @('OpenSsl', 'CmsEncryption', 'UnixTool')
    if (Test-TestCapability $Needs) {
        $first = New-FleetCertificate 'first'
        $second = New-FleetCertificate 'second'
    }
    $pfxPassword = ConvertTo-TestSecureString 'pfx-pass'

    # Runs a script of deploy/intune in a PowerShell of its own with the rehearsal parameters.
    function Invoke-RotationScript([string] $Script, [hashtable] $Parameters, [string] $ToolPath = $Tool) {
        if (-not [System.IO.Path]::IsPathRooted($Script)) {
            $Script = Join-Path $intune $Script
        }
        $arguments = @('-NoProfile', '-NonInteractive', '-File', $Script,
            '-ModulePath', $ModulePath, '-ToolPath', $ToolPath)
        foreach ($name in $Parameters.Keys) {
            $arguments += @("-$name")
            $arguments += @($Parameters[$name])
        }
        $output = & $Pwsh @arguments 2>$null
        return @{ Lines = @($output); Output = ($output -join "`n"); ExitCode = $LASTEXITCODE }
    }

    function New-FleetDevice([string] $Machine) {
        $id = [guid]::NewGuid().ToString('N').Substring(0, 8)
        $share = Join-Path $TestDrive "share-$id"
        [void](New-Item -ItemType Directory -Path $share)
        $passwordFile = Join-Path $TestDrive "password-$id.txt"
        [System.IO.File]::WriteAllText($passwordFile, "$Shared`r`n")
        if (-not $Machine) {
            $Machine = New-TestMachine -Name "fleet-$id.txt" -Text ("manufacturer ""VELORIN""`nsupervisor-password ""$Shared""`n" +
                "item 0x0101 ""Wake On LAN"" current 2`n  option ""Enabled""`n  option ""Disabled""`n")
        }
        return @{
            Detect    = @{ StorePath = (Join-Path $TestDrive "store-$id"); MachineFile = $Machine }
            Remediate = @{
                StorePath = (Join-Path $TestDrive "store-$id"); MachineFile = $Machine; EscrowPath = $share
                PasswordFile = $passwordFile; SerialNumber = "PF-$id"; Uuid = "UUID-$id"; EscrowCertificatePath = $first.Cert
            }
            Machine   = $Machine
            Share     = $share
        }
    }

    function Get-HeldPassword([string] $Machine) {
        $text = [System.IO.File]::ReadAllText($Machine)
        if (Test-Path -LiteralPath "$Machine.nvram") {
            $text += "`n" + [System.IO.File]::ReadAllText("$Machine.nvram")
        }
        return ([regex]::Matches($text, 'supervisor-password "([^"]*)"') | Select-Object -Last 1).Groups[1].Value
    }

    # Gives the machine of a device another supervisor password ('' for none).
    function Set-HeldPassword([string] $Machine, [string] $Password) {
        $text = [System.IO.File]::ReadAllText($Machine) -replace 'supervisor-password "[^"]*"', "supervisor-password ""$Password"""
        [System.IO.File]::WriteAllText($Machine, $text)
        Remove-Item -LiteralPath "$Machine.nvram" -ErrorAction SilentlyContinue
    }

    # Runs a script with the fault-injecting stand-in of the tool; Fault names its settings.
    function Invoke-FaultedScript([string] $Script, [hashtable] $Parameters, [hashtable] $Fault) {
        $env:VELORIN_FAULTED_TOOL = $Tool
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        foreach ($name in $Fault.Keys) {
            Set-Item -LiteralPath "Env:VELORIN_FAULT_$name" -Value $Fault[$name]
        }
        try {
            return Invoke-RotationScript $Script $Parameters -ToolPath (Join-Path $PSScriptRoot 'fault-tool.sh')
        }
        finally {
            Remove-Item Env:VELORIN_FAULTED_TOOL, Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_RULE, Env:VELORIN_FAULT_STOP_CALLER -ErrorAction SilentlyContinue
        }
    }

    $wanted = New-TestConfiguration -Name 'rotated-baseline.txt' -Line @('+++Wake On LAN', '*Enabled', 'Disabled', '')

    # A device taken over from the shared password file, which is then deleted; the baseline
    # remediation's parameters for it.
    function New-RotatedDevice {
        $device = New-FleetDevice
        $taken = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $taken.ExitCode | Should -Be 0
        Remove-Item -LiteralPath $device.Remediate.PasswordFile
        $device.Baseline = @{
            BaselinePath = $wanted; StorePath = $device.Remediate.StorePath; PasswordFile = $device.Remediate.PasswordFile
            MachineFile = $device.Machine
        }
        return $device
    }

    function Get-WakeOnLan([string] $Machine) {
        return (Get-VelorinBiosSetting -Name 'Wake On LAN' -MachineFile $Machine).CurrentValue
    }

    function Get-RecoveredFrom([string[]] $Line, [hashtable] $Escrow = $first) {
        return (Unprotect-VelorinBiosPassword -Record $Line -PfxPath $Escrow.Pfx -PfxPassword $pfxPassword -AsPlainText).Password
    }
}

Describe 'Password rotation detection and remediation' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    It 'takes a device over from the shared password file, prints the record, and is then compliant' {
        $device = New-FleetDevice
        $due = Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $device.Detect
        $due.ExitCode | Should -Be 1
        $due.Output | Should -BeExactly 'NonCompliant: the password was never rotated'

        $run = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $run.ExitCode | Should -Be 0
        $run.Lines.Count | Should -Be 2
        $run.Lines[0] | Should -Match '^\{"type":"VelorinBiosPasswordEscrow",.*"sequence":\d{16},'
        $sequence = ($run.Lines[0] | ConvertFrom-Json).sequence
        $run.Lines[1] | Should -Match "^\{""type"":""VelorinBiosPasswordApplied"",.*""sequence"":$sequence,"
        $held = Get-HeldPassword $device.Machine
        $held | Should -Not -Be $Shared
        Get-RecoveredFrom $run.Lines | Should -BeExactly $held
        (Unprotect-VelorinBiosPassword -Path $device.Share -PfxPath $first.Pfx -PfxPassword $pfxPassword -AsPlainText).Password | Should -BeExactly $held

        $rotated = Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $device.Detect
        $rotated.ExitCode | Should -Be 0
        $rotated.Lines[0] | Should -Match "^Rotated: record $sequence of \d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$"
        # Intune keeps the detection's output, not the remediation's: the record is there too,
        # last, after the line that confirms it.
        $rotated.Lines.Count | Should -Be 3
        $rotated.Lines[1] | Should -BeExactly $run.Lines[1]
        $rotated.Lines[2] | Should -BeExactly $run.Lines[0]
    }

    It 'rotates with the store''s password once the device is taken over, and is due again after MaximumAgeDays' {
        $device = New-FleetDevice
        $firstRun = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $again = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $again.ExitCode | Should -Be 0
        [long](($again.Lines[0] | ConvertFrom-Json).sequence) | Should -BeGreaterThan ([long](($firstRun.Lines[0] | ConvertFrom-Json).sequence))
        Get-RecoveredFrom $again.Lines | Should -BeExactly (Get-HeldPassword $device.Machine)
        $old = $device.Detect.Clone()
        $old.MaximumAgeDays = 0
        $due = Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $old
        $due.ExitCode | Should -Be 1
        $due.Lines[0] | Should -Match '^NonCompliant: the last rotation \(.*\) is older than 0 days$'
        $due.Lines[1] | Should -BeExactly $again.Lines[1]
        $due.Lines[2] | Should -BeExactly $again.Lines[0]
        $old.DueExitCode = 0
        $discovery = Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $old
        $discovery.ExitCode | Should -Be 0
        $discovery.Lines[0] | Should -BeExactly $due.Lines[0]
    }

    It 'shows the pending and the current record when a remediation was stopped between the change and the commit' {
        $device = New-FleetDevice
        $taken = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $stopped = Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ STOP_CALLER = '1' }
        $stopped.ExitCode | Should -Not -Be 0
        $due = Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $device.Detect
        $due.ExitCode | Should -Be 1
        $pending = (Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath).PendingRecord
        # The pending record, which no output kept so far has shown, comes last; the applied
        # line goes first when all does not fit.
        $due.Lines[0] | Should -BeExactly "NonCompliant: a rotation is pending (record $(($pending | ConvertFrom-Json).sequence))"
        $due.Lines[-2] | Should -BeExactly $taken.Lines[0]
        $due.Lines[-1] | Should -BeExactly $pending
        $due.Output.Length | Should -BeLessOrEqual 2048
        Get-RecoveredFrom $due.Output | Should -BeExactly (Get-HeldPassword $device.Machine)
        $next = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $next.ExitCode | Should -Be 0
        Get-RecoveredFrom $next.Lines | Should -BeExactly (Get-HeldPassword $device.Machine)
    }

    It 'rotates as the engine runs it: the certificates pasted in, no escrow folder, no password file' {
        $device = New-FleetDevice
        $pasted = Join-Path $TestDrive ('Remediate-pasted-' + [guid]::NewGuid().ToString('N') + '.ps1')
        $text = [System.IO.File]::ReadAllText((Join-Path $intune 'Remediate-VelorinBiosPasswordRotation.ps1'))
        $pem = [System.IO.File]::ReadAllText($first.Cert).Trim()
        $text = $text.Replace("-----BEGIN CERTIFICATE-----`nPASTE THE FIRST ESCROW CERTIFICATE HERE`n-----END CERTIFICATE-----", $pem)
        [System.IO.File]::WriteAllText($pasted, $text)
        Set-HeldPassword $device.Machine ''
        $rehearsal = @{ StorePath = $device.Remediate.StorePath; MachineFile = $device.Machine; SerialNumber = $device.Remediate.SerialNumber; Uuid = $device.Remediate.Uuid }
        $run = Invoke-RotationScript $pasted $rehearsal
        $run.ExitCode | Should -Be 0
        $run.Lines[0] | Should -Match '^\{"type":"VelorinBiosPasswordEscrow",'
        Get-RecoveredFrom $run.Lines | Should -BeExactly (Get-HeldPassword $device.Machine)
        Get-ChildItem -LiteralPath $device.Share | Should -BeNullOrEmpty
    }

    It 'gives a new PC without a password its first one although the shared password file is there' {
        $device = New-FleetDevice
        Set-HeldPassword $device.Machine ''
        $run = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $run.ExitCode | Should -Be 0
        Get-HeldPassword $device.Machine | Should -Not -BeNullOrEmpty
        Get-RecoveredFrom $run.Lines | Should -BeExactly (Get-HeldPassword $device.Machine)
    }

    It 'keeps the pending record, the last line, within 2,048 characters when both records do not fit' {
        $status = [pscustomobject]@{ Applied = 'A' * 150; Record = 'R' * 1300; PendingRecord = 'P' * 1300 }
        $summary = & (Get-Module VelorinBios) { param($s) Add-VelorinRecordLine 'NonCompliant: a rotation is pending (record 9)' $s } $status
        $summary.Split("`n") | Should -Be @('NonCompliant: a rotation is pending (record 9)', ('A' * 150), ('P' * 1300))
        $summary.Length | Should -BeLessOrEqual 2048
    }

    It 'prints a record of at most 2,048 characters with two escrow certificates, each of which opens it' {
        $device = New-FleetDevice
        $device.Remediate.EscrowCertificatePath = @($first.Cert, $second.Cert)
        $arguments = $device.Remediate.Clone()
        $arguments.Remove('EscrowCertificatePath')
        # -File takes an array parameter as one comma-separated text only through -Command.
        $command = "& '$(Join-Path $intune 'Remediate-VelorinBiosPasswordRotation.ps1')' -ModulePath '$ModulePath' -ToolPath '$Tool' " +
        "-EscrowCertificatePath '$($first.Cert)','$($second.Cert)' " + (($arguments.Keys | ForEach-Object { "-$_ '$($arguments[$_])'" }) -join ' ') + '; exit $LASTEXITCODE'
        $output = & $Pwsh -NoProfile -NonInteractive -Command $command
        $LASTEXITCODE | Should -Be 0
        $line = $output -join "`n"
        $line.Length | Should -BeLessOrEqual 2048
        $held = Get-HeldPassword $device.Machine
        Get-RecoveredFrom $line | Should -BeExactly $held
        Get-RecoveredFrom $line $second | Should -BeExactly $held
    }

    It 'prints the record and the reason, exits 1 and is due again when the rotation fails' {
        $device = New-FleetDevice
        $run = Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ RULE = 'answer Save retcode=12' }
        $run.ExitCode | Should -Be 1
        $run.Lines.Count | Should -Be 2
        $run.Lines[0] | Should -Match '^\{"type":"VelorinBiosPasswordEscrow",'
        $run.Lines[1] | Should -BeExactly 'Rotation failed: The password change failed (Internal error, exit code 12); the firmware kept its password.'
        Get-HeldPassword $device.Machine | Should -BeExactly $Shared
        (Invoke-RotationScript 'Detect-VelorinBiosPasswordRotation.ps1' $device.Detect).ExitCode | Should -Be 1
        (Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate).ExitCode | Should -Be 0
    }

    It 'says Not applicable and exits 0 on <Name>' -TestCases @(
        @{ Name = 'a machine without the Velorin interface'; Text = "fault ConnectServer ""ROOT\velorin"" hr=0x8004100E`n"; Expected = '^Not applicable: this machine offers no Velorin BIOS interface' }
        @{ Name = 'an interface older than revision 6'; Text = "revision 5`nmanufacturer ""VELORIN""`n"; Expected = '^Not applicable: the Velorin BIOS interface is older than revision 6$' }
    ) {
        $device = New-FleetDevice (New-TestMachine -Name ('na-' + [guid]::NewGuid().ToString('N') + '.txt') -Text $Text)
        foreach ($script in 'Detect-VelorinBiosPasswordRotation.ps1', 'Remediate-VelorinBiosPasswordRotation.ps1') {
            $parameters = $device.Detect
            if ($script -like 'Remediate*') { $parameters = $device.Remediate }
            $run = Invoke-RotationScript $script $parameters
            $run.ExitCode | Should -Be 0
            $run.Output | Should -Match $Expected
        }
    }

    It 'refuses the placeholder certificate of a script nobody filled in, and changes nothing' {
        $device = New-FleetDevice
        $device.Remediate.Remove('EscrowCertificatePath')
        $run = Invoke-RotationScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly 'Rotation failed: An escrow certificate is not a PEM certificate (-----BEGIN CERTIFICATE----- and its base64 text).'
        Get-HeldPassword $device.Machine | Should -BeExactly $Shared
    }
}

Describe 'Baseline remediation on a rotated device' {
    BeforeEach {
        Assert-TestCapability $Needs
    }


    It '<_> sets the baseline with the store''s password, no password file, no password in any arguments' -ForEach 'intune', 'configmgr' {
        $device = New-RotatedDevice
        $held = Get-HeldPassword $device.Machine
        $recorder = Start-ToolRecording 'rotated-remediation'
        $run = Invoke-RotationScript "../$_/Remediate-VelorinBiosBaseline.ps1" $device.Baseline -ToolPath $recorder
        $runs = Stop-ToolRecording
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '^Remediated: 1 changed, 0 unchanged, 0 read only, 0 not on this model'
        Get-WakeOnLan $device.Machine | Should -BeExactly 'Enabled'
        $runs.Count | Should -BeGreaterThan 0
        foreach ($recorded in $runs) {
            ($recorded.Arguments -join ' ') | Should -Not -Match ([regex]::Escape($held))
            ($recorded.Arguments -join ' ') | Should -Not -Match ([regex]::Escape($Shared))
        }
        ($runs | Where-Object { $_.Arguments[0] -eq '/set' }).Input | Should -BeExactly "$held`n"
    }

    It 'completes a rotation that was stopped after the change, then sets the baseline with the new password' {
        $device = New-RotatedDevice
        $stopped = Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ STOP_CALLER = '1' }
        $stopped.ExitCode | Should -Not -Be 0
        $cutOff = Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath
        $cutOff.PendingRotation | Should -BeTrue
        $run = Invoke-RotationScript 'Remediate-VelorinBiosBaseline.ps1' $device.Baseline
        $run.ExitCode | Should -Be 0
        $run.Output | Should -Match '^Remediated: 1 changed'
        $status = Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath
        $status.PendingRotation | Should -BeFalse
        $status.Sequence | Should -Be $cutOff.PendingSequence
        $status.Record | Should -BeExactly $cutOff.PendingRecord
    }

    It 'fails, changes nothing and keeps the pending password when the firmware takes neither of the store''s' {
        $device = New-RotatedDevice
        [void](Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ STOP_CALLER = '1' })
        $pending = ConvertTo-TestSecureString (Get-HeldPassword $device.Machine)
        Set-VelorinBiosPassword -Supervisor -NewPassword (ConvertTo-TestSecureString 'Elsewhere-9') -Password $pending -MachineFile $device.Machine -Confirm:$false
        $run = Invoke-RotationScript 'Remediate-VelorinBiosBaseline.ps1' $device.Baseline
        $run.ExitCode | Should -Be 1
        $pendingSequence = (Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath).PendingSequence
        $run.Output | Should -BeExactly ("Remediation failed: The firmware accepts neither the pending password of record $pendingSequence nor the current one; " +
            'give the password it holds with -Password (recover it from the escrow records).')
        Get-WakeOnLan $device.Machine | Should -BeExactly 'Disabled'
        (Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath).PendingRotation | Should -BeTrue
    }

    It 'refuses a baseline that contradicts itself before it completes a cut-off rotation' {
        $device = New-RotatedDevice
        [void](Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ STOP_CALLER = '1' })
        $parameters = $device.Baseline.Clone()
        $parameters.BaselinePath = New-TestConfiguration -Name 'contradicting.txt' -Line @('+++Wake On LAN', '*Enabled', '*Disabled', '')
        $run = Invoke-RotationScript 'Remediate-VelorinBiosBaseline.ps1' $parameters
        $run.ExitCode | Should -Be 1
        $run.Output | Should -BeExactly 'Remediation failed: 1 baseline entries contradict each other: Wake On LAN: the block in line 1 marks more than one option'
        (Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath).PendingRotation | Should -BeTrue
        Get-WakeOnLan $device.Machine | Should -BeExactly 'Disabled'
    }

    It 'uses the password file while the store holds no password, and leaves no store behind' {
        $device = New-FleetDevice
        $parameters = @{ BaselinePath = $wanted; StorePath = $device.Remediate.StorePath; PasswordFile = $device.Remediate.PasswordFile; MachineFile = $device.Machine }
        $run = Invoke-RotationScript 'Remediate-VelorinBiosBaseline.ps1' $parameters
        $run.ExitCode | Should -Be 0
        Get-WakeOnLan $device.Machine | Should -BeExactly 'Enabled'
        Test-Path -LiteralPath $device.Remediate.StorePath | Should -BeFalse
    }
}

Describe 'The fleet remediations under -WhatIf and -Confirm' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    BeforeAll {
        # A rotated device whose second rotation was stopped between the change and the commit:
        # the next remediation of either kind completes it first, unless it changes nothing.
        function New-CutOffDevice {
            $device = New-RotatedDevice
            [void](Invoke-FaultedScript 'Remediate-VelorinBiosPasswordRotation.ps1' $device.Remediate @{ STOP_CALLER = '1' })
            (Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath).PendingRotation | Should -BeTrue
            $device.Rotation = @{
                EscrowCertificate = $first.Cert; StorePath = $device.Remediate.StorePath; EscrowPath = $device.Share
                SerialNumber = $device.Remediate.SerialNumber; Uuid = $device.Remediate.Uuid; MachineFile = $device.Machine
            }
            return $device
        }

        # Every file of the device (machine, saved state, store, escrow share) with its bytes.
        function Get-DeviceFiles([hashtable] $Device) {
            $files = Get-ChildItem -LiteralPath $Device.Remediate.StorePath, $Device.Share -File -Force
            $files = @($files) + @(Get-Item -LiteralPath $Device.Machine, "$($Device.Machine).nvram")
            return ($files | Sort-Object FullName | ForEach-Object { $_.FullName + ' ' + (Get-FileHash -LiteralPath $_.FullName).Hash }) -join "`n"
        }

        # Runs Line (a command of the module on @parameters) in a PowerShell of its own, as an
        # administrator at a console would: what it printed, "What if" lines and prompts among it,
        # and each outcome returned as "Outcome [STATE] SUMMARY". Answer is typed at the prompts;
        # without one the PowerShell is non-interactive, so that any prompt fails the run.
        function Invoke-FleetCommand([string] $Line, [hashtable] $Parameters, [string] $Answer) {
            $id = [guid]::NewGuid().ToString('N')
            $data = Join-Path $TestDrive "parameters-$id.xml"
            $script = Join-Path $TestDrive "command-$id.ps1"
            $Parameters | Export-Clixml -LiteralPath $data
            [System.IO.File]::WriteAllText($script, ("Import-Module '$ModulePath'`n`$parameters = Import-Clixml -LiteralPath '$data'`n" +
                    "$Line | ForEach-Object { 'Outcome [' + `$_.State + '] ' + `$_.Summary }`n"))
            if ($Answer) {
                $output = $Answer | & $Pwsh -NoProfile -File $script 2>&1
            }
            else {
                $output = & $Pwsh -NoProfile -NonInteractive -File $script 2>&1
            }
            return @{ Lines = @($output | ForEach-Object { "$_" }); Output = ($output -join "`n"); ExitCode = $LASTEXITCODE }
        }

        $Prompt = 'Are you sure you want to perform this action?'

        # What a run printed besides the frame of a prompt, its lines joined: the host breaks a
        # prompt's long lines.
        function Get-Shown([hashtable] $Run) {
            $frame = '^(|Confirm|' + [regex]::Escape($Prompt) + '|\[Y\] Yes .*|\(default is "Y"\):.)$'
            return ($Run.Lines | Where-Object { $_ -notmatch $frame }) -join ''
        }

        # What each command names as its operation and target, for a device.
        function Get-Announced([string] $Command, [hashtable] $Device) {
            $store = "password store '$($Device.Remediate.StorePath)'"
            if ($Command -eq 'Invoke-VelorinBiosBaselineRemediation') {
                return "Performing the operation ""Set the baseline file '$wanted'"" on target ""BIOS settings of this machine; $store""."
            }
            return "Performing the operation ""Set a new random password and escrow it"" on target " +
            """BIOS supervisor password of this machine; $store; escrow folder '$($Device.Share)'""."
        }

        function Get-CommandParameters([string] $Command, [hashtable] $Device) {
            if ($Command -eq 'Invoke-VelorinBiosBaselineRemediation') {
                return $Device.Baseline.Clone()
            }
            return $Device.Rotation.Clone()
        }
    }

    It '<Command> <Mode> changes nothing, leaves the cut-off rotation pending and returns nothing' -ForEach @(
        foreach ($command in 'Invoke-VelorinBiosBaselineRemediation', 'Invoke-VelorinBiosPasswordRotation') {
            @{ Command = $command; Mode = 'with -WhatIf'; Line = "$command @parameters -WhatIf"; Answer = ''; Shown = 'What if: ' }
            @{ Command = $command; Mode = 'under $WhatIfPreference'; Line = "`$WhatIfPreference = `$true; $command @parameters"; Answer = ''; Shown = 'What if: ' }
            @{ Command = $command; Mode = 'with -Confirm answered No'; Line = "$command @parameters -Confirm"; Answer = 'n'; Shown = '' }
        }
    ) {
        $device = New-CutOffDevice
        $before = Get-DeviceFiles $device
        $parameters = Get-CommandParameters $Command $device
        $parameters.ToolPath = Start-ToolRecording 'unchanged'
        $run = Invoke-FleetCommand $Line $parameters $Answer
        $runs = Stop-ToolRecording

        $run.ExitCode | Should -Be 0
        Get-Shown $run | Should -BeExactly ($Shown + (Get-Announced $Command $device))
        @($run.Lines | Where-Object { $_ -eq $Prompt }).Count | Should -Be ([int][bool]$Answer)
        # No password reached the tool: nothing was set, changed or even verified.
        $runs | Where-Object { $_.Input } | Should -BeNullOrEmpty
        Get-DeviceFiles $device | Should -BeExactly $before
    }

    It '<Command> <Mode> asks <Prompts> times and completes the cut-off rotation, then does its work' -ForEach @(
        foreach ($command in 'Invoke-VelorinBiosBaselineRemediation', 'Invoke-VelorinBiosPasswordRotation') {
            @{ Command = $command; Mode = 'with -Confirm answered Yes'; Line = "$command @parameters -Confirm"; Answer = 'y'; Prompts = 1 }
            @{ Command = $command; Mode = 'with -Confirm:$false'; Line = "$command @parameters -Confirm:`$false"; Answer = ''; Prompts = 0 }
        }
    ) {
        $device = New-CutOffDevice
        $cutOff = Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath
        $run = Invoke-FleetCommand $Line (Get-CommandParameters $Command $device) $Answer
        $run.ExitCode | Should -Be 0
        @($run.Lines | Where-Object { $_ -eq $Prompt }).Count | Should -Be $Prompts
        $status = Get-VelorinBiosPasswordStatus -StorePath $device.Remediate.StorePath
        $status.PendingRotation | Should -BeFalse
        if ($Command -eq 'Invoke-VelorinBiosBaselineRemediation') {
            $run.Lines | Should -Contain 'Outcome [Remediated] Remediated: 1 changed, 0 unchanged, 0 read only, 0 not on this model; reboot to apply: Wake On LAN -> Enabled'
            $status.Record | Should -BeExactly $cutOff.PendingRecord
            Get-WakeOnLan $device.Machine | Should -BeExactly 'Enabled'
        }
        else {
            $run.Output | Should -Match 'Outcome \[Rotated\] \{"type":"VelorinBiosPasswordEscrow",.*"sequence":\d{16},'
            Get-RecoveredFrom $run.Output | Should -BeExactly (Get-HeldPassword $device.Machine)
        }
    }
}
