# The device's own password store: the current supervisor password, during a rotation the
# pending one, the last sequence number and the time of the last rotation, in one file that
# only SYSTEM and the administrators can read.
#
# On Windows the folder's ACL admits SYSTEM and Administrators only, and each password is
# sealed with DPAPI in the LocalMachine scope. The ACL is what keeps local users out (any
# process of the machine may unseal a LocalMachine blob); DPAPI keeps the passwords unreadable
# on a disk, a backup or an image read outside this machine. A device key that cannot be
# exported would need a TPM-backed CNG provider, which scripts in Windows PowerShell 5.1 cannot
# use without native code. Elsewhere (rehearsals, tests) the folder is 0700 and the file 0600.

$script:StoreFileName = 'state.json'
$script:StoreLockName = 'rotation.lock'
$script:StoreEntropy = [System.Text.Encoding]::ASCII.GetBytes('Velorin BIOS supervisor password')

function Test-VelorinWindows {
    return [System.Environment]::OSVersion.Platform -eq [System.PlatformID]::Win32NT
}

# ProgramData. Off Windows (rehearsals, tests) the ProgramData variable, when set, names the
# folder that stands for it; .NET's CommonApplicationData there is /usr/share.
function Get-VelorinDefaultStorePath {
    $programData = [System.Environment]::GetFolderPath('CommonApplicationData')
    if (-not (Test-VelorinWindows) -and $env:ProgramData) {
        $programData = $env:ProgramData
    }
    return Join-Path (Join-Path $programData 'Velorin') 'BiosPassword'
}

# SYSTEM and the built-in Administrators, full control, inherited by the files; nothing
# inherited from the parent (ProgramData lets users create folders).
function New-VelorinStoreSecurity {
    $security = New-Object System.Security.AccessControl.DirectorySecurity
    $security.SetAccessRuleProtection($true, $false)
    $inherit = [System.Security.AccessControl.InheritanceFlags]'ContainerInherit, ObjectInherit'
    foreach ($sid in 'S-1-5-18', 'S-1-5-32-544') {
        $identity = New-Object System.Security.Principal.SecurityIdentifier $sid
        $security.AddAccessRule((New-Object System.Security.AccessControl.FileSystemAccessRule (
                    $identity, 'FullControl', $inherit, 'None', 'Allow')))
    }
    $security.SetOwner((New-Object System.Security.Principal.SecurityIdentifier 'S-1-5-32-544'))
    return $security
}

# Creates the folder or takes an existing one in hand: its protection is set every time, so a
# folder made earlier by someone else does not keep that someone's access.
function Initialize-VelorinPasswordStore([string] $Path) {
    if (Test-VelorinWindows) {
        [void][System.IO.Directory]::CreateDirectory($Path)
        $info = New-Object System.IO.DirectoryInfo $Path
        if (($info.Attributes -band [System.IO.FileAttributes]::ReparsePoint) -ne 0) {
            throw "The password store '$Path' is a link; it must be a folder of its own."
        }
        Set-Acl -LiteralPath $Path -AclObject (New-VelorinStoreSecurity) -WhatIf:$false -Confirm:$false
        return
    }
    $folderMode = [System.IO.UnixFileMode]'UserRead, UserWrite, UserExecute'
    if (-not [System.IO.Directory]::Exists($Path)) {
        [void][System.IO.Directory]::CreateDirectory($Path, $folderMode)
    }
    if ((New-Object System.IO.DirectoryInfo $Path).LinkTarget) {
        throw "The password store '$Path' is a link; it must be a folder of its own."
    }
    [System.IO.File]::SetUnixFileMode($Path, $folderMode)
}

# The lock that makes a rotation the only one: a file held open without sharing until the
# returned stream is disposed. The process's end releases it, so a stopped rotation leaves none.
function Lock-VelorinPasswordStore([string] $Path) {
    $lockPath = Join-Path $Path $script:StoreLockName
    try {
        return New-Object System.IO.FileStream ($lockPath, [System.IO.FileMode]::OpenOrCreate,
            [System.IO.FileAccess]::ReadWrite, [System.IO.FileShare]::None)
    }
    catch [System.IO.IOException] {
        throw (New-Object System.IO.IOException (
                "Another rotation of the BIOS password is running: the password store '$Path' is locked.", $_.Exception))
    }
}

function Protect-VelorinStoredPassword([System.Security.SecureString] $Password) {
    if (-not $Password) {
        return $null
    }
    $bytes = [System.Text.Encoding]::UTF8.GetBytes((ConvertFrom-VelorinSecureString -SecureString $Password))
    try {
        if (Test-VelorinWindows) {
            $bytes = [System.Security.Cryptography.ProtectedData]::Protect($bytes, $script:StoreEntropy, 'LocalMachine')
        }
        return [System.Convert]::ToBase64String($bytes)
    }
    finally {
        [System.Array]::Clear($bytes, 0, $bytes.Length)
    }
}

function Unprotect-VelorinStoredPassword([string] $Text, [string] $Protection) {
    if (-not $Text) {
        return $null
    }
    $bytes = [System.Convert]::FromBase64String($Text)
    if ($Protection -eq 'dpapi-localmachine') {
        $bytes = [System.Security.Cryptography.ProtectedData]::Unprotect($bytes, $script:StoreEntropy, 'LocalMachine')
    }
    elseif ($Protection -ne 'file-mode') {
        throw "The password store is protected by '$Protection', which this system cannot open."
    }
    $password = New-Object System.Security.SecureString
    foreach ($character in [System.Text.Encoding]::UTF8.GetChars($bytes)) {
        $password.AppendChar($character)
    }
    [System.Array]::Clear($bytes, 0, $bytes.Length)
    $password.MakeReadOnly()
    return $password
}

# The store's state: Current and Pending (SecureStrings or null), PendingSequence, Sequence
# (the last number given to a record), Rotated (UTC time of the last completed rotation), and
# the escrow records of the current and the pending password (sealed already, so kept as they
# are) for the detection to show.
function New-VelorinStoreState {
    return [pscustomobject]@{
        Sequence = [long]0; Rotated = $null; Current = $null; Pending = $null; PendingSequence = [long]0
        Record = $null; PendingRecord = $null
    }
}

function Read-VelorinPasswordStore([string] $Path) {
    $file = Join-Path $Path $script:StoreFileName
    if (-not [System.IO.File]::Exists($file)) {
        return New-VelorinStoreState
    }
    $saved = [System.IO.File]::ReadAllText($file) | ConvertFrom-Json
    $state = New-VelorinStoreState
    $state.Sequence = [long]$saved.sequence
    if ($saved.rotated) {
        $state.Rotated = ConvertTo-VelorinUtcTime $saved.rotated
    }
    $state.Current = Unprotect-VelorinStoredPassword $saved.current $saved.protection
    $state.Pending = Unprotect-VelorinStoredPassword $saved.pending $saved.protection
    $state.PendingSequence = [long]$saved.pendingSequence
    foreach ($name in 'record', 'pendingRecord') {
        if ($saved.PSObject.Properties[$name] -and $saved.$name) {
            $state.$name = [string]$saved.$name
        }
    }
    return $state
}

function ConvertTo-VelorinStoreText([object] $State) {
    $protection = 'file-mode'
    if (Test-VelorinWindows) {
        $protection = 'dpapi-localmachine'
    }
    $rotated = ''
    if ($State.Rotated) {
        $rotated = $State.Rotated.ToUniversalTime().ToString('yyyy-MM-ddTHH:mm:ssZ', [System.Globalization.CultureInfo]::InvariantCulture)
    }
    return ConvertTo-VelorinJsonObject ([ordered]@{
            version         = 1
            protection      = $protection
            sequence        = [long]$State.Sequence
            rotated         = $rotated
            current         = [string](Protect-VelorinStoredPassword $State.Current)
            pending         = [string](Protect-VelorinStoredPassword $State.Pending)
            pendingSequence = [long]$State.PendingSequence
            record          = [string]$State.Record
            pendingRecord   = [string]$State.PendingRecord
        })
}

# Written beside the store file, flushed to the disk, then put in its place in one step: a
# power loss leaves the old state or the new one, never half of one.
function Write-VelorinPasswordStore([string] $Path, [object] $State) {
    $file = Join-Path $Path $script:StoreFileName
    $temporary = Join-Path $Path ('.{0}.{1}' -f $script:StoreFileName, [guid]::NewGuid().ToString('N'))
    $bytes = [System.Text.Encoding]::ASCII.GetBytes((ConvertTo-VelorinStoreText $State))
    try {
        $stream = New-Object System.IO.FileStream ($temporary, [System.IO.FileMode]::CreateNew, [System.IO.FileAccess]::Write, [System.IO.FileShare]::None)
        try {
            if (-not (Test-VelorinWindows)) {
                [System.IO.File]::SetUnixFileMode($temporary, [System.IO.UnixFileMode]'UserRead, UserWrite')
            }
            $stream.Write($bytes, 0, $bytes.Length)
            $stream.Flush($true)
        }
        finally {
            $stream.Dispose()
        }
        if ([System.IO.File]::Exists($file)) {
            [System.IO.File]::Replace($temporary, $file, [NullString]::Value)
        }
        else {
            [System.IO.File]::Move($temporary, $file)
        }
    }
    finally {
        [System.Array]::Clear($bytes, 0, $bytes.Length)
        if ([System.IO.File]::Exists($temporary)) {
            [System.IO.File]::Delete($temporary)
        }
    }
}
