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

# SYSTEM and the built-in Administrators, full control (inherited by the files of a folder);
# nothing inherited from the parent (ProgramData lets users create folders).
function New-VelorinStoreSecurity([switch] $Folder) {
    if ($Folder) {
        $security = New-Object System.Security.AccessControl.DirectorySecurity
        $inherit = [System.Security.AccessControl.InheritanceFlags]'ContainerInherit, ObjectInherit'
    }
    else {
        $security = New-Object System.Security.AccessControl.FileSecurity
        $inherit = [System.Security.AccessControl.InheritanceFlags]::None
    }
    $security.SetAccessRuleProtection($true, $false)
    foreach ($sid in $script:StoreTrustees) {
        $identity = New-Object System.Security.Principal.SecurityIdentifier $sid
        $security.AddAccessRule((New-Object System.Security.AccessControl.FileSystemAccessRule (
                    $identity, 'FullControl', $inherit, 'None', 'Allow')))
    }
    $security.SetOwner((New-Object System.Security.Principal.SecurityIdentifier 'S-1-5-32-544'))
    return $security
}

# Takes the folder in hand before each use: one that someone else made or may enter is moved
# aside with anything in it, as is any file in it that is not the store's own (see
# PasswordStoreTrust.ps1); a missing folder is created and protected.
function Initialize-VelorinPasswordStore([string] $Path) {
    if ([System.IO.Directory]::Exists($Path)) {
        Assert-VelorinStoreTrusted $Path
    }
    if (-not [System.IO.Directory]::Exists($Path)) {
        [void][System.IO.Directory]::CreateDirectory($Path)
        Protect-VelorinStoreItem $Path
        # Anything created between the folder and its protection is not the store's.
        Assert-VelorinStoreTrusted $Path
        if (-not [System.IO.Directory]::Exists($Path)) {
            throw (New-Object System.IO.IOException (
                    "The password store '$Path' cannot be given its protection: the folder made for it was moved aside."))
        }
    }
}

# The lock that makes a rotation the only one: a file held open without sharing until the
# returned stream is disposed. The process's end releases it, so a stopped rotation leaves none.
function Lock-VelorinPasswordStore([string] $Path) {
    $lockPath = Join-Path $Path $script:StoreLockName
    try {
        $lock = New-Object System.IO.FileStream ($lockPath, [System.IO.FileMode]::OpenOrCreate,
            [System.IO.FileAccess]::ReadWrite, [System.IO.FileShare]::None)
    }
    catch [System.IO.IOException] {
        throw (New-Object System.IO.IOException (
                "Another rotation of the BIOS password is running: the password store '$Path' is locked.", $_.Exception))
    }
    # The lock holds nothing; it only must not look like someone else's file to the next check.
    # On Windows it has the folder's protection; elsewhere the umask's mode is narrowed.
    if (-not (Test-VelorinWindows)) {
        Protect-VelorinStoreItem $lockPath
    }
    return $lock
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

# The store's state: Current and Pending (SecureStrings or null), CurrentSequence and
# PendingSequence (their records' numbers), Sequence (the last number given to a record),
# Rotated (UTC time of the last completed rotation), the escrow records of the current and the
# pending password (sealed already, so kept as they are) and the line that confirms the current
# one as applied, for the detection to show; PendingRemoval while a removal of the password is
# under way.
function New-VelorinStoreState {
    return [pscustomobject]@{
        Sequence = [long]0; Rotated = $null; Current = $null; Pending = $null; PendingSequence = [long]0
        CurrentSequence = [long]0; Record = $null; PendingRecord = $null; Applied = $null; PendingRemoval = $false
    }
}

# The store file is small; anything larger is not one.
$script:StoreFileLimit = 64KB

function ConvertFrom-VelorinStoreText([string] $Text) {
    $saved = $Text | ConvertFrom-Json
    $state = New-VelorinStoreState
    $state.Sequence = [long]$saved.sequence
    if ($saved.rotated) {
        $state.Rotated = ConvertTo-VelorinUtcTime $saved.rotated
    }
    $state.Current = Unprotect-VelorinStoredPassword $saved.current $saved.protection
    $state.Pending = Unprotect-VelorinStoredPassword $saved.pending $saved.protection
    $state.PendingSequence = [long]$saved.pendingSequence
    foreach ($name in 'record', 'pendingRecord', 'applied') {
        if ($saved.PSObject.Properties[$name] -and $saved.$name) {
            $state.$name = [string]$saved.$name
        }
    }
    if ($saved.PSObject.Properties['currentSequence']) {
        $state.CurrentSequence = [long]$saved.currentSequence
    }
    elseif ($state.Record) {
        $state.CurrentSequence = (ConvertFrom-VelorinEscrowRecord $state.Record).Sequence
    }
    $state.PendingRemoval = $saved.PSObject.Properties['pendingRemoval'] -and [long]$saved.pendingRemoval -ne 0
    return $state
}

# The state of the store. A store file that cannot be read (cut short, repaired, sealed on
# another machine) is moved aside, never deleted, and the store starts afresh; with ReadOnly it
# is an error instead, so that looking at a store changes nothing.
function Read-VelorinPasswordStore([string] $Path, [switch] $ReadOnly) {
    $file = Join-Path $Path $script:StoreFileName
    if (-not [System.IO.File]::Exists($file)) {
        return New-VelorinStoreState
    }
    try {
        if ((New-Object System.IO.FileInfo $file).Length -gt $script:StoreFileLimit) {
            throw "it is larger than $($script:StoreFileLimit) bytes"
        }
        return ConvertFrom-VelorinStoreText ([System.IO.File]::ReadAllText($file))
    }
    catch {
        $why = Get-VelorinErrorText $_
        if ($ReadOnly) {
            throw "The password store '$file' cannot be read ($why); the next rotation moves it aside."
        }
    }
    Move-VelorinStoreItemAside $file 'unreadable' "it cannot be read ($why)"
    return New-VelorinStoreState
}

# The message of an error: a .NET method's own, not the call's wrapping of it.
function Get-VelorinErrorText([System.Management.Automation.ErrorRecord] $Failure) {
    $reason = $Failure.Exception
    if ($reason -is [System.Management.Automation.MethodInvocationException] -and $reason.InnerException) {
        $reason = $reason.InnerException
    }
    return $reason.Message
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
            currentSequence = [long]$State.CurrentSequence
            applied         = [string]$State.Applied
            pendingRemoval  = [int][bool]$State.PendingRemoval
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
        # The file's own protection is set, not left to the folder: a replace keeps the ACL of
        # the file it replaces. Elsewhere a new file is open to all by the umask, so the mode is
        # set before the password is in it; on Windows the ACL is set once the file is closed
        # (no handle may stand in the way), and it has the checked folder's meanwhile.
        $windows = Test-VelorinWindows
        try {
            if (-not $windows) {
                Protect-VelorinStoreItem $temporary
            }
            $stream.Write($bytes, 0, $bytes.Length)
            $stream.Flush($true)
        }
        finally {
            $stream.Dispose()
        }
        if ($windows) {
            Protect-VelorinStoreItem $temporary
        }
        if ([System.IO.File]::Exists($file)) {
            [System.IO.File]::Replace($temporary, $file, [NullString]::Value)
            Protect-VelorinStoreItem $file
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

# The store's status as Get-VelorinBiosPasswordStatus shows it; Store is a full path. A store
# that does not exist yet has no password.
function Get-VelorinStoreStatus([string] $Store) {
    $state = New-VelorinStoreState
    if ([System.IO.Directory]::Exists($Store)) {
        $state = Read-VelorinPasswordStore $Store -ReadOnly
    }
    return [pscustomobject]@{
        PSTypeName      = 'Velorin.BiosPasswordStatus'
        StorePath       = $Store
        HasPassword     = [bool]$state.Current
        LastRotation    = $state.Rotated
        Sequence        = $state.Sequence
        PendingRotation = [bool]$state.Pending
        PendingSequence = $(if ($state.Pending) { $state.PendingSequence } else { $null })
        CurrentSequence = $(if ($state.Current) { $state.CurrentSequence } else { $null })
        Record          = $state.Record
        Applied         = $state.Applied
        PendingRecord   = $state.PendingRecord
        PendingRemoval  = [bool]$state.PendingRemoval
    }
}
