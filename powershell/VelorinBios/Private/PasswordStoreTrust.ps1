# Whether the password store may be used as it is. A standard user may create folders and files
# under ProgramData before the first rotation does; whatever such a user made or may read must
# not hold a password. So before each use the folder and every file in it are checked: owned by
# SYSTEM or the administrators (elsewhere: the user the store runs as) and granting no one else.
# What fails is moved aside (never deleted: it may hold the only copy of a password) and the
# store starts again from a folder of its own.

# The SIDs that may own and open the store on Windows: SYSTEM and the built-in Administrators.
$script:StoreTrustees = 'S-1-5-18', 'S-1-5-32-544'
# Names that moved-aside items get; such items are left where they are.
$script:StoreAsidePattern = '\.(untrusted|unreadable)-\d{17}$'

# The owner of an item of the store and those its entries admit: SIDs on Windows; elsewhere the
# owner's user name, and 'group' or 'others' for the bits that admit them.
function Get-VelorinStoreItemSecurity([string] $Path) {
    if (Test-VelorinWindows) {
        $acl = Get-Acl -LiteralPath $Path
        $sid = [System.Security.Principal.SecurityIdentifier]
        $grants = foreach ($rule in $acl.GetAccessRules($true, $true, $sid)) {
            if ($rule.AccessControlType -eq 'Allow') {
                $rule.IdentityReference.Value
            }
        }
        return [pscustomobject]@{ Owner = $acl.GetOwner($sid).Value; Grants = @($grants) }
    }
    $item = Get-Item -LiteralPath $Path -Force
    $mode = [int]$item.UnixFileMode
    $grants = @()
    if (($mode -band 0x38) -ne 0) {
        $grants += 'group'
    }
    if (($mode -band 0x7) -ne 0) {
        $grants += 'others'
    }
    return [pscustomobject]@{ Owner = $item.User; Grants = $grants }
}

function Get-VelorinStoreTrustees {
    if (Test-VelorinWindows) {
        return $script:StoreTrustees
    }
    return @([System.Environment]::UserName)
}

# Why an item of the store cannot be trusted, or nothing when it can.
function Get-VelorinStoreDistrust([string] $Path) {
    $info = New-Object System.IO.FileInfo $Path
    if (($info.Attributes -band [System.IO.FileAttributes]::ReparsePoint) -ne 0) {
        return 'it is a link'
    }
    try {
        $security = Get-VelorinStoreItemSecurity $Path
    }
    catch {
        return "its owner and entries cannot be read ($($_.Exception.Message))"
    }
    $trustees = Get-VelorinStoreTrustees
    if ($trustees -notcontains $security.Owner) {
        return "it is owned by $($security.Owner)"
    }
    foreach ($grant in $security.Grants) {
        if ($trustees -notcontains $grant) {
            return "it admits $grant"
        }
    }
    return $null
}

# Renames an item of the store to NAME.KIND-TIME beside itself, closes it to everyone but the
# store's trustees where it can, and says so.
function Move-VelorinStoreItemAside([string] $Path, [string] $Kind, [string] $Why) {
    $aside = '{0}.{1}-{2}' -f $Path, $Kind, [datetime]::UtcNow.ToString('yyyyMMddHHmmssfff', [System.Globalization.CultureInfo]::InvariantCulture)
    if ([System.IO.Directory]::Exists($Path)) {
        [System.IO.Directory]::Move($Path, $aside)
    }
    else {
        [System.IO.File]::Move($Path, $aside)
    }
    Write-Warning "The password store's '$Path' is moved aside to '$aside': $Why."
    try {
        Protect-VelorinStoreItem $aside
    }
    catch {
        Write-Warning "'$aside' could not be closed to others: $($_.Exception.Message)"
    }
}

# Gives an item of the store the protection the store sets: on Windows SYSTEM and
# Administrators only (inheritance cut, owner Administrators); elsewhere 0700 or 0600.
function Protect-VelorinStoreItem([string] $Path) {
    $folder = [System.IO.Directory]::Exists($Path)
    if (Test-VelorinWindows) {
        Set-Acl -LiteralPath $Path -AclObject (New-VelorinStoreSecurity -Folder:$folder) -WhatIf:$false -Confirm:$false
        return
    }
    $mode = [System.IO.UnixFileMode]'UserRead, UserWrite'
    if ($folder) {
        $mode = $mode -bor [System.IO.UnixFileMode]::UserExecute
    }
    [System.IO.File]::SetUnixFileMode($Path, $mode)
}

# Moves aside the folder or any file in it that cannot be trusted.
function Assert-VelorinStoreTrusted([string] $Path) {
    $why = Get-VelorinStoreDistrust $Path
    if ($why) {
        Move-VelorinStoreItemAside $Path 'untrusted' $why
        return
    }
    foreach ($file in [System.IO.Directory]::GetFileSystemEntries($Path)) {
        if ($file -match $script:StoreAsidePattern) {
            continue
        }
        $why = Get-VelorinStoreDistrust $file
        if ($why) {
            Move-VelorinStoreItemAside $file 'untrusted' $why
        }
    }
}
