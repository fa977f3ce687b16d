# The escrow of a device's supervisor password: random passwords, the escrow certificates, and
# the one-line record whose CMS envelope only the holders of those certificates' private keys
# can open (with this module or with openssl cms -decrypt).

# Letters and digits without the look-alikes 0 O o 1 l I: a technician types the password from
# a screen into a setup page that reads US-layout scancodes.
$script:PasswordAlphabet = 'ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789'
$script:EscrowRecordType = 'VelorinBiosPasswordEscrow'
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

# The DER bytes of a certificate given as PEM text or as a file of PEM or DER.
function Read-VelorinCertificateBytes([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Text) {
    if (-not $Text.Contains('-----BEGIN')) {
        $bytes = [System.IO.File]::ReadAllBytes($Cmdlet.GetUnresolvedProviderPathFromPSPath($Text))
        $Text = $script:Latin1.GetString($bytes)
        if (-not $Text.Contains('-----BEGIN')) {
            return , $bytes
        }
    }
    $pem = [regex]::Match($Text, $script:PemCertificatePattern)
    $bytes = $null
    if ($pem.Success) {
        try {
            $bytes = [System.Convert]::FromBase64String(($pem.Groups[1].Value -replace '\s', ''))
        }
        catch {
            $bytes = $null
        }
    }
    if (-not $bytes) {
        throw 'An escrow certificate is not a PEM certificate (-----BEGIN CERTIFICATE----- and its base64 text).'
    }
    return , $bytes
}

# An escrow certificate from an X509Certificate2, PEM text, or the path of a .cer file (DER or
# PEM). A certificate with a private key is refused: the device must never hold one.
function Resolve-VelorinEscrowCertificate {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [object] $Certificate)

    if ($Certificate -is [System.Security.Cryptography.X509Certificates.X509Certificate2]) {
        $resolved = $Certificate
    }
    else {
        $resolved = New-Object System.Security.Cryptography.X509Certificates.X509Certificate2 (, (Read-VelorinCertificateBytes -Cmdlet $Cmdlet -Text ([string]$Certificate)))
    }
    if ($resolved.HasPrivateKey) {
        $Cmdlet.ThrowTerminatingError((New-VelorinEscrowError (
                    "The escrow certificate $($resolved.Thumbprint) comes with its private key; give the device the public certificate only.") `
                    'VelorinEscrowPrivateKey' 'SecurityError' $resolved))
    }
    if ($resolved.PublicKey.Oid.Value -ne '1.2.840.113549.1.1.1') {
        $Cmdlet.ThrowTerminatingError((New-VelorinEscrowError (
                    "The escrow certificate $($resolved.Thumbprint) has no RSA key.") 'VelorinEscrowKeyType' 'InvalidArgument' $resolved))
    }
    return $resolved
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

# The records in a text: lines as they are, or CSV fields that hold them (quotes doubled).
function Find-VelorinEscrowRecordText([string] $Text) {
    if ($Text.Contains('{""type"":""' + $script:EscrowRecordType + '""')) {
        $Text = $Text.Replace('""', '"')
    }
    $pattern = '\{"type":"' + $script:EscrowRecordType + '"[^\r\n]*?"cms":"[A-Za-z0-9+/=]+"\}'
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

# The outer fields of a record line, without opening the envelope.
function ConvertFrom-VelorinEscrowRecord([string] $Record) {
    $parsed = $Record | ConvertFrom-Json
    if ($parsed.type -ne $script:EscrowRecordType -or $parsed.version -ne 1) {
        throw "The record is not a version 1 $($script:EscrowRecordType) record."
    }
    return [pscustomobject]@{
        SerialNumber = [string]$parsed.serialNumber
        Uuid         = [string]$parsed.uuid
        Sequence     = [long]$parsed.sequence
        Time         = ConvertTo-VelorinUtcTime $parsed.time
        Recipients   = @($parsed.recipients)
        Cms          = [string]$parsed.cms
        Record       = $Record
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

# A record file on an escrow share: SERIAL-SEQUENCE.json, created new so that no name is ever
# written twice. Characters a file name cannot hold become underscores.
function Write-VelorinEscrowFile([string] $Folder, [object] $Parsed) {
    $name = ('{0}-{1}.json' -f ($Parsed.SerialNumber -replace '[^A-Za-z0-9._-]', '_'), $Parsed.Sequence)
    $path = Join-Path $Folder $name
    $bytes = [System.Text.Encoding]::ASCII.GetBytes($Parsed.Record + "`n")
    $stream = New-Object System.IO.FileStream ($path, [System.IO.FileMode]::CreateNew, [System.IO.FileAccess]::Write, [System.IO.FileShare]::None)
    try {
        $stream.Write($bytes, 0, $bytes.Length)
        $stream.Flush($true)
    }
    finally {
        $stream.Dispose()
    }
    return $path
}
