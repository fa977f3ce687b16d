# Recovery from escrow records: finding them among other lines and files, and opening them.

# The files behind the paths given: files as they are, the files of folders.
function Get-VelorinRecordFile {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string[]] $Path)

    foreach ($item in $Path) {
        $resolved = $Cmdlet.GetUnresolvedProviderPathFromPSPath($item)
        if ([System.IO.Directory]::Exists($resolved)) {
            [System.IO.Directory]::GetFiles($resolved) | Sort-Object
        }
        elseif ([System.IO.File]::Exists($resolved)) {
            $resolved
        }
        else {
            $exception = New-Object System.IO.FileNotFoundException "The record file or folder '$resolved' does not exist."
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $exception, 'VelorinEscrowPathNotFound', 'ObjectNotFound', $resolved)))
        }
    }
}

# Adds each record a text holds, once; a record that cannot be read is an error.
function Add-VelorinFoundRecord {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Line, [System.Collections.Generic.List[object]] $Found)

    if (-not $Line) {
        return
    }
    foreach ($text in (Find-VelorinEscrowRecordText $Line)) {
        if (@($Found | Where-Object { $_.Record -ceq $text }).Count -gt 0) {
            continue
        }
        try {
            $Found.Add((ConvertFrom-VelorinEscrowRecord $text))
        }
        catch {
            $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                        $_.Exception, 'VelorinEscrowRecordInvalid', 'InvalidData', $text)))
        }
    }
}

function Open-VelorinRecoveredPassword {
    param(
        [System.Management.Automation.PSCmdlet] $Cmdlet,
        [object] $Parsed,
        [System.Security.Cryptography.X509Certificates.X509Certificate2Collection] $Keys,
        [switch] $AsPlainText
    )

    try {
        $password = Open-VelorinEscrowRecord -Parsed $Parsed -Certificate $Keys
    }
    catch {
        # A .NET method's failure comes wrapped in the call's; its own message is the one to show.
        $reason = $_.Exception
        if ($reason -is [System.Management.Automation.MethodInvocationException] -and $reason.InnerException) {
            $reason = $reason.InnerException
        }
        $message = 'The record {0} of {1} ({2}) cannot be opened: {3}' -f $Parsed.Sequence, $Parsed.SerialNumber, $Parsed.Uuid, $reason.Message
        $exception = New-Object System.Security.Cryptography.CryptographicException ($message, $reason)
        $Cmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                    $exception, 'VelorinEscrowRecordNotOpened', 'SecurityError', $Parsed.SerialNumber)))
        return
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
        Password     = $password
    }
}
