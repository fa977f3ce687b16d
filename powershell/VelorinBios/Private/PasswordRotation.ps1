# The steps of a rotation on the firmware, each one run of the tool with every password on its
# standard input. A step that is cut off leaves the firmware with the store's current or its
# pending password, and the escrow already holds a record of the pending one.

# What the errors of these steps concern.
$script:SupervisorTarget = 'BIOS supervisor password'
# What -WhatIf and -Confirm say a rotation does.
$script:RotationOperation = 'Set a new random password and escrow it'

function New-VelorinEmptyPassword {
    $empty = New-Object System.Security.SecureString
    $empty.MakeReadOnly()
    return $empty
}

# The bytes of several passwords, one line each, in the order the tool reads them.
function Join-VelorinPasswordInput([System.Security.SecureString[]] $Password) {
    $bytesSoFar = New-Object System.Collections.Generic.List[byte]
    foreach ($secret in $Password) {
        [byte[]] $bytes = ConvertTo-VelorinPasswordInput -Password $secret
        $bytesSoFar.AddRange($bytes)
        [System.Array]::Clear($bytes, 0, $bytes.Length)
    }
    $joined = $bytesSoFar.ToArray()
    $bytesSoFar.Clear()
    return , $joined
}

# Whether the firmware accepts Password as its supervisor password (the empty one: whether it
# has none). Only a plain yes or no comes back; anything else ends the command.
function Test-VelorinSupervisorPassword {
    param([PSTypeName('Velorin.ToolContext')] $Context, [System.Security.SecureString] $Password)

    $folder = New-VelorinWorkFolder
    try {
        $run = Invoke-VelorinTool -Context $Context -WorkingDirectory $folder -Arguments @('/VerifyPassword', '/pwstdin') -Target $script:SupervisorTarget `
            -StandardInput (Join-VelorinPasswordInput $Password) -AcceptedExitCode 0, 2
        return $run.ExitCode -eq 0
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# Runs one change command with the passwords on standard input and returns the run whatever
# its exit code: the caller asks the firmware what it holds afterwards.
function Invoke-VelorinSupervisorChange {
    param([PSTypeName('Velorin.ToolContext')] $Context, [string[]] $Arguments, [System.Security.SecureString[]] $Password)

    $folder = New-VelorinWorkFolder
    try {
        return Invoke-VelorinTool -Context $Context -WorkingDirectory $folder -Arguments $Arguments -Target $script:SupervisorTarget `
            -StandardInput (Join-VelorinPasswordInput $Password) -AcceptedExitCode (0..255)
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# The password the firmware should hold now: the one given, else the store's, else none.
function Get-VelorinKnownPassword([object] $State, [System.Security.SecureString] $Password) {
    if ($Password) {
        return $Password
    }
    if ($State.Current) {
        return $State.Current
    }
    return New-VelorinEmptyPassword
}

# The pending password (and its record) becomes the current one, confirmed by the line that
# says so.
function Save-VelorinPendingAsCurrent([string] $StorePath, [object] $State) {
    $State.Current = $State.Pending
    $State.Record = $State.PendingRecord
    $State.CurrentSequence = $State.PendingSequence
    $State.Rotated = [datetime]::UtcNow
    $State.Applied = $null
    if ($State.Record) {
        $State.Applied = New-VelorinAppliedRecord (ConvertFrom-VelorinEscrowRecord $State.Record) $State.Rotated
    }
    $State.Pending = $null
    $State.PendingRecord = $null
    Write-VelorinPasswordStore $StorePath $State
}

function Undo-VelorinStoreRotation([string] $StorePath, [object] $State) {
    $State.Pending = $null
    $State.PendingRecord = $null
    Write-VelorinPasswordStore $StorePath $State
}

# The store without any password, as a completed removal leaves it; only the last sequence
# number stays, so that no record number is used twice.
function Clear-VelorinStoreState([string] $StorePath, [object] $State) {
    $State.Current = $null
    $State.Pending = $null
    $State.Rotated = $null
    $State.Record = $null
    $State.PendingRecord = $null
    $State.Applied = $null
    $State.CurrentSequence = [long]0
    $State.PendingRemoval = $false
    Write-VelorinPasswordStore $StorePath $State
}

# A removal that was cut off: the firmware has no password (it went through: the store forgets
# its passwords) or still has one (it did not: the store keeps them).
function Complete-VelorinPendingRemoval([PSTypeName('Velorin.ToolContext')] $Context, [string] $StorePath, [object] $State) {
    $none = New-VelorinEmptyPassword
    if (Test-VelorinSupervisorPassword -Context $Context -Password $none) {
        Write-Verbose 'The firmware has no supervisor password: the cut-off removal is completed.'
        Clear-VelorinStoreState $StorePath $State
        return $true
    }
    Write-Verbose 'The firmware kept its supervisor password: the cut-off removal is dropped.'
    $State.PendingRemoval = $false
    Write-VelorinPasswordStore $StorePath $State
    return $false
}

# A rotation that was cut off: the firmware holds the pending password (the change went
# through: make it current) or the known one (it did not: drop the pending one), or none at all
# (someone removed it: drop the pending one too). Neither is an error that leaves the store as it
# is, so no password is ever forgotten. A cut-off removal is resolved first.
function Complete-VelorinPendingRotation {
    param([PSTypeName('Velorin.ToolContext')] $Context, [string] $StorePath, [object] $State, [System.Security.SecureString] $Known)

    if ($State.PendingRemoval -and (Complete-VelorinPendingRemoval -Context $Context -StorePath $StorePath -State $State)) {
        return New-VelorinEmptyPassword
    }
    if (-not $State.Pending) {
        return $Known
    }
    if (Test-VelorinSupervisorPassword -Context $Context -Password $State.Pending) {
        Write-Verbose "The firmware holds the pending password of record $($State.PendingSequence): the rotation is completed."
        Save-VelorinPendingAsCurrent $StorePath $State
        return $State.Current
    }
    $held = Find-VelorinFirmwarePassword -Context $Context -Known $Known
    if ($held) {
        Write-Verbose "The firmware did not take the pending password of record $($State.PendingSequence): it is dropped."
        Undo-VelorinStoreRotation $StorePath $State
        return $held
    }
    throw ("The firmware accepts neither the pending password of record {0} nor the current one; " +
        'give the password it holds with -Password (recover it from the escrow records).') -f $State.PendingSequence
}

# The password the firmware takes of Known and none (a firmware that never had a password, or
# lost it), or nothing. None is asked only after Known is refused, so that a firmware that holds
# Known sees no wrong attempt.
function Find-VelorinFirmwarePassword([PSTypeName('Velorin.ToolContext')] $Context, [System.Security.SecureString] $Known) {
    if (Test-VelorinSupervisorPassword -Context $Context -Password $Known) {
        return $Known
    }
    $none = New-VelorinEmptyPassword
    if ($Known.Length -gt 0 -and (Test-VelorinSupervisorPassword -Context $Context -Password $none)) {
        Write-Verbose 'The firmware has no supervisor password: it gets its first one.'
        return $none
    }
    return $null
}

# After a change that failed or could not be confirmed: drop the pending password when the
# firmware still holds the known one, and end with the reason.
function Undo-VelorinSupervisorChange {
    param([PSTypeName('Velorin.ToolContext')] $Context, [string] $StorePath, [object] $State, [System.Security.SecureString] $Known, [object] $Run)

    if (Test-VelorinSupervisorPassword -Context $Context -Password $Known) {
        Undo-VelorinStoreRotation $StorePath $State
        $kept = 'the firmware kept its password'
    }
    else {
        $kept = 'the firmware accepts neither password; the pending one stays in the store for the next run'
    }
    if ($Run.ExitCode -ne 0) {
        $toolError = New-VelorinToolError -ExitCode $Run.ExitCode -Output $Run.Output -Target $script:SupervisorTarget
        throw (New-Object System.InvalidOperationException (
                "The password change failed ($($toolError.Exception.Message), exit code $($Run.ExitCode)); $kept.", $toolError.Exception))
    }
    throw "The firmware does not accept the new password after the change; $kept."
}

# The device's identity for its records: given, or the SMBIOS serial number and UUID from CIM
# (Windows; elsewhere where a stand-in serves it). A serial number the board left blank or as a
# placeholder is kept as it is: the UUID tells the device's records apart.
function Get-VelorinDeviceIdentity([string] $SerialNumber, [string] $Uuid) {
    if ((-not $SerialNumber -or -not $Uuid) -and (Get-Command -Name Get-CimInstance -ErrorAction SilentlyContinue)) {
        if (-not $SerialNumber) {
            $SerialNumber = [string](Get-CimInstance -ClassName Win32_BIOS).SerialNumber
        }
        if (-not $Uuid) {
            $Uuid = [string](Get-CimInstance -ClassName Win32_ComputerSystemProduct).UUID
        }
    }
    $unknownSerial = -not $SerialNumber -and -not (Test-VelorinWindows)
    if ([string]::IsNullOrWhiteSpace($Uuid) -or $unknownSerial) {
        throw 'The serial number and the UUID of this device are unknown; give -SerialNumber and -Uuid.'
    }
    return [pscustomobject]@{ SerialNumber = ([string]$SerialNumber).Trim(); Uuid = $Uuid.Trim() }
}

# Refuses a parameter given as blank text, naming it.
function Assert-VelorinNotBlank([hashtable] $Bound, [string[]] $Name) {
    foreach ($parameter in $Name) {
        if ($Bound.ContainsKey($parameter) -and [string]::IsNullOrWhiteSpace([string]$Bound[$parameter])) {
            throw (New-Object System.ArgumentException ("-$parameter is blank; give a value or leave the parameter out.", $parameter))
        }
    }
}

# Runs Script with the store locked, on its state read and ArgumentList; the lock goes with the
# end of Script.
function Use-VelorinPasswordStore([string] $StorePath, [scriptblock] $Script, [object[]] $ArgumentList = @()) {
    Initialize-VelorinPasswordStore $StorePath
    $lock = Lock-VelorinPasswordStore $StorePath
    try {
        return & $Script (Read-VelorinPasswordStore $StorePath) @ArgumentList
    }
    finally {
        $lock.Dispose()
    }
}

# Runs UsePassword on the password the firmware holds by the store and ArgumentList: the store's
# current password, once a rotation that was cut off is completed or rolled back as the next
# rotation would do it. A store without a password gives UsePassword the password of Fallback
# (run on ArgumentList) instead, and a takeover that was cut off is resolved against it. The
# store stays locked while UsePassword runs, so that no rotation changes the password under it;
# a store that does not exist is not created.
function Use-VelorinStoredPassword {
    param(
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [string] $StorePath,
        [scriptblock] $Fallback,
        [scriptblock] $UsePassword,
        [object[]] $ArgumentList = @()
    )

    if (-not [System.IO.File]::Exists((Join-Path $StorePath $script:StoreFileName))) {
        return & $UsePassword (& $Fallback @ArgumentList) @ArgumentList
    }
    $request = @{ Context = $Context; StorePath = $StorePath; Fallback = $Fallback; UsePassword = $UsePassword; ArgumentList = $ArgumentList }
    Use-VelorinPasswordStore $StorePath {
        param($state, $request)
        Use-VelorinStoreStatePassword $state $request
    } @($request)
}

# Use-VelorinStoredPassword's work once the store is locked and its State read.
function Use-VelorinStoreStatePassword([object] $State, [hashtable] $Request) {
    $arguments = $Request.ArgumentList
    if (-not $State.Current -and -not $State.Pending) {
        return & $Request.UsePassword (& $Request.Fallback @arguments) @arguments
    }
    $known = $State.Current
    if (-not $known) {
        $known = & $Request.Fallback @arguments
    }
    $known = Complete-VelorinPendingRotation -Context $Request.Context -StorePath $Request.StorePath -State $State -Known $known
    return & $Request.UsePassword $known @arguments
}

# Steps (2) to (5) of a rotation, the store locked and read.
function Invoke-VelorinRotationStep([hashtable] $Rotation, [object] $State) {
    $context = $Rotation.Context
    $escrowPath = $Rotation['EscrowPath']
    $known = Get-VelorinKnownPassword $State $Rotation.Password
    # A cut-off rotation or removal is resolved by asking the firmware, so the password it leaves
    # is one the firmware has just accepted.
    if ($State.Pending -or $State.PendingRemoval) {
        $known = Complete-VelorinPendingRotation -Context $context -StorePath $Rotation.StorePath -State $State -Known $known
    }
    else {
        $known = Assert-VelorinKnownPassword -Context $context -Known $known
    }
    if ($escrowPath -and $State.Applied) {
        Add-VelorinAppliedFile $escrowPath $State
    }

    $new = New-VelorinRandomPassword -Length $Rotation.Length
    $sequence = Get-VelorinNextSequence $State.Sequence
    $record = New-VelorinEscrowRecord -SerialNumber $Rotation.Identity.SerialNumber -Uuid $Rotation.Identity.Uuid `
        -Sequence $sequence -Time ([datetime]::UtcNow) -Password $new -Certificate $Rotation.Certificates
    Assert-VelorinRecordKept $record $escrowPath
    $State.Sequence = $sequence
    $State.Pending = $new
    $State.PendingSequence = $sequence
    $State.PendingRecord = $record
    Write-VelorinPasswordStore $Rotation.StorePath $State
    $escrow = New-VelorinEscrowOutput -Record $record -EscrowPath $escrowPath
    Write-Verbose "Record $sequence is escrowed; changing the supervisor password."
    $escrow

    $run = Invoke-VelorinSupervisorChange -Context $context -Arguments @('/ChangeSupervisorPassword', '/newpwstdin', '/pwstdin') -Password $known, $new
    if ($run.ExitCode -ne 0 -or -not (Test-VelorinSupervisorPassword -Context $context -Password $new)) {
        Undo-VelorinSupervisorChange -Context $context -StorePath $Rotation.StorePath -State $State -Known $known -Run $run
    }
    Save-VelorinPendingAsCurrent $Rotation.StorePath $State
    # The object went out before the change; the confirmation is added to it now.
    $escrow.Applied = $State.Applied
    if ($escrowPath) {
        $escrow.AppliedFile = Write-VelorinAppliedFile $escrowPath (ConvertFrom-VelorinEscrowRecord $record) $State.Applied
    }
    Write-Verbose "Record $sequence is the firmware's supervisor password now."
}

# The confirmation of the current record on the share, where a run that completed a cut-off
# rotation (without the share) could not put it. It only adds to what the records say, so a
# share that refuses it does not stop the rotation.
function Add-VelorinAppliedFile([string] $EscrowPath, [object] $State) {
    try {
        [void](Write-VelorinAppliedFile $EscrowPath (ConvertFrom-VelorinEscrowRecord $State.Record) $State.Applied)
    }
    catch {
        Write-Warning "The confirmation of record $($State.CurrentSequence) is not on the escrow share: $(Get-VelorinErrorText $_)"
    }
}

# Without an escrow folder the record reaches the administrators only through the detection's
# output, which Intune keeps to 2,048 characters with the headline before the record: a longer
# record would be printed nowhere.
function Assert-VelorinRecordKept([string] $Record, [string] $EscrowPath) {
    $room = $script:SummaryLimit - $script:HeadlineRoom
    if (-not $EscrowPath -and $Record.Length -gt $room) {
        throw ("The escrow record has {0} characters; with the detection's headline that is more than the {1} that Intune keeps " +
            "of a script's output (at most {2} fit). Give fewer escrow certificates (or ones with shorter issuer names) or an " +
            'escrow folder with -EscrowPath.') -f $Record.Length, $script:SummaryLimit, $room
    }
}

# The object a rotation returns, once its record is on the escrow share when one is given.
# Applied (and AppliedFile) are filled in once the firmware took the password.
function New-VelorinEscrowOutput([string] $Record, [string] $EscrowPath) {
    $parsed = ConvertFrom-VelorinEscrowRecord $Record
    $file = $null
    if ($EscrowPath) {
        $file = Write-VelorinEscrowFile -Folder $EscrowPath -Parsed $parsed
    }
    return [pscustomobject]@{
        PSTypeName   = 'Velorin.BiosPasswordEscrow'
        SerialNumber = $parsed.SerialNumber
        Uuid         = $parsed.Uuid
        Sequence     = $parsed.Sequence
        Time         = $parsed.Time
        Recipients   = $parsed.Recipients
        EscrowFile   = $file
        Record       = $Record
        Applied      = $null
        AppliedFile  = $null
    }
}

# The password the firmware holds of Known and none; a firmware that takes neither ends the
# command.
function Assert-VelorinKnownPassword([PSTypeName('Velorin.ToolContext')] $Context, [System.Security.SecureString] $Known) {
    $held = Find-VelorinFirmwarePassword -Context $Context -Known $Known
    if (-not $held) {
        throw 'The firmware does not accept the password that the store holds (or -Password); give the current one with -Password.'
    }
    return $held
}

# The documented removal, an empty new password on the command line, with the current one on
# standard input; confirmed by the firmware accepting the empty password afterwards. The store
# records the removal before the firmware is touched, so that a removal cut off after the
# change is completed by the next run instead of leaving a password the firmware no longer has.
function Remove-VelorinSupervisorPassword([PSTypeName('Velorin.ToolContext')] $Context, [string] $StorePath, [object] $State, [System.Security.SecureString] $Known) {
    $none = New-VelorinEmptyPassword
    if (Test-VelorinSupervisorPassword -Context $Context -Password $none) {
        Write-Verbose 'The firmware has no supervisor password.'
        Clear-VelorinStoreState $StorePath $State
        return
    }
    if (-not (Test-VelorinSupervisorPassword -Context $Context -Password $Known)) {
        throw 'The firmware does not accept the password that the store holds (or -Password); give the current one with -Password.'
    }
    $State.PendingRemoval = $true
    Write-VelorinPasswordStore $StorePath $State
    $run = Invoke-VelorinSupervisorChange -Context $Context -Arguments @('/ChangeSupervisorPassword', '', '/pwstdin') -Password $Known
    if ($run.ExitCode -ne 0 -or -not (Test-VelorinSupervisorPassword -Context $Context -Password $none)) {
        $State.PendingRemoval = $false
        Write-VelorinPasswordStore $StorePath $State
        if ($run.ExitCode -ne 0) {
            $Context.Cmdlet.ThrowTerminatingError((New-VelorinToolError -ExitCode $run.ExitCode -Output $run.Output -Target $script:SupervisorTarget))
        }
        throw 'The firmware still has a supervisor password after its removal.'
    }
    Clear-VelorinStoreState $StorePath $State
}
