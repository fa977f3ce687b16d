# The escrow of a device's supervisor password: random passwords, the escrow certificates, and
# the one-line record whose CMS envelope only the holders of those certificates' private keys
# can open (with this module or with openssl cms -decrypt).

# Letters and digits without the look-alikes 0 O o 1 l I: a technician types the password from
# a screen into a setup page that reads US-layout scancodes.
$script:PasswordAlphabet = 'ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789'
$script:EscrowRecordType = 'VelorinBiosPasswordEscrow'
$script:AppliedRecordType = 'VelorinBiosPasswordApplied'
$script:Aes256CbcOid = '2.16.840.1.101.3.4.1.42'
$script:PemCertificatePattern = '-----BEGIN CERTIFICATE-----([A-Za-z0-9+/=\s]+)-----END CERTIFICATE-----'

if (-not ('System.Security.Cryptography.Pkcs.EnvelopedCms' -as [type])) {
    # Windows PowerShell 5.1 keeps the CMS classes in an assembly of their own.
    Add-Type -AssemblyName System.Security
}

# Drawn byte by byte from the system's cryptographic source; bytes at or above the largest
# multiple of the alphabet's size are dropped so every character is equally likely.
function New-VelorinRandomPassword {
    param([ValidateRange(8, 20)] [int] $Length = 16)

    $alphabet = $script:PasswordAlphabet
    $limit = 256 - (256 % $alphabet.Length)
    $random = [System.Security.Cryptography.RandomNumberGenerator]::Create()
    $password = New-Object System.Security.SecureString
    $buffer = New-Object byte[] 64
    try {
        while ($password.Length -lt $Length) {
            $random.GetBytes($buffer)
            foreach ($value in $buffer) {
                if ($value -lt $limit -and $password.Length -lt $Length) {
                    $password.AppendChar($alphabet[$value % $alphabet.Length])
                }
            }
        }
    }
    finally {
        [System.Array]::Clear($buffer, 0, $buffer.Length)
        $random.Dispose()
    }
    $password.MakeReadOnly()
    return $password
}

# A JSON string as the record writes it: ASCII only, so that every reader and every output
# line (Intune keeps bytes of unknown encoding) sees the same text.
function ConvertTo-VelorinJsonString([string] $Text) {
    $json = New-Object System.Text.StringBuilder
    [void]$json.Append('"')
    foreach ($character in $Text.ToCharArray()) {
        $code = [int]$character
        if ($character -eq '"' -or $character -eq '\') {
            [void]$json.Append('\').Append($character)
        }
        elseif ($code -lt 0x20 -or $code -gt 0x7E) {
            [void]$json.Append(('\u{0:x4}' -f $code))
        }
        else {
            [void]$json.Append($character)
        }
    }
    return $json.Append('"').ToString()
}

# One JSON object from name and value pairs, in the order given: numbers stay numbers, arrays
# of strings become arrays, everything else a string.
function ConvertTo-VelorinJsonObject([System.Collections.Specialized.OrderedDictionary] $Fields) {
    $parts = foreach ($name in $Fields.Keys) {
        $value = $Fields[$name]
        if ($value -is [int] -or $value -is [long]) {
            $text = [string]$value
        }
        elseif ($value -is [array]) {
            $text = '[' + (($value | ForEach-Object { ConvertTo-VelorinJsonString $_ }) -join ',') + ']'
        }
        else {
            $text = ConvertTo-VelorinJsonString ([string]$value)
        }
        (ConvertTo-VelorinJsonString $name) + ':' + $text
    }
    return '{' + ($parts -join ',') + '}'
}

function New-VelorinEscrowError([string] $Message, [string] $Id, [string] $Category, [object] $Target) {
    $exception = New-Object System.InvalidOperationException $Message
    return New-Object System.Management.Automation.ErrorRecord ($exception, $Id, $Category, $Target)
}

# The DER bytes of the certificates in PEM text or a file of PEM or DER: every PEM block, so
# that certificates pasted together are all taken. A text with a private key is refused.
function Read-VelorinCertificateBytes([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Text) {
    if ([string]::IsNullOrWhiteSpace($Text)) {
        throw 'An escrow certificate (-EscrowCertificate) is empty; give a certificate file, PEM text or an X509Certificate2.'
    }
    if (-not $Text.Contains('-----BEGIN')) {
        $bytes = [System.IO.File]::ReadAllBytes($Cmdlet.GetUnresolvedProviderPathFromPSPath($Text))
        $Text = $script:Latin1.GetString($bytes)
        if (-not $Text.Contains('-----BEGIN')) {
            return , [byte[][]]@(, $bytes)
        }
    }
    if ($Text -match '-----BEGIN [A-Z ]*PRIVATE KEY-----') {
        throw 'An escrow certificate comes with a private key; give the device the public certificate only.'
    }
    $found = New-Object System.Collections.Generic.List[byte[]]
    foreach ($pem in [regex]::Matches($Text, $script:PemCertificatePattern)) {
        try {
            $found.Add([System.Convert]::FromBase64String(($pem.Groups[1].Value -replace '\s', '')))
        }
        catch {
            $found.Clear()
            break
        }
    }
    if ($found.Count -eq 0) {
        throw 'An escrow certificate is not a PEM certificate (-----BEGIN CERTIFICATE----- and its base64 text).'
    }
    return , $found.ToArray()
}

# Why a certificate is too weak to escrow to, or nothing: an RSA key below 2048 bits, outside
# its validity, or a key usage that does not allow key encipherment (which key transport is).
function Get-VelorinEscrowCertificateFlaw([System.Security.Cryptography.X509Certificates.X509Certificate2] $Certificate) {
    $key = [System.Security.Cryptography.X509Certificates.RSACertificateExtensions]::GetRSAPublicKey($Certificate)
    # The modulus tells the size on every runtime (PowerShell 7 sees no getter of KeySize on
    # some providers).
    $bits = $key.ExportParameters($false).Modulus.Length * 8
    $key.Dispose()
    if ($bits -lt 2048) {
        return "its RSA key has $bits bits, fewer than 2048"
    }
    $now = [datetime]::Now
    if ($Certificate.NotAfter -lt $now) {
        return "it expired on $($Certificate.NotAfter.ToUniversalTime().ToString('yyyy-MM-dd', [System.Globalization.CultureInfo]::InvariantCulture))"
    }
    if ($Certificate.NotBefore -gt $now) {
        return "it is not valid before $($Certificate.NotBefore.ToUniversalTime().ToString('yyyy-MM-dd', [System.Globalization.CultureInfo]::InvariantCulture))"
    }
    foreach ($extension in $Certificate.Extensions) {
        if ($extension -is [System.Security.Cryptography.X509Certificates.X509KeyUsageExtension] -and
            ($extension.KeyUsages -band [System.Security.Cryptography.X509Certificates.X509KeyUsageFlags]::KeyEncipherment) -eq 0) {
            return 'its key usage does not allow key encipherment'
        }
    }
    return $null
}

# One escrow certificate checked: public only, RSA, strong enough.
function Assert-VelorinEscrowCertificate {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [System.Security.Cryptography.X509Certificates.X509Certificate2] $Certificate)

    $name = "The escrow certificate '$($Certificate.Subject)' ($($Certificate.Thumbprint))"
    if ($Certificate.HasPrivateKey) {
        $Cmdlet.ThrowTerminatingError((New-VelorinEscrowError (
                    "$name comes with its private key; give the device the public certificate only.") `
                    'VelorinEscrowPrivateKey' 'SecurityError' $Certificate))
    }
    if ($Certificate.PublicKey.Oid.Value -ne '1.2.840.113549.1.1.1') {
        $Cmdlet.ThrowTerminatingError((New-VelorinEscrowError "$name has no RSA key." 'VelorinEscrowKeyType' 'InvalidArgument' $Certificate))
    }
    $flaw = Get-VelorinEscrowCertificateFlaw $Certificate
    if ($flaw) {
        $Cmdlet.ThrowTerminatingError((New-VelorinEscrowError "$name is refused: $flaw." 'VelorinEscrowCertificateWeak' 'SecurityError' $Certificate))
    }
}

# The escrow certificates from X509Certificate2 objects, PEM texts (each with one or more
# certificates) or paths of .cer files (DER or PEM), each checked, each once.
function Resolve-VelorinEscrowCertificate {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [object[]] $Certificate)

    $resolved = New-Object System.Collections.Generic.List[System.Security.Cryptography.X509Certificates.X509Certificate2]
    foreach ($given in $Certificate) {
        if ($given -is [System.Security.Cryptography.X509Certificates.X509Certificate2]) {
            $certificates = @($given)
        }
        else {
            $certificates = foreach ($der in (Read-VelorinCertificateBytes -Cmdlet $Cmdlet -Text ([string]$given))) {
                New-Object System.Security.Cryptography.X509Certificates.X509Certificate2 (, $der)
            }
        }
        foreach ($one in $certificates) {
            Assert-VelorinEscrowCertificate -Cmdlet $Cmdlet -Certificate $one
            if (-not ($resolved | Where-Object { $_.Thumbprint -eq $one.Thumbprint })) {
                $resolved.Add($one)
            }
        }
    }
    return , $resolved.ToArray()
}

# The record: outer identity in clear for sorting and routing, the same identity with the
# password inside the envelope so a record cannot be passed off as another device's.
function New-VelorinEscrowRecord {
    param(
        [string] $SerialNumber,
        [string] $Uuid,
        [long] $Sequence,
        [datetime] $Time,
        [System.Security.SecureString] $Password,
        [System.Security.Cryptography.X509Certificates.X509Certificate2[]] $Certificate
    )

    $plain = ConvertFrom-VelorinSecureString -SecureString $Password
    $inner = [ordered]@{ serialNumber = $SerialNumber; uuid = $Uuid; sequence = $Sequence; password = $plain }
    $content = [System.Text.Encoding]::UTF8.GetBytes((ConvertTo-VelorinJsonObject $inner))
    $plain = $null
    $inner = $null
    try {
        $envelope = New-VelorinEnvelope -Content $content -Certificate $Certificate
    }
    finally {
        [System.Array]::Clear($content, 0, $content.Length)
    }
    $outer = [ordered]@{
        type         = $script:EscrowRecordType
        version      = 1
        serialNumber = $SerialNumber
        uuid         = $Uuid
        sequence     = $Sequence
        time         = $Time.ToUniversalTime().ToString('yyyy-MM-ddTHH:mm:ssZ', [System.Globalization.CultureInfo]::InvariantCulture)
        recipients   = @($Certificate | ForEach-Object { $_.Thumbprint.ToUpperInvariant() })
        cms          = [System.Convert]::ToBase64String($envelope)
    }
    return ConvertTo-VelorinJsonObject $outer
}

# CMS EnvelopedData, content type data, AES-256-CBC, one key-transport recipient per
# certificate named by issuer and serial number: what openssl cms -decrypt reads.
function New-VelorinEnvelope([byte[]] $Content, [System.Security.Cryptography.X509Certificates.X509Certificate2[]] $Certificate) {
    $info = New-Object System.Security.Cryptography.Pkcs.ContentInfo (, $Content)
    $algorithm = New-Object System.Security.Cryptography.Pkcs.AlgorithmIdentifier (
        New-Object System.Security.Cryptography.Oid $script:Aes256CbcOid)
    $cms = New-Object System.Security.Cryptography.Pkcs.EnvelopedCms ($info, $algorithm)
    $recipients = New-Object System.Security.Cryptography.Pkcs.CmsRecipientCollection
    foreach ($recipient in $Certificate) {
        [void]$recipients.Add((New-Object System.Security.Cryptography.Pkcs.CmsRecipient (
                    [System.Security.Cryptography.Pkcs.SubjectIdentifierType]::IssuerAndSerialNumber, $recipient)))
    }
    $cms.Encrypt($recipients)
    return $cms.Encode()
}

# The records (or, with Type, the applied lines) in a text: lines as they are, or CSV fields
# that hold them (quotes doubled).
function Find-VelorinEscrowRecordText([string] $Text, [string] $Type = $script:EscrowRecordType) {
    if ($Text.Contains('{""type"":""' + $Type + '""')) {
        $Text = $Text.Replace('""', '"')
    }
    $pattern = '\{"type":"' + $Type + '"[^\r\n]*?"cms":"[A-Za-z0-9+/=]+"\}'
    if ($Type -ne $script:EscrowRecordType) {
        $pattern = '\{"type":"' + $Type + '"[^\r\n{}]*\}'
    }
    foreach ($match in [regex]::Matches($Text, $pattern)) {
        $match.Value
    }
}

# PowerShell 7 turns JSON date texts into dates; Windows PowerShell leaves them as text.
function ConvertTo-VelorinUtcTime([object] $Value) {
    if ($Value -is [datetime]) {
        return $Value.ToUniversalTime()
    }
    if ($Value -is [System.DateTimeOffset]) {
        return $Value.UtcDateTime
    }
    return [datetime]::ParseExact([string]$Value, 'yyyy-MM-ddTHH:mm:ssZ', [System.Globalization.CultureInfo]::InvariantCulture,
        ([System.Globalization.DateTimeStyles]::AssumeUniversal -bor [System.Globalization.DateTimeStyles]::AdjustToUniversal))
}

# The outer fields of a record line, without opening the envelope; with Type, of an applied
# line.
function ConvertFrom-VelorinEscrowRecord([string] $Record, [string] $Type = $script:EscrowRecordType) {
    $parsed = $Record | ConvertFrom-Json
    if ($parsed.type -ne $Type -or $parsed.version -ne 1) {
        throw "The record is not a version 1 $Type record."
    }
    $cms = ''
    $recipients = @()
    if ($Type -eq $script:EscrowRecordType) {
        $cms = [string]$parsed.cms
        $recipients = @($parsed.recipients)
    }
    return [pscustomobject]@{
        SerialNumber = [string]$parsed.serialNumber
        Uuid         = [string]$parsed.uuid
        Sequence     = [long]$parsed.sequence
        Time         = ConvertTo-VelorinUtcTime $parsed.time
        Recipients   = $recipients
        Cms          = $cms
        Record       = $Record
        Source       = $null
    }
}

# Opens the envelope of a parsed record with the certificates given (their private keys), or
# with the current user's and the machine's stores when none are given, and checks that the
# identity inside is the one outside.
function Open-VelorinEscrowRecord {
    param([object] $Parsed, [System.Security.Cryptography.X509Certificates.X509Certificate2Collection] $Certificate)

    $cms = New-Object System.Security.Cryptography.Pkcs.EnvelopedCms
    $cms.Decode([System.Convert]::FromBase64String($Parsed.Cms))
    if ($Certificate -and $Certificate.Count -gt 0) {
        $cms.Decrypt($Certificate)
    }
    else {
        $cms.Decrypt()
    }
    $content = $cms.ContentInfo.Content
    try {
        $inner = [System.Text.Encoding]::UTF8.GetString($content) | ConvertFrom-Json
    }
    finally {
        [System.Array]::Clear($content, 0, $content.Length)
    }
    if ([string]$inner.serialNumber -cne $Parsed.SerialNumber -or [string]$inner.uuid -cne $Parsed.Uuid -or
        [long]$inner.sequence -ne $Parsed.Sequence) {
        throw ("The record of {0} number {1} holds the identity of another record ({2}, {3}, number {4})." -f
            $Parsed.SerialNumber, $Parsed.Sequence, $inner.serialNumber, $inner.uuid, $inner.sequence)
    }
    $password = New-Object System.Security.SecureString
    foreach ($character in ([string]$inner.password).ToCharArray()) {
        $password.AppendChar($character)
    }
    $inner = $null
    $password.MakeReadOnly()
    return $password
}

# Serial numbers that boards leave as the maker's template; many devices share them.
$script:PlaceholderSerials = @('default string', 'to be filled by o.e.m.', 'system serial number', 'chassis serial number',
    'not specified', 'not applicable', 'none', 'n/a', 'na', 'invalid', '0', '0123456789', '123456789')

function Test-VelorinPlaceholderSerial([string] $SerialNumber) {
    $serial = $SerialNumber.Trim()
    return -not $serial -or $script:PlaceholderSerials -contains $serial.ToLowerInvariant() -or $serial -match '^(.)\1*$'
}

# The start of a device's file names on an escrow share: SERIAL_UUID, or the UUID alone where
# the serial number is a placeholder, so that no two devices share a name. Characters a file
# name cannot hold become underscores.
function Get-VelorinEscrowFileStem([object] $Parsed) {
    $stem = $Parsed.Uuid
    if (-not (Test-VelorinPlaceholderSerial $Parsed.SerialNumber)) {
        $stem = $Parsed.SerialNumber + '_' + $Parsed.Uuid
    }
    return $stem -replace '[^A-Za-z0-9._-]', '_'
}

# The number of a new record: above the last one the store gave and not below the time in
# hundredths of a second (yyyyMMddHHmmssff, UTC), so that a record sorts after every earlier one
# of the device also when the store was lost (a reinstalled PC) and the numbers would otherwise
# start again; a rotation takes far longer than a hundredth. Sixteen digits stay below 2^53, so
# readers that hold JSON numbers as doubles keep them exact.
function Get-VelorinNextSequence([long] $Last) {
    $now = [long][datetime]::UtcNow.ToString('yyyyMMddHHmmssff', [System.Globalization.CultureInfo]::InvariantCulture)
    return [System.Math]::Max($Last + 1, $now)
}

# The line that says the firmware took the password of a record (after /VerifyPassword
# accepted it): the record's identity and number, and the time.
function New-VelorinAppliedRecord([object] $Parsed, [datetime] $Time) {
    return ConvertTo-VelorinJsonObject ([ordered]@{
            type         = $script:AppliedRecordType
            version      = 1
            serialNumber = $Parsed.SerialNumber
            uuid         = $Parsed.Uuid
            sequence     = [long]$Parsed.Sequence
            time         = $Time.ToUniversalTime().ToString('yyyy-MM-ddTHH:mm:ssZ', [System.Globalization.CultureInfo]::InvariantCulture)
        })
}

# Writes Text as a new file of the share: created new, so that no name is ever written twice.
# A write that fails leaves no part of the file behind where it can remove it, and says which
# file and why.
function Write-VelorinShareFile([string] $Path, [string] $Text) {
    $bytes = [System.Text.Encoding]::ASCII.GetBytes($Text + "`n")
    $created = $false
    try {
        $stream = New-Object System.IO.FileStream ($Path, [System.IO.FileMode]::CreateNew, [System.IO.FileAccess]::Write, [System.IO.FileShare]::None)
        $created = $true
        try {
            Write-VelorinStreamBytes $stream $bytes
        }
        finally {
            $stream.Dispose()
        }
    }
    catch {
        $why = Get-VelorinErrorText $_
        if ($created) {
            try {
                [System.IO.File]::Delete($Path)
            }
            catch {
                $why += ' (and the part written could not be removed)'
            }
        }
        throw (New-Object System.IO.IOException ("The escrow file '$Path' could not be written: $why", $_.Exception))
    }
}

# The one place where bytes reach a share file, flushed to its disk.
function Write-VelorinStreamBytes([System.IO.Stream] $Stream, [byte[]] $Bytes) {
    $Stream.Write($Bytes, 0, $Bytes.Length)
    $Stream.Flush()
    if ($Stream -is [System.IO.FileStream]) {
        $Stream.Flush($true)
    }
}

# A record file on an escrow share: STEM-SEQUENCE.json.
function Write-VelorinEscrowFile([string] $Folder, [object] $Parsed) {
    $path = Join-Path $Folder ('{0}-{1}.json' -f (Get-VelorinEscrowFileStem $Parsed), $Parsed.Sequence)
    Write-VelorinShareFile $path $Parsed.Record
    return $path
}

# The applied line of a record beside it, STEM-SEQUENCE.applied.json. One that is there already
# (written by a run that was cut off after it) stays as it is.
function Write-VelorinAppliedFile([string] $Folder, [object] $Parsed, [string] $Applied) {
    $path = Join-Path $Folder ('{0}-{1}.applied.json' -f (Get-VelorinEscrowFileStem $Parsed), $Parsed.Sequence)
    if (-not [System.IO.File]::Exists($path)) {
        Write-VelorinShareFile $path $Applied
    }
    return $path
}
