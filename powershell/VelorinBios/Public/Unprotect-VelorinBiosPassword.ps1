function Unprotect-VelorinBiosPassword {
    <#
    .SYNOPSIS
    Recovers BIOS supervisor passwords from escrow records.

    .DESCRIPTION
    Reads escrow records (the lines Reset-VelorinBiosPassword returns and the remediation
    script prints), opens their envelopes with an escrow certificate's private key and returns,
    for each device, the password of its latest applied record: the highest sequence number
    among the records whose applied line (written once the firmware took the password) is
    among the input, or the latest record when no record of the device was confirmed. A later
    record that was never confirmed (its rotation failed or was cut off) is named in a
    warning. Lines that hold no record are passed over, so the output of many remediations, or
    a CSV export of it, can be given as it is. -All returns every record, latest first, each
    with its Status (Applied or NotConfirmed).

    A record whose identity inside the envelope differs from its identity outside, or whose
    envelope cannot be opened, is passed over with a warning naming its file while another
    record of the device serves, and is an error when none does: a record cannot be passed off
    as another device's. Of a folder only regular files of at most 64 KiB are read; others are
    passed over with a warning.

    .PARAMETER Record
    Lines that hold records, also from the pipeline (the Record property of
    Reset-VelorinBiosPassword's output binds to it).

    .PARAMETER Path
    Files of records, or folders whose files are read (an escrow share).

    .PARAMETER Certificate
    Escrow certificates with their private keys. By default a certificate of the current
    user's or the machine's Personal store that matches a recipient is used.

    .PARAMETER PfxPath
    A PFX file with an escrow certificate and its private key.

    .PARAMETER PfxPassword
    The PFX file's password.

    .PARAMETER AsPlainText
    Returns the password as plain text instead of a SecureString.

    .PARAMETER All
    Returns every record of each device, latest first, instead of the latest one.

    .EXAMPLE
    Unprotect-VelorinBiosPassword -Path \\server\BiosEscrow$ -PfxPath .\BiosEscrow.pfx -PfxPassword $pfx | Where-Object SerialNumber -eq 'PF3A1B2C'

    Recovers the password of one device from the escrow share.

    .EXAMPLE
    Import-Csv .\DeviceStatus.csv | ForEach-Object { $_.PSObject.Properties.Value } | Unprotect-VelorinBiosPassword -AsPlainText

    Recovers the passwords from an export of the detection outputs of the rotation scripts.

    .OUTPUTS
    Velorin.BiosPasswordRecovery
    #>
    [CmdletBinding(DefaultParameterSetName = 'Record')]
    [OutputType('Velorin.BiosPasswordRecovery')]
    param(
        [Parameter(Mandatory = $true, ParameterSetName = 'Record', ValueFromPipeline = $true, ValueFromPipelineByPropertyName = $true)]
        [AllowEmptyString()]
        [string[]] $Record,

        [Parameter(Mandatory = $true, ParameterSetName = 'Path')]
        [string[]] $Path,

        [System.Security.Cryptography.X509Certificates.X509Certificate2[]] $Certificate,

        [string] $PfxPath,

        [System.Security.SecureString] $PfxPassword,

        [switch] $AsPlainText,

        [switch] $All
    )

    begin {
        $keys = New-Object System.Security.Cryptography.X509Certificates.X509Certificate2Collection
        foreach ($key in @($Certificate)) {
            if ($key) {
                [void]$keys.Add($key)
            }
        }
        if ($PfxPath) {
            $pfx = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($PfxPath)
            if (-not $PfxPassword) {
                $PfxPassword = New-VelorinEmptyPassword
            }
            [void]$keys.Add((New-Object System.Security.Cryptography.X509Certificates.X509Certificate2 ($pfx, $PfxPassword)))
        }
        $found = New-VelorinFoundRecords
    }

    process {
        if ($PSCmdlet.ParameterSetName -eq 'Path') {
            foreach ($file in (Get-VelorinRecordFile -Cmdlet $PSCmdlet -Path $Path)) {
                Add-VelorinFoundRecord -Cmdlet $PSCmdlet -Line (Read-VelorinRecordFile $file) -Source "'$file'" -Found $found
            }
            return
        }
        foreach ($line in $Record) {
            Add-VelorinFoundRecord -Cmdlet $PSCmdlet -Line $line -Source 'the input' -Found $found
        }
    }

    end {
        foreach ($device in ($found.Records | Group-Object SerialNumber, Uuid)) {
            Get-VelorinDevicePassword -Cmdlet $PSCmdlet -Record $device.Group -Found $found -Keys $keys -AsPlainText:$AsPlainText -All:$All
        }
    }
}
