# Passwords as the tool takes them: bytes on its standard input, printable ASCII only.

# The password as the tool reads it from standard input: its bytes and a line feed.
function ConvertTo-VelorinPasswordInput {
    param([System.Security.SecureString] $Password)

    $plain = ConvertFrom-VelorinSecureString -SecureString $Password
    return $script:Latin1.GetBytes($plain + "`n")
}

function ConvertFrom-VelorinSecureString {
    param([System.Security.SecureString] $SecureString)

    $pointer = [System.Runtime.InteropServices.Marshal]::SecureStringToBSTR($SecureString)
    try {
        return [System.Runtime.InteropServices.Marshal]::PtrToStringBSTR($pointer)
    }
    finally {
        [System.Runtime.InteropServices.Marshal]::ZeroFreeBSTR($pointer)
    }
}

# A firmware setup screen reads the scancodes of a US keyboard, so a password holding any other
# character could be set through the provider but never typed at the machine itself; and the
# command line carries it in the ANSI code page (UTF-8 elsewhere) while standard input carries
# bytes, so the same text would reach the firmware as two different passwords. Refused before
# anything runs, without quoting it.
function Assert-VelorinNewPassword {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [AllowEmptyString()] [string] $Password
    )

    if ($Password -cmatch '^[\x20-\x7E]*\z') {
        return
    }
    $exception = New-Object System.ArgumentException (
        'The new password may hold only printable ASCII characters (letters, digits, blanks and the punctuation of a US keyboard): the BIOS setup screen can take no others.')
    $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                $exception, 'VelorinBiosPasswordNotAscii', 'InvalidArgument', $null)))
}
