# Recovery from escrow records: finding them and their applied lines among other lines and
# files, choosing each device's record, and opening it.

# A record file is one line of about 2 KB; the files of a share are read only up to this size,
# so that a huge or endless file cannot hold a recovery up.
$script:RecordFileLimit = 64KB

# Why a file of a folder of records is not read, or nothing: only regular files of at most
# RecordFileLimit bytes are (a named pipe or a device would block the read).
function Get-VelorinRecordFileFlaw([string] $Path) {
    $item = Get-Item -LiteralPath $Path -Force
    if (($item.Attributes -band ([System.IO.FileAttributes]::ReparsePoint -bor [System.IO.FileAttributes]::Device)) -ne 0) {
        return 'it is not a regular file'
    }
    if ($item.PSObject.Properties['UnixStat'] -and $item.UnixStat -and [string]$item.UnixStat.ItemType -ne 'File') {
        return 'it is not a regular file'
    }
    if ($item.Length -gt $script:RecordFileLimit) {
        return "it is larger than $($script:RecordFileLimit) bytes"
    }
    return $null
}

# The record files behind the paths given: files as they are, the files of folders; anything
# else is passed over with a warning.
function Get-VelorinRecordFile {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string[]] $Path)

    foreach ($item in $Path) {
        $resolved = $Cmdlet.GetUnresolvedProviderPathFromPSPath($item)
        if ([System.IO.Directory]::Exists($resolved)) {
            $files = [System.IO.Directory]::GetFiles($resolved) | Sort-Object
        }
        elseif ([System.IO.File]::Exists($resolved)) {
            $files = @($resolved)
        }
        else {
            $exception = New-Object System.IO.FileNotFoundException "The record file or folder '$resolved' does not exist."
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $exception, 'VelorinEscrowPathNotFound', 'ObjectNotFound', $resolved)))
            continue
        }
        foreach ($file in $files) {
            $flaw = Get-VelorinRecordFileFlaw $file
            if ($flaw) {
                $Cmdlet.WriteWarning("The file '$file' is passed over: $flaw.")
                continue
            }
            $file
        }
    }
}

# The text of a record file, read to RecordFileLimit at most (a file may grow after its size
# was looked at).
function Read-VelorinRecordFile([string] $Path) {
    $stream = New-Object System.IO.FileStream ($Path, [System.IO.FileMode]::Open, [System.IO.FileAccess]::Read, [System.IO.FileShare]::ReadWrite)
    try {
        $buffer = New-Object byte[] $script:RecordFileLimit
        $total = 0
        while ($total -lt $buffer.Length) {
            $read = $stream.Read($buffer, $total, $buffer.Length - $total)
            if ($read -eq 0) {
                break
            }
            $total += $read
        }
        return $script:Latin1.GetString($buffer, 0, $total)
    }
    finally {
        $stream.Dispose()
    }
}

# What has been found so far: the records (each once) and the keys of the applied lines.
function New-VelorinFoundRecords {
    return [pscustomobject]@{
        Records = New-Object System.Collections.Generic.List[object]
        Applied = New-Object 'System.Collections.Generic.HashSet[string]'
    }
}

function Get-VelorinRecordKey([object] $Parsed) {
    return '{0}|{1}|{2}' -f $Parsed.SerialNumber, $Parsed.Uuid, $Parsed.Sequence
}

# Adds each record and applied line a text holds; one that cannot be read is passed over with
# a warning naming where it stood.
function Add-VelorinFoundRecord {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Line, [string] $Source, [object] $Found)

    if (-not $Line) {
        return
    }
    foreach ($type in $script:EscrowRecordType, $script:AppliedRecordType) {
        foreach ($text in (Find-VelorinEscrowRecordText $Line $type)) {
            try {
                $parsed = ConvertFrom-VelorinEscrowRecord $text $type
            }
            catch {
                $Cmdlet.WriteWarning("A record in $Source is passed over: $(Get-VelorinErrorText $_)")
                continue
            }
            if ($type -eq $script:AppliedRecordType) {
                [void]$Found.Applied.Add((Get-VelorinRecordKey $parsed))
            }
            elseif (-not ($Found.Records | Where-Object { $_.Record -ceq $text })) {
                $parsed.Source = $Source
                $Found.Records.Add($parsed)
            }
        }
    }
}

function Open-VelorinRecoveredPassword {
    param(
        [object] $Parsed,
        [System.Security.Cryptography.X509Certificates.X509Certificate2Collection] $Keys,
        [string] $Status,
        [switch] $AsPlainText
    )

    try {
        $password = Open-VelorinEscrowRecord -Parsed $Parsed -Certificate $Keys
    }
    catch {
        $message = 'The record {0} of {1} ({2}) in {3} cannot be opened: {4}' -f $Parsed.Sequence, $Parsed.SerialNumber, $Parsed.Uuid, $Parsed.Source, (Get-VelorinErrorText $_)
        throw (New-Object System.Security.Cryptography.CryptographicException ($message, $_.Exception))
    }
    if ($AsPlainText) {
        $password = ConvertFrom-VelorinSecureString -SecureString $password
    }
    return [pscustomobject]@{
        PSTypeName   = 'Velorin.BiosPasswordRecovery'
        SerialNumber = $Parsed.SerialNumber
        Uuid         = $Parsed.Uuid
        Sequence     = $Parsed.Sequence
        Time         = $Parsed.Time
        Status       = $Status
        Password     = $password
    }
}

# The passwords of one device's records: with All every record, latest first; else the latest
# applied record (the latest record when none was confirmed), saying which later ones were
# never confirmed. A record that cannot be opened is passed over with a warning while another
# one serves; when none does, each failure is an error.
function Get-VelorinDevicePassword {
    param(
        [System.Management.Automation.PSCmdlet] $Cmdlet,
        [object[]] $Record,
        [object] $Found,
        [System.Security.Cryptography.X509Certificates.X509Certificate2Collection] $Keys,
        [switch] $AsPlainText,
        [switch] $All
    )

    $records = @($Record | Sort-Object Sequence -Descending)
    $anyApplied = @($records | Where-Object { $Found.Applied.Contains((Get-VelorinRecordKey $_)) }).Count -gt 0
    $failures = New-Object System.Collections.Generic.List[object]
    $later = New-Object System.Collections.Generic.List[object]
    $served = $false
    foreach ($parsed in $records) {
        $status = 'NotConfirmed'
        if ($Found.Applied.Contains((Get-VelorinRecordKey $parsed))) {
            $status = 'Applied'
        }
        if (-not $All -and $anyApplied -and $status -ne 'Applied') {
            $later.Add($parsed)
            continue
        }
        try {
            Open-VelorinRecoveredPassword -Parsed $parsed -Keys $Keys -Status $status -AsPlainText:$AsPlainText
            $served = $true
        }
        catch {
            $failures.Add($_)
            continue
        }
        if (-not $All) {
            break
        }
    }
    foreach ($failure in $failures) {
        if ($served) {
            $Cmdlet.WriteWarning("Passed over: $($failure.Exception.Message)")
        }
        else {
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $failure.Exception, 'VelorinEscrowRecordNotOpened', 'SecurityError', $records[0].SerialNumber)))
        }
    }
    foreach ($parsed in $later) {
        $warning = ("The record {0} of {1} ({2}) in {3} was never confirmed as applied: its rotation failed or was " +
            'cut off; if the firmware refuses the password returned, try that record (-All lists every record).') -f
        $parsed.Sequence, $parsed.SerialNumber, $parsed.Uuid, $parsed.Source
        $Cmdlet.WriteWarning($warning)
    }
}
