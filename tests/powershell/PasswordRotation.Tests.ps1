# Reset-, Unprotect-, Clear-VelorinBiosPassword and Get-VelorinBiosPasswordStatus on simulated
# machines: what the firmware holds after each rotation and each fault, what the records
# recover (with the module and with openssl), and where the passwords never go.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $Shared = 'Shared-Pass1'

    # An escrow certificate made here with openssl: its PEM, its key and a PFX of both.
    function New-TestEscrowCertificate([string] $Name) {
        $folder = Join-Path $TestDrive "cert-$Name"
        [void](New-Item -ItemType Directory -Path $folder)
        $cert = Join-Path $folder 'escrow.cer'
        $key = Join-Path $folder 'escrow.key'
        $pfx = Join-Path $folder 'escrow.pfx'
        & openssl req -x509 -newkey rsa:2048 -nodes -keyout $key -out $cert -subj "/CN=BIOS escrow $Name" -days 30 2>$null
        & openssl pkcs12 -export -inkey $key -in $cert -out $pfx -passout pass:pfx-pass 2>$null
        return @{ Cert = $cert; Key = $key; Pfx = $pfx; PfxPassword = (ConvertTo-TestSecureString 'pfx-pass') }
    }

    # Every test here escrows, and most change passwords through a shell-script stand-in.
    $Needs = @('OpenSsl', 'CmsEncryption', 'UnixTool')
    if (Test-TestCapability $Needs) {
        $EscrowA = New-TestEscrowCertificate 'A'
        $EscrowB = New-TestEscrowCertificate 'B'
    }

    function New-RotationMachine([string] $Supervisor = $Shared) {
        return New-TestMachine -Name 'rotation.txt' -Text ("revision 6`nmanufacturer ""Velorin Corporation""`nsupervisor-password ""$Supervisor""`n" +
            "item 0x0101 ""Wake On LAN"" current 2`n  option ""Enabled""`n  option ""Disabled""`n")
    }

    # The supervisor password the machine holds now: its saved state over its file.
    function Get-MachinePassword([string] $Machine) {
        $text = [System.IO.File]::ReadAllText($Machine)
        if (Test-Path -LiteralPath "$Machine.nvram") {
            $text += "`n" + [System.IO.File]::ReadAllText("$Machine.nvram")
        }
        return ([regex]::Matches($text, 'supervisor-password "([^"]*)"') | Select-Object -Last 1).Groups[1].Value
    }

    # A fresh store, share and machine; the parameters of Reset-VelorinBiosPassword for them.
    function New-RotationSetup([string] $Supervisor = $Shared) {
        $id = [guid]::NewGuid().ToString('N').Substring(0, 8)
        $share = Join-Path $TestDrive "share-$id"
        [void](New-Item -ItemType Directory -Path $share)
        return @{
            EscrowCertificate = $EscrowA.Cert
            StorePath         = (Join-Path $TestDrive "store-$id")
            EscrowPath        = $share
            SerialNumber      = 'PF-0001'
            Uuid              = '4C4C4544-0042-3510-8051-B4C04F4A3132'
            MachineFile       = (New-RotationMachine $Supervisor)
            Confirm           = $false
        }
    }

    # A record's file on the share of a setup (SERIAL_UUID-SEQUENCE.json), or its applied line's.
    function Get-EscrowFile([hashtable] $Setup, [long] $Sequence, [string] $Extension = 'json') {
        return Join-Path $Setup.EscrowPath ('{0}_{1}-{2}.{3}' -f $Setup.SerialNumber, $Setup.Uuid, $Sequence, $Extension)
    }

    # Record numbers are not below the time of their rotation (yyyyMMddHHmmssff, UTC).
    $startTime = [long][datetime]::UtcNow.ToString('yyyyMMddHHmmssff')

    function Get-Recovered([string] $Share, [switch] $All) {
        return Unprotect-VelorinBiosPassword -Path $Share -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -All:$All
    }

    # The inner JSON of a record as openssl cms -decrypt reads it.
    function Open-WithOpenssl([string] $Record, [hashtable] $Escrow) {
        $der = Join-Path $TestDrive ([guid]::NewGuid().ToString('N') + '.der')
        [System.IO.File]::WriteAllBytes($der, [System.Convert]::FromBase64String(($Record | ConvertFrom-Json).cms))
        $json = & openssl cms -decrypt -inform DER -in $der -inkey $Escrow.Key -recip $Escrow.Cert
        Remove-Item -LiteralPath $der
        return ($json -join '') | ConvertFrom-Json
    }

    # The store's own view, read inside the module: the passwords the firmware may hold.
    function Get-StorePasswords([string] $StorePath) {
        $state = & (Get-Module VelorinBios) { param($path) Read-VelorinPasswordStore $path } $StorePath
        $plain = foreach ($secret in @($state.Current, $state.Pending)) {
            if ($secret) { [System.Net.NetworkCredential]::new('', $secret).Password }
        }
        return @($plain)
    }

    # What must hold after any fault: the firmware's password is the store's current or pending
    # one, and a record written so far recovers it.
    function Assert-Recoverable([hashtable] $Setup) {
        $held = Get-MachinePassword $Setup.MachineFile
        Get-StorePasswords $Setup.StorePath | Should -Contain $held
        (Get-Recovered $Setup.EscrowPath -All).Password | Should -Contain $held
    }

    function Assert-NextRotationSucceeds([hashtable] $Setup) {
        $escrow = Reset-VelorinBiosPassword @Setup
        $latest = Get-Recovered $Setup.EscrowPath
        $latest.Sequence | Should -Be $escrow.Sequence
        Get-MachinePassword $Setup.MachineFile | Should -BeExactly $latest.Password
        (Get-VelorinBiosPasswordStatus -StorePath $Setup.StorePath).PendingRotation | Should -BeFalse
    }

    # A store folder as the module makes it, empty.
    function Initialize-StoreForTest([hashtable] $Setup) {
        & (Get-Module VelorinBios) { param($path) Initialize-VelorinPasswordStore $path } $Setup.StorePath
    }

    $FaultTool = Join-Path $PSScriptRoot 'fault-tool.sh'
    $env:VELORIN_FAULTED_TOOL = $Tool
}

AfterAll {
    Remove-Item Env:VELORIN_FAULTED_TOOL -ErrorAction SilentlyContinue
}

Describe 'Reset-VelorinBiosPassword' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    It 'takes over a shared password; the machine holds the new one, which the module and openssl recover' {
        $setup = New-RotationSetup
        $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)

        $escrow.PSObject.TypeNames[0] | Should -Be 'Velorin.BiosPasswordEscrow'
        $escrow.Sequence | Should -BeGreaterOrEqual $startTime
        $escrow.Record | Should -Match '^\{"type":"VelorinBiosPasswordEscrow","version":1,"serialNumber":"PF-0001","uuid":"4C4C4544-0042-3510-8051-B4C04F4A3132","sequence":\d{16},"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ","recipients":\["[0-9A-F]{40}"\],"cms":"[A-Za-z0-9+/=]+"\}$'
        [System.IO.File]::ReadAllText((Get-EscrowFile $setup $escrow.Sequence)) | Should -BeExactly ($escrow.Record + "`n")
        $escrow.Applied | Should -Match ('^\{"type":"VelorinBiosPasswordApplied","version":1,"serialNumber":"PF-0001","uuid":"4C4C4544-0042-3510-8051-B4C04F4A3132",' +
            """sequence"":$($escrow.Sequence),""time"":""\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ""\}$")
        [System.IO.File]::ReadAllText((Get-EscrowFile $setup $escrow.Sequence 'applied.json')) | Should -BeExactly ($escrow.Applied + "`n")

        $held = Get-MachinePassword $setup.MachineFile
        $held | Should -Match '^[A-HJ-NP-Za-km-z2-9]{16}$'
        (Get-Recovered $setup.EscrowPath).Password | Should -BeExactly $held
        $inner = Open-WithOpenssl $escrow.Record $EscrowA
        $inner.password | Should -BeExactly $held
        $inner.serialNumber | Should -Be 'PF-0001'
        $inner.sequence | Should -Be $escrow.Sequence

        $status = Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath
        $status.HasPassword | Should -BeTrue
        $status.Sequence | Should -Be $escrow.Sequence
        $status.CurrentSequence | Should -Be $escrow.Sequence
        $status.PendingRotation | Should -BeFalse
        $status.LastRotation | Should -BeGreaterThan ([datetime]::UtcNow.AddMinutes(-5))
    }

    It 'rotates again with the store''s password, to a new password and a new sequence' {
        $setup = New-RotationSetup
        $first = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $firstPassword = Get-MachinePassword $setup.MachineFile
        $second = Reset-VelorinBiosPassword @setup -Length 20
        $second.Sequence | Should -BeGreaterThan $first.Sequence
        $held = Get-MachinePassword $setup.MachineFile
        $held.Length | Should -Be 20
        $held | Should -Not -Be $firstPassword
        (Get-Recovered $setup.EscrowPath).Password | Should -BeExactly $held
    }

    It 'gives a device without a supervisor password its first one' {
        $setup = New-RotationSetup -Supervisor ''
        $escrow = Reset-VelorinBiosPassword @setup
        Get-MachinePassword $setup.MachineFile | Should -BeExactly (Get-Recovered $setup.EscrowPath).Password
        $escrow.Sequence | Should -BeGreaterOrEqual $startTime
    }

    It 'escrows to two certificates, each of which opens the record, in at most 2,048 characters' {
        $setup = New-RotationSetup
        $setup.EscrowCertificate = @($EscrowA.Cert, [System.IO.File]::ReadAllText($EscrowB.Cert))
        $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $escrow.Record.Length | Should -BeLessOrEqual 2048
        $escrow.Recipients.Count | Should -Be 2
        $held = Get-MachinePassword $setup.MachineFile
        (Open-WithOpenssl $escrow.Record $EscrowB).password | Should -BeExactly $held
        $withB = Unprotect-VelorinBiosPassword -Record $escrow.Record -PfxPath $EscrowB.Pfx -PfxPassword $EscrowB.PfxPassword -AsPlainText
        $withB.Password | Should -BeExactly $held
    }

    It 'reads a DER certificate file as well as a PEM one' {
        $der = Join-Path $TestDrive 'escrow-a.der'
        & openssl x509 -in $EscrowA.Cert -outform DER -out $der
        $setup = New-RotationSetup
        $setup.EscrowCertificate = $der
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        (Get-Recovered $setup.EscrowPath).Password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
    }

    It 'refuses a second rotation while the store is locked, and changes nothing' {
        $setup = New-RotationSetup
        $first = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $held = Get-MachinePassword $setup.MachineFile
        $lock = [System.IO.File]::Open((Join-Path $setup.StorePath 'rotation.lock'), 'OpenOrCreate', 'ReadWrite', 'None')
        try {
            $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup }
        }
        finally {
            $lock.Dispose()
        }
        $failure.Exception.Message | Should -Match 'Another rotation of the BIOS password is running'
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $held
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence | Should -Be $first.Sequence
    }

    It 'refuses an escrow certificate that comes with its private key' {
        $setup = New-RotationSetup
        $setup.EscrowCertificate = New-Object System.Security.Cryptography.X509Certificates.X509Certificate2 ($EscrowA.Pfx, $EscrowA.PfxPassword)
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) }
        $failure.FullyQualifiedErrorId | Should -Match 'VelorinEscrowPrivateKey'
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
    }

    It 'asks for -Password when the firmware refuses the store''s, without using up a sequence' {
        $setup = New-RotationSetup
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup }
        $failure.Exception.Message | Should -Match 'give the current one with -Password'
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence | Should -Be 0
        Get-ChildItem -LiteralPath $setup.EscrowPath | Should -BeNullOrEmpty
    }

    It 'changes nothing under -WhatIf' {
        $setup = New-RotationSetup
        Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) -WhatIf | Should -BeNullOrEmpty
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
        Test-Path -LiteralPath $setup.StorePath | Should -BeFalse
    }

    It 'keeps the store in a folder only its owner can enter, in a file only its owner can read' -Skip:($IsWindows) {
        $setup = New-RotationSetup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        [System.IO.File]::GetUnixFileMode($setup.StorePath) | Should -Be ([System.IO.UnixFileMode]'UserRead, UserWrite, UserExecute')
        [System.IO.File]::GetUnixFileMode((Join-Path $setup.StorePath 'state.json')) | Should -Be ([System.IO.UnixFileMode]'UserRead, UserWrite')
        @(Get-ChildItem -LiteralPath $setup.StorePath -Force).Name | Sort-Object | Should -Be @('rotation.lock', 'state.json')
    }
}

Describe 'A rotation cut off at any step' {
    BeforeEach {
        Assert-TestCapability $Needs
        $setup = New-RotationSetup
        $taken = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $before = Get-MachinePassword $setup.MachineFile
    }

    AfterEach {
        Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_RULE, Env:VELORIN_FAULT_STOP_CALLER -ErrorAction SilentlyContinue
        Remove-Variable -Name VelorinTestStoreBroken -Scope Global -ErrorAction SilentlyContinue
    }

    It 'leaves a recoverable password when the escrow folder cannot be written, and the next rotation succeeds' {
        $notAFolder = Join-Path $TestDrive 'not-a-folder'
        Set-Content -LiteralPath $notAFolder -Value 'x'
        $broken = $setup.Clone()
        $broken.EscrowPath = $notAFolder
        Get-TerminatingError { Reset-VelorinBiosPassword @broken } | Should -Not -BeNullOrEmpty
        $failed = (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence
        $failed | Should -BeGreaterThan $taken.Sequence
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $before
        Assert-Recoverable $setup
        Assert-NextRotationSucceeds $setup
        # A number went to the record that could not be written; no name is used twice.
        $next = (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence
        $next | Should -BeGreaterThan $failed
        $names = foreach ($sequence in $taken.Sequence, $next) {
            Split-Path -Leaf (Get-EscrowFile $setup $sequence 'applied.json')
            Split-Path -Leaf (Get-EscrowFile $setup $sequence)
        }
        @(Get-ChildItem -LiteralPath $setup.EscrowPath).Name | Sort-Object | Should -Be @($names | Sort-Object)
    }

    It 'leaves a recoverable password when an escrow file of that name exists already' {
        # Numbers one after the other, so that the next one is known.
        Mock Get-VelorinNextSequence -ModuleName VelorinBios -MockWith { $Last + 1 }
        Set-Content -LiteralPath (Get-EscrowFile $setup ($taken.Sequence + 1)) -Value 'taken'
        Get-TerminatingError { Reset-VelorinBiosPassword @setup } | Should -Not -BeNullOrEmpty
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $before
        Assert-Recoverable $setup
        Assert-NextRotationSucceeds $setup
    }

    It 'changes nothing when the store cannot be written, and the next rotation succeeds' {
        $global:VelorinTestStoreBroken = $true
        Mock Write-VelorinPasswordStore -ModuleName VelorinBios -ParameterFilter { $global:VelorinTestStoreBroken } -MockWith {
            throw (New-Object System.IO.IOException 'Access to the path is denied.')
        }
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup }
        $failure.Exception.Message | Should -Match 'Access to the path is denied'
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $before
        Assert-Recoverable $setup
        $global:VelorinTestStoreBroken = $false
        Assert-NextRotationSucceeds $setup
    }

    It 'completes the rotation on the next run when the store cannot be written after the change' {
        $global:VelorinTestStoreBroken = $true
        Mock Write-VelorinPasswordStore -ModuleName VelorinBios -ParameterFilter { $global:VelorinTestStoreBroken -and -not $State.Pending } -MockWith {
            throw (New-Object System.IO.IOException 'Access to the path is denied.')
        }
        [void](Get-TerminatingError { Reset-VelorinBiosPassword @setup })
        Get-MachinePassword $setup.MachineFile | Should -Not -Be $before
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).PendingRotation | Should -BeTrue
        Assert-Recoverable $setup
        $global:VelorinTestStoreBroken = $false
        Assert-NextRotationSucceeds $setup
    }

    It 'rolls back and stays recoverable when <Name>, and the next rotation succeeds' -TestCases @(
        @{ Name = 'the current password is refused at the change'; Rule = 'answer SetPassword retcode=2'; Code = 2 }
        @{ Name = 'the Set of 0x3000 is refused'; Rule = 'answer Set item=0x3000 retcode=12'; Code = 12 }
        @{ Name = 'the save is refused'; Rule = 'answer Save retcode=12'; Code = 12 }
    ) {
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        $env:VELORIN_FAULT_RULE = $Rule
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup -ToolPath $FaultTool }
        $failure.Exception.Message | Should -Match "exit code $Code\); the firmware kept its password"
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $before
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).PendingRotation | Should -BeFalse
        Assert-Recoverable $setup
        Remove-Item Env:VELORIN_FAULT_COMMAND
        Assert-NextRotationSucceeds $setup
    }

    It 'completes on the next run when the process is stopped between the change and the commit' {
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        $env:VELORIN_FAULT_STOP_CALLER = '1'
        $command = "Import-Module '$ModulePath'; " +
        "Reset-VelorinBiosPassword -EscrowCertificate '$($setup.EscrowCertificate)' -StorePath '$($setup.StorePath)' " +
        "-EscrowPath '$($setup.EscrowPath)' -SerialNumber '$($setup.SerialNumber)' -Uuid '$($setup.Uuid)' " +
        "-MachineFile '$($setup.MachineFile)' -ToolPath '$FaultTool' | ForEach-Object { [Console]::Out.WriteLine(`$_.Record); [Console]::Out.Flush() }"
        $printed = & $Pwsh -NoProfile -NonInteractive -Command $command
        $LASTEXITCODE | Should -Not -Be 0
        Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_STOP_CALLER

        # The record was out before the firmware changed: printed, and on the share.
        $held = Get-MachinePassword $setup.MachineFile
        $held | Should -Not -Be $before
        (Open-WithOpenssl ($printed -join '') $EscrowA).password | Should -BeExactly $held
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).PendingRotation | Should -BeTrue
        Assert-Recoverable $setup
        Assert-NextRotationSucceeds $setup
    }

    It 'takes a device over again with the shared password after the takeover''s change failed' {
        $takeover = New-RotationSetup
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        $env:VELORIN_FAULT_RULE = 'answer Save retcode=12'
        [void](Get-TerminatingError { Reset-VelorinBiosPassword @takeover -Password (ConvertTo-TestSecureString $Shared) -ToolPath $FaultTool })
        Remove-Item Env:VELORIN_FAULT_COMMAND
        Get-MachinePassword $takeover.MachineFile | Should -BeExactly $Shared
        $failed = (Get-VelorinBiosPasswordStatus -StorePath $takeover.StorePath).Sequence
        $escrow = Reset-VelorinBiosPassword @takeover -Password (ConvertTo-TestSecureString $Shared)
        $escrow.Sequence | Should -BeGreaterThan $failed
        Get-MachinePassword $takeover.MachineFile | Should -BeExactly (Get-Recovered $takeover.EscrowPath).Password
    }
}

Describe 'Unprotect-VelorinBiosPassword' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    BeforeAll {
        if (-not (Test-TestCapability $Needs)) { return }
        $one = New-RotationSetup
        $first = Reset-VelorinBiosPassword @one -Password (ConvertTo-TestSecureString $Shared)
        $latest = Reset-VelorinBiosPassword @one
        $onePassword = Get-MachinePassword $one.MachineFile
        $two = New-RotationSetup
        $two.SerialNumber = 'PF-0002'
        $two.Uuid = '4C4C4544-0042-3510-8051-B4C04F4A9999'
        $other = Reset-VelorinBiosPassword @two -Password (ConvertTo-TestSecureString $Shared)
        $twoPassword = Get-MachinePassword $two.MachineFile
    }

    It 'returns the latest record of each device from mixed lines and a CSV export' {
        $csvLine = '"PF-0002","' + $other.Record.Replace('"', '""') + '"'
        $lines = @('Device,Output', $first.Record, 'Not applicable: nothing to do', $latest.Record, $csvLine)
        $recovered = $lines | Unprotect-VelorinBiosPassword -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword | Sort-Object SerialNumber
        $recovered.Count | Should -Be 2
        $recovered[0].PSObject.TypeNames[0] | Should -Be 'Velorin.BiosPasswordRecovery'
        $recovered[0].Sequence | Should -Be $latest.Sequence
        $recovered[0].Password | Should -BeOfType [System.Security.SecureString]
        [System.Net.NetworkCredential]::new('', $recovered[0].Password).Password | Should -BeExactly $onePassword
        [System.Net.NetworkCredential]::new('', $recovered[1].Password).Password | Should -BeExactly $twoPassword
        $recovered[1].Uuid | Should -Be $two.Uuid
    }

    It 'binds the Record property of Reset-VelorinBiosPassword''s output, and takes a certificate object' {
        $key = New-Object System.Security.Cryptography.X509Certificates.X509Certificate2 ($EscrowA.Pfx, $EscrowA.PfxPassword)
        ($latest | Unprotect-VelorinBiosPassword -Certificate $key -AsPlainText).Password | Should -BeExactly $onePassword
    }

    It 'reads folders and files of records, and lists every record with -All' {
        $all = Unprotect-VelorinBiosPassword -Path $one.EscrowPath, (Get-EscrowFile $two $other.Sequence) -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -All
        @($all | ForEach-Object { '{0}-{1}' -f $_.SerialNumber, $_.Sequence }) | Should -Be @("PF-0001-$($latest.Sequence)", "PF-0001-$($first.Sequence)", "PF-0002-$($other.Sequence)")
    }

    It 'reports a record whose identity inside differs from its identity outside' {
        $forged = $other.Record.Replace('"serialNumber":"PF-0002"', '"serialNumber":"PF-0001"').Replace($two.Uuid, $one.Uuid).Replace("""sequence"":$($other.Sequence)", '"sequence":9')
        $result = Unprotect-VelorinBiosPassword -Record $forged -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -ErrorVariable failures -ErrorAction SilentlyContinue
        $result | Should -BeNullOrEmpty
        @($failures | Where-Object FullyQualifiedErrorId -Like 'VelorinEscrowRecordNotOpened*')[0].Exception.Message | Should -Match 'holds the identity of another record'
    }

    It 'reports a record that the certificate given cannot open' {
        $result = Unprotect-VelorinBiosPassword -Record $latest.Record -PfxPath $EscrowB.Pfx -PfxPassword $EscrowB.PfxPassword -ErrorVariable failures -ErrorAction SilentlyContinue
        $result | Should -BeNullOrEmpty
        $opened = @($failures | Where-Object FullyQualifiedErrorId -Like 'VelorinEscrowRecordNotOpened*')
        $opened.Count | Should -Be 1
        $opened[0].Exception.Message | Should -Match 'cannot be opened: .*recipient'
    }
}

Describe 'Rotation in the field' {
    BeforeAll {
        # A certificate made here in .NET, public part only: Bits, validity and key usage as given.
        function New-WeakCertificate([int] $Bits = 2048, [int] $FromDays = -1, [int] $ToDays = 30, [string] $Usage = 'KeyEncipherment') {
            $rsa = [System.Security.Cryptography.RSA]::Create($Bits)
            $request = [System.Security.Cryptography.X509Certificates.CertificateRequest]::new("CN=Escrow $Bits $Usage", $rsa, 'SHA256',
                [System.Security.Cryptography.RSASignaturePadding]::Pkcs1)
            $request.CertificateExtensions.Add([System.Security.Cryptography.X509Certificates.X509KeyUsageExtension]::new($Usage, $true))
            $made = $request.CreateSelfSigned([datetimeoffset]::UtcNow.AddDays($FromDays), [datetimeoffset]::UtcNow.AddDays($ToDays))
            return [System.Security.Cryptography.X509Certificates.X509Certificate2]::new($made.Export('Cert'))
        }

        # The setup without an escrow folder: records in the output only.
        function New-OutputOnlySetup([string] $Supervisor = $Shared) {
            $setup = New-RotationSetup $Supervisor
            $setup.Remove('EscrowPath')
            return $setup
        }
    }

    BeforeEach {
        Assert-TestCapability $Needs
    }

    AfterEach {
        Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_RULE, Env:VELORIN_FAULT_STOP_CALLER -ErrorAction SilentlyContinue
    }

    It 'rotates without -EscrowPath: <Name>' -TestCases @(
        @{ Name = 'Reset-VelorinBiosPassword'; Command = { param($s) (Reset-VelorinBiosPassword @s -Password (ConvertTo-TestSecureString $Shared)).Record } }
        @{ Name = 'Invoke-VelorinBiosPasswordRotation'; Command = {
                param($s)
                $file = Join-Path $TestDrive ('shared-' + [guid]::NewGuid().ToString('N'))
                [System.IO.File]::WriteAllText($file, "$Shared`n")
                $s.Remove('Confirm')
                $outcome = Invoke-VelorinBiosPasswordRotation @s -PasswordFile $file -Confirm:$false
                $outcome.State | Should -Be 'Rotated'
                $outcome.Summary
            }
        }
    ) {
        $setup = New-OutputOnlySetup
        $printed = & $Command $setup
        $held = Get-MachinePassword $setup.MachineFile
        $held | Should -Not -Be $Shared
        (Unprotect-VelorinBiosPassword -Record $printed -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText).Password | Should -BeExactly $held
    }

    It 'sorts the record of a reimaged PC (store lost) after the old ones, on the share and in the output' {
        $setup = New-RotationSetup
        $old = @(Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        $old += Reset-VelorinBiosPassword @setup
        $firmware = Get-MachinePassword $setup.MachineFile
        Remove-Item -LiteralPath $setup.StorePath -Recurse
        $new = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $firmware)
        $new.Sequence | Should -BeGreaterThan $old[1].Sequence
        (Get-Recovered $setup.EscrowPath).Password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
        $lines = @($old.Record) + @($new.Record)
        (Unprotect-VelorinBiosPassword -Record $lines -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText).Password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
    }

    It 'moves a store file that cannot be read aside, says so, and takes over with -Password; the detection only reports it' {
        $setup = New-RotationSetup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        $firmware = Get-MachinePassword $setup.MachineFile
        $file = Join-Path $setup.StorePath 'state.json'
        $cut = [System.IO.File]::ReadAllText($file).Substring(0, 40)
        [System.IO.File]::WriteAllText($file, $cut)

        $check = Get-VelorinBiosPasswordRotationState -StorePath $setup.StorePath -MachineFile $setup.MachineFile
        $check.State | Should -Be 'Failed'
        $check.Summary | Should -Match "^Check failed: The password store '.*state\.json' cannot be read \(.*\); the next rotation moves it aside\.$"
        [System.IO.File]::ReadAllText($file) | Should -BeExactly $cut

        $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $firmware) -WarningVariable warned 3>$null
        Get-MachinePassword $setup.MachineFile | Should -BeExactly (Get-Recovered $setup.EscrowPath).Password
        $escrow.Sequence | Should -BeGreaterThan 0
        "$warned" | Should -Match "state\.json' is moved aside to '.*state\.json\.unreadable-\d{17}': it cannot be read"
        $aside = @(Get-ChildItem -LiteralPath $setup.StorePath -Filter 'state.json.unreadable-*')
        $aside.Count | Should -Be 1
        [System.IO.File]::ReadAllText($aside[0].FullName) | Should -BeExactly $cut
    }

    It 'moves aside <Name> before the store is used, and keeps the password out of it' -Skip:($IsWindows) -TestCases @(
        @{ Name = 'a folder that others may enter'; Prepare = { param($s) [void](New-Item -ItemType Directory -Path $s.StorePath); & chmod 0755 $s.StorePath }; Aside = 'folder'; Why = 'it admits group' }
        @{ Name = 'a state file that others may read'; Prepare = {
                param($s)
                Initialize-StoreForTest $s
                [System.IO.File]::WriteAllText((Join-Path $s.StorePath 'state.json'), '{"version":1,"protection":"file-mode","sequence":5,"current":"","pending":""}')
                & chmod 0644 (Join-Path $s.StorePath 'state.json')
            }; Aside = 'file'; Why = 'it admits group'
        }
        @{ Name = 'a state file of another owner'; Prepare = {
                param($s)
                Initialize-StoreForTest $s
                [System.IO.File]::WriteAllText((Join-Path $s.StorePath 'state.json'), '{"version":1,"protection":"file-mode","sequence":5,"current":"","pending":""}')
                & chmod 0600 (Join-Path $s.StorePath 'state.json')
                Mock Get-VelorinStoreItemSecurity -ModuleName VelorinBios -ParameterFilter { $Path -like '*state.json' } -MockWith {
                    [pscustomobject]@{ Owner = 'mallory'; Grants = @() }
                }
            }; Aside = 'file'; Why = 'it is owned by mallory'
        }
    ) {
        $setup = New-RotationSetup
        & $Prepare $setup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) -WarningVariable warned 3>$null)
        "$warned" | Should -Match ([regex]::Escape($Why))
        Get-MachinePassword $setup.MachineFile | Should -BeExactly (Get-Recovered $setup.EscrowPath).Password
        [System.IO.File]::GetUnixFileMode($setup.StorePath) | Should -Be ([System.IO.UnixFileMode]'UserRead, UserWrite, UserExecute')
        [System.IO.File]::GetUnixFileMode((Join-Path $setup.StorePath 'state.json')) | Should -Be ([System.IO.UnixFileMode]'UserRead, UserWrite')
        if ($Aside -eq 'folder') {
            @(Get-ChildItem -LiteralPath (Split-Path $setup.StorePath) -Filter ((Split-Path -Leaf $setup.StorePath) + '.untrusted-*')).Count | Should -Be 1
        }
        else {
            $moved = @(Get-ChildItem -LiteralPath $setup.StorePath -Filter 'state.json.untrusted-*')
            $moved.Count | Should -Be 1
            [System.IO.File]::GetUnixFileMode($moved[0].FullName) | Should -Be ([System.IO.UnixFileMode]'UserRead, UserWrite')
        }
    }

    It 'tells how a store stands without any parameter' {
        $status = Get-VelorinBiosPasswordStatus
        $status.PSObject.TypeNames[0] | Should -Be 'Velorin.BiosPasswordStatus'
        $status.PendingRemoval | Should -BeFalse
    }

    It 'gives a firmware without a password its first one also when a takeover password is given' {
        $setup = New-RotationSetup -Supervisor ''
        $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        Get-MachinePassword $setup.MachineFile | Should -BeExactly (Get-Recovered $setup.EscrowPath).Password
        $escrow.Applied | Should -Not -BeNullOrEmpty
    }

    It 'completes a removal cut off after the change: the detection says it is pending, the next rotation gives a first password' {
        $setup = New-RotationSetup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        $env:VELORIN_FAULT_STOP_CALLER = '1'
        $command = "Import-Module '$ModulePath'; Clear-VelorinBiosPassword -StorePath '$($setup.StorePath)' -MachineFile '$($setup.MachineFile)' -ToolPath '$FaultTool' -Confirm:`$false"
        & pwsh -NoProfile -NonInteractive -Command $command
        $LASTEXITCODE | Should -Not -Be 0
        Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_STOP_CALLER
        Get-MachinePassword $setup.MachineFile | Should -BeExactly ''

        $recorder = Start-ToolRecording 'detection'
        $check = Get-VelorinBiosPasswordRotationState -StorePath $setup.StorePath -MachineFile $setup.MachineFile -ToolPath $recorder
        $runs = Stop-ToolRecording
        $check.State | Should -Be 'NonCompliant'
        $check.Summary | Should -Match '^NonCompliant: a removal of the password is pending'
        # The detection presents no password: each wrong one may count toward a lockout.
        @($runs | Where-Object { $_.Input -or $_.Arguments -contains '/VerifyPassword' }).Count | Should -Be 0
        Assert-NextRotationSucceeds $setup
    }

    It 'reports the record the firmware took after a refused change, and recovers it first with a warning about the later one' {
        $setup = New-RotationSetup
        $taken = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
        $env:VELORIN_FAULT_RULE = 'answer Save retcode=12'
        [void](Get-TerminatingError { Reset-VelorinBiosPassword @setup -ToolPath $FaultTool })
        Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_RULE
        $refused = (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence
        $refused | Should -BeGreaterThan $taken.Sequence

        (Get-VelorinBiosPasswordRotationState -StorePath $setup.StorePath -MachineFile $setup.MachineFile).Summary.Split("`n")[0] |
            Should -Match "^Rotated: record $($taken.Sequence) of "
        $recovered = Unprotect-VelorinBiosPassword -Path $setup.EscrowPath -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -WarningVariable warned 3>$null
        $recovered.Sequence | Should -Be $taken.Sequence
        $recovered.Password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
        "$warned" | Should -Match "The record $refused of PF-0001 .* was never confirmed as applied"
        $all = Get-Recovered $setup.EscrowPath -All
        @($all | ForEach-Object { '{0} {1}' -f $_.Sequence, $_.Status }) | Should -Be @("$refused NotConfirmed", "$($taken.Sequence) Applied")
    }

    It 'passes over a planted <Name> with a warning naming its file, and returns the latest good record' -TestCases @(
        @{ Name = 'record relabelled from another device'; Plant = { param($own, $r, $n) $r.Replace('"serialNumber":"PF-0009"', '"serialNumber":"PF-0001"').Replace('4C4C4544-0042-3510-8051-B4C04F4A9999', '4C4C4544-0042-3510-8051-B4C04F4A3132') -replace '"sequence":\d+', """sequence"":$n" } }
        @{ Name = 'record whose envelope is garbage'; Plant = { param($r, $foreign, $n) ($r -replace '"cms":"[^"]+"', '"cms":"AAAA"') -replace '"sequence":\d+', """sequence"":$n" } }
    ) {
        $setup = New-RotationSetup
        $taken = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $held = Get-MachinePassword $setup.MachineFile
        # Another device (on a machine file of the same name: the first one's password is kept above).
        $other = New-RotationSetup
        $other.SerialNumber = 'PF-0009'
        $other.Uuid = '4C4C4544-0042-3510-8051-B4C04F4A9999'
        $foreign = Reset-VelorinBiosPassword @other -Password (ConvertTo-TestSecureString $Shared)
        $planted = Join-Path $setup.EscrowPath 'planted.json'
        [System.IO.File]::WriteAllText($planted, (& $Plant $taken.Record $foreign.Record ($taken.Sequence + 5)) + "`n")
        [System.IO.File]::WriteAllText((Join-Path $setup.EscrowPath 'planted.applied.json'),
            ($taken.Applied -replace '"sequence":\d+', """sequence"":$($taken.Sequence + 5)") + "`n")

        $recovered = Unprotect-VelorinBiosPassword -Path $setup.EscrowPath -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -WarningVariable warned -ErrorAction Stop 3>$null
        $recovered.Sequence | Should -Be $taken.Sequence
        $recovered.Password | Should -BeExactly $held
        "$warned" | Should -Match ([regex]::Escape("in '$planted' cannot be opened"))
    }

    It 'reads only regular files of at most 64 KiB of a folder, passing over a pipe and a large file' -Skip:($IsWindows) {
        $setup = New-RotationSetup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        & mkfifo (Join-Path $setup.EscrowPath 'pipe.json')
        [System.IO.File]::WriteAllText((Join-Path $setup.EscrowPath 'large.json'), ('x' * 65537))
        $recovered = Unprotect-VelorinBiosPassword -Path $setup.EscrowPath -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -AsPlainText -WarningVariable warned 3>$null
        $recovered.Password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
        "$warned" | Should -Match "pipe\.json' is passed over: it is not a regular file"
        "$warned" | Should -Match "large\.json' is passed over: it is larger than 65536 bytes"
    }

    It 'names the files of devices with the placeholder serial "<Serial>" by their UUIDs' -TestCases @(
        @{ Serial = 'Default string' }, @{ Serial = 'To be filled by O.E.M.' }, @{ Serial = 'System Serial Number' }, @{ Serial = '00000000' }
    ) {
        $share = Join-Path $TestDrive ('placeholder-' + [guid]::NewGuid().ToString('N'))
        [void](New-Item -ItemType Directory -Path $share)
        foreach ($uuid in '11111111-2222-3333-4444-555555555555', '66666666-7777-8888-9999-000000000000') {
            $setup = New-RotationSetup
            $setup.EscrowPath = $share
            $setup.SerialNumber = $Serial
            $setup.Uuid = $uuid
            $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
            Split-Path -Leaf $escrow.EscrowFile | Should -BeExactly "$uuid-$($escrow.Sequence).json"
        }
        @(Get-Recovered $share).Count | Should -Be 2
    }

    It 'refuses <Name> before anything changes, naming it' -TestCases @(
        @{ Name = 'a blank -SerialNumber'; Change = { param($s) $s.SerialNumber = '   ' }; Expected = '-SerialNumber is blank' }
        @{ Name = 'a blank -Uuid'; Change = { param($s) $s.Uuid = ' ' }; Expected = '-Uuid is blank' }
        @{ Name = 'an empty -EscrowCertificate'; Change = { param($s) $s.EscrowCertificate = '' }; Expected = 'An escrow certificate \(-EscrowCertificate\) is empty' }
        @{ Name = 'a text with a private key'; Change = { param($s) $s.EscrowCertificate = [System.IO.File]::ReadAllText($EscrowA.Cert) + [System.IO.File]::ReadAllText($EscrowA.Key) }; Expected = 'comes with a private key' }
        @{ Name = 'a text without a certificate'; Change = { param($s) $s.EscrowCertificate = "-----BEGIN PUBLIC KEY-----`nAAAA`n-----END PUBLIC KEY-----" }; Expected = 'is not a PEM certificate' }
        @{ Name = 'an RSA-1024 certificate'; Change = { param($s) $s.EscrowCertificate = New-WeakCertificate -Bits 1024 }; Expected = "'CN=Escrow 1024 KeyEncipherment' \([0-9A-F]{40}\) is refused: its RSA key has 1024 bits, fewer than 2048" }
        @{ Name = 'an expired certificate'; Change = { param($s) $s.EscrowCertificate = New-WeakCertificate -FromDays -60 -ToDays -1 }; Expected = 'is refused: it expired on' }
        @{ Name = 'a certificate not yet valid'; Change = { param($s) $s.EscrowCertificate = New-WeakCertificate -FromDays 2 -ToDays 60 }; Expected = 'is refused: it is not valid before' }
        @{ Name = 'a certificate for signatures only'; Change = { param($s) $s.EscrowCertificate = New-WeakCertificate -Usage 'DigitalSignature' }; Expected = 'is refused: its key usage does not allow key encipherment' }
    ) {
        $setup = New-RotationSetup
        & $Change $setup
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) }
        $failure.Exception.Message | Should -Match $Expected
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
        Test-Path -LiteralPath $setup.StorePath | Should -BeFalse
    }

    It 'takes every certificate of a pasted text, and a certificate given twice once' {
        $setup = New-RotationSetup
        $pasted = [System.IO.File]::ReadAllText($EscrowA.Cert) + "`n" + [System.IO.File]::ReadAllText($EscrowB.Cert)
        $setup.EscrowCertificate = @($pasted, $EscrowA.Cert)
        $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        $escrow.Recipients.Count | Should -Be 2
        (Open-WithOpenssl $escrow.Record $EscrowB).password | Should -BeExactly (Get-MachinePassword $setup.MachineFile)
    }

    It 'refuses a record longer than Intune keeps when there is no escrow folder, before the firmware is touched' {
        $extra = @(New-TestEscrowCertificate 'C'; New-TestEscrowCertificate 'D')
        $setup = New-OutputOnlySetup
        $setup.EscrowCertificate = @($EscrowA.Cert, $EscrowB.Cert, $extra[0].Cert, $extra[1].Cert)
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) }
        $failure.Exception.Message | Should -Match "^The escrow record has \d+ characters; with the detection's headline that is more than the 2048 that Intune keeps of a script's output \(at most 1952 fit\)"
        [int]($failure.Exception.Message -replace '^The escrow record has (\d+) .*$', '$1') | Should -BeGreaterThan 2048
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).Sequence | Should -Be 0
        $withShare = New-RotationSetup
        $withShare.EscrowCertificate = $setup.EscrowCertificate
        (Reset-VelorinBiosPassword @withShare -Password (ConvertTo-TestSecureString $Shared)).Record.Length | Should -BeGreaterThan 2048
    }

    It 'leaves no part of a record file that could not be written, and says which file and why' {
        $setup = New-RotationSetup
        Mock Write-VelorinStreamBytes -ModuleName VelorinBios -MockWith { throw (New-Object System.IO.IOException 'No space left on device') }
        $failure = Get-TerminatingError { Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared) }
        $failure.Exception.Message | Should -Match "^The escrow file '.*PF-0001_4C4C4544-0042-3510-8051-B4C04F4A3132-\d{16}\.json' could not be written: No space left on device$"
        Get-ChildItem -LiteralPath $setup.EscrowPath | Should -BeNullOrEmpty
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
    }
}

Describe 'Clear-VelorinBiosPassword' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    It 'removes the password from the firmware and the store, keeping the sequence for the next rotation' {
        $setup = New-RotationSetup
        $first = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
        Clear-VelorinBiosPassword -StorePath $setup.StorePath -MachineFile $setup.MachineFile -Confirm:$false
        Get-MachinePassword $setup.MachineFile | Should -BeExactly ''
        $status = Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath
        $status.HasPassword | Should -BeFalse
        $status.Sequence | Should -Be $first.Sequence
        [System.IO.File]::ReadAllText((Join-Path $setup.StorePath 'state.json')) | Should -Match '"current":"","pending":""'
        (Reset-VelorinBiosPassword @setup).Sequence | Should -BeGreaterThan $first.Sequence
    }

    It 'completes a cut-off rotation first and removes the password the firmware holds' {
        $setup = New-RotationSetup
        [void](Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared))
        $global:VelorinTestStoreBroken = $true
        Mock Write-VelorinPasswordStore -ModuleName VelorinBios -ParameterFilter { $global:VelorinTestStoreBroken -and -not $State.Pending } -MockWith {
            throw (New-Object System.IO.IOException 'Access to the path is denied.')
        }
        [void](Get-TerminatingError { Reset-VelorinBiosPassword @setup })
        Remove-Variable -Name VelorinTestStoreBroken -Scope Global
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).PendingRotation | Should -BeTrue
        Clear-VelorinBiosPassword -StorePath $setup.StorePath -MachineFile $setup.MachineFile -Confirm:$false
        Get-MachinePassword $setup.MachineFile | Should -BeExactly ''
        (Get-VelorinBiosPasswordStatus -StorePath $setup.StorePath).PendingRotation | Should -BeFalse
    }

    It 'removes a password given instead of the store''s, and nothing under -WhatIf' {
        $setup = New-RotationSetup
        Clear-VelorinBiosPassword -StorePath $setup.StorePath -MachineFile $setup.MachineFile -Password (ConvertTo-TestSecureString $Shared) -WhatIf
        Get-MachinePassword $setup.MachineFile | Should -BeExactly $Shared
        Clear-VelorinBiosPassword -StorePath $setup.StorePath -MachineFile $setup.MachineFile -Password (ConvertTo-TestSecureString $Shared) -Confirm:$false
        Get-MachinePassword $setup.MachineFile | Should -BeExactly ''
    }
}

Describe 'Rotation passwords' {
    BeforeEach {
        Assert-TestCapability $Needs
    }

    BeforeAll {
        if (-not (Test-TestCapability $Needs)) { return }
        $records = Join-Path $TestDrive 'rotation-records'
        [void](New-Item -ItemType Directory -Path $records)
        $env:VELORIN_RECORD_DIR = $records
        $env:VELORIN_REAL_TOOL = $Tool
        $recorder = Join-Path $PSScriptRoot 'record-tool.sh'
        $setup = New-RotationSetup
        $setup.ToolPath = $recorder
        $temporary = [System.IO.Path]::GetTempPath()
        $testDriveRoot = (Get-Item -LiteralPath $TestDrive).FullName
        $before = @(Get-ChildItem -LiteralPath $temporary -Force | Where-Object { $testDriveRoot -notlike "$($_.FullName)*" }).FullName
        $transcript = Join-Path $TestDrive 'transcript.txt'
        $outputs = New-Object System.Collections.Generic.List[object]
        Start-Transcript -LiteralPath $transcript | Out-Null
        try {
            $log = & {
                $VerbosePreference = 'Continue'
                $escrow = Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString $Shared)
                $outputs.Add($escrow)
                $escrow | Format-List * | Out-String
                $outputs.Add((Reset-VelorinBiosPassword @setup))
                try {
                    Reset-VelorinBiosPassword @setup -Password (ConvertTo-TestSecureString 'Wrong-Pass1')
                }
                catch {
                    $_ | Out-String
                    $_.Exception.ToString()
                }
                $env:VELORIN_FAULT_COMMAND = '/ChangeSupervisorPassword'
                $env:VELORIN_FAULT_RULE = 'answer Save retcode=12'
                $env:VELORIN_REAL_TOOL = $FaultTool
                try {
                    $outputs.Add((Reset-VelorinBiosPassword @setup))
                }
                catch {
                    $_ | Out-String
                    $_.Exception.ToString()
                }
                finally {
                    $env:VELORIN_REAL_TOOL = $Tool
                    Remove-Item Env:VELORIN_FAULT_COMMAND, Env:VELORIN_FAULT_RULE
                }
                Unprotect-VelorinBiosPassword -Path $setup.EscrowPath -PfxPath $EscrowA.Pfx -PfxPassword $EscrowA.PfxPassword -All | Format-List * | Out-String
                Clear-VelorinBiosPassword -StorePath $setup.StorePath -MachineFile $setup.MachineFile -ToolPath $recorder -Confirm:$false
            } *>&1 | Out-String
        }
        finally {
            Stop-Transcript | Out-Null
        }
        $after = @(Get-ChildItem -LiteralPath $temporary -Force | Where-Object { $testDriveRoot -notlike "$($_.FullName)*" }).FullName
        $secrets = @($Shared) + @((Get-Recovered $setup.EscrowPath -All).Password)
        $runs = Get-RecordedRun $records
    }

    AfterAll {
        Remove-Item Env:VELORIN_RECORD_DIR, Env:VELORIN_REAL_TOOL -ErrorAction SilentlyContinue
    }

    It 'were all made and recovered (the checks below have something to find)' {
        $secrets.Count | Should -Be 4
        $runs.Count | Should -BeGreaterThan 8
    }

    It 'never stand in a command line; the changes read them from standard input' {
        foreach ($run in $runs) {
            foreach ($secret in $secrets) {
                ($run.Arguments -join ' ') | Should -Not -Match ([regex]::Escape($secret))
            }
        }
        $changes = @($runs | Where-Object { $_.Arguments[0] -eq '/ChangeSupervisorPassword' })
        $changes[0].Arguments | Should -Be @('/ChangeSupervisorPassword', '/newpwstdin', '/pwstdin')
        $changes[0].Input | Should -BeExactly ("$Shared`n" + $secrets[3] + "`n")
        $changes[-1].Arguments | Should -Be @('/ChangeSupervisorPassword', '', '/pwstdin')
    }

    It 'appear in no output object outside Record, error, verbose line or transcript' {
        foreach ($secret in $secrets) {
            $log | Should -Not -Match ([regex]::Escape($secret))
            [System.IO.File]::ReadAllText($transcript) | Should -Not -Match ([regex]::Escape($secret))
            foreach ($output in $outputs) {
                ($output | Select-Object * -ExcludeProperty Record | Out-String) | Should -Not -Match ([regex]::Escape($secret))
            }
        }
        $log | Should -Match 'does not accept the password that the store holds'
        $log | Should -Match 'the firmware kept its password'
    }

    It 'leave nothing behind in the temporary folder' {
        # Other programs (and other test runs) use the folder at the same time, so what is new
        # there is judged by its content: none of it may hold a password.
        $new = @($after | Where-Object { $before -notcontains $_ })
        # Regular files only: a named pipe there would block the read.
        $files = $new | ForEach-Object { Get-ChildItem -LiteralPath $_ -File -Recurse -Force -ErrorAction SilentlyContinue } |
            Where-Object { $_.UnixMode -like '-*' -and $_.Length -lt 1MB }
        foreach ($file in $files) {
            try {
                $text = [System.IO.File]::ReadAllText($file.FullName, $Latin1)
            }
            catch [System.IO.IOException] {
                continue  # removed by its owner since the listing: it holds nothing any more
            }
            foreach ($secret in $secrets) {
                $text.Contains($secret) | Should -BeFalse -Because $file.FullName
            }
        }
    }
}
