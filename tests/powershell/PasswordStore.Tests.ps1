# The device's password store on its own, through the module's store functions: what a write
# leaves on the disk (sealed with DPAPI on Windows) and what a read brings back.

BeforeAll {
    . (Join-Path $PSScriptRoot 'TestSupport.ps1')
    $OnWindows = [System.Environment]::OSVersion.Platform -eq [System.PlatformID]::Win32NT

    # Writes a state holding both passwords twice (the second write replaces the file) and
    # returns what a read brings back.
    function Write-TestStore([string] $Path, [string] $Current, [string] $Pending) {
        $secrets = (ConvertTo-TestSecureString $Current), (ConvertTo-TestSecureString $Pending)
        return & (Get-Module VelorinBios) {
            param($Path, $Secrets)
            Initialize-VelorinPasswordStore $Path
            $state = New-VelorinStoreState
            $state.Current, $state.Pending = $Secrets
            $state.Sequence = 3
            $state.PendingSequence = 4
            Write-VelorinPasswordStore $Path $state
            Write-VelorinPasswordStore $Path $state
            Read-VelorinPasswordStore $Path
        } $Path $secrets
    }
}

Describe 'The password store' {
    It 'reads back both passwords and sequences from one file, which holds them sealed with DPAPI on Windows' {
        Assert-TestCapability StoreProtection
        $path = Join-Path $TestDrive 'store'
        $current = 'Current-Pass1'
        $pending = 'Pend "ing" \Pass 2'
        $read = Write-TestStore $path $current $pending
        [System.Net.NetworkCredential]::new('', $read.Current).Password | Should -BeExactly $current
        [System.Net.NetworkCredential]::new('', $read.Pending).Password | Should -BeExactly $pending
        $read.Sequence | Should -Be 3
        $read.PendingSequence | Should -Be 4
        @(Get-ChildItem -LiteralPath $path -Force).Name | Should -Be @('state.json')
        $saved = [System.IO.File]::ReadAllText((Join-Path $path 'state.json')) | ConvertFrom-Json
        $saved.protection | Should -Be @('file-mode', 'dpapi-localmachine')[[int]$OnWindows]
        $plain = [System.Convert]::ToBase64String([System.Text.Encoding]::UTF8.GetBytes($current))
        $saved.current -eq $plain | Should -Be (-not $OnWindows)
    }

    It 'admits only SYSTEM and the administrators to its folder, nothing inherited' {
        Assert-TestCapability AclReadBack
        $path = Join-Path $TestDrive 'acl-store'
        [void](Write-TestStore $path 'Current-Pass1' 'Pending-Pass2')
        $acl = Get-Acl -LiteralPath $path
        $acl.AreAccessRulesProtected | Should -BeTrue
        $sids = $acl.Access | ForEach-Object { $_.IdentityReference.Translate([System.Security.Principal.SecurityIdentifier]).Value }
        @($sids | Sort-Object -Unique) | Should -Be @('S-1-5-18', 'S-1-5-32-544')
    }
}
