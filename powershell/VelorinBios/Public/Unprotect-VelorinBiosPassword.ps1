function Unprotect-VelorinBiosPassword {
    <#
    .SYNOPSIS
    Recovers BIOS supervisor passwords from escrow records.

    .DESCRIPTION
    Reads escrow records (the lines Reset-VelorinBiosPassword returns and the remediation
    script prints), opens their envelopes with an escrow certificate's private key and returns,
    for each device, the password of its latest record (the highest sequence number). Lines
    that hold no record are passed over, so the output of many remediations, or a CSV export of
    it, can be given as it is.

    After a rotation that failed, the latest record holds a password the firmware never got;
    the record before it holds the one it has. -All returns every record, latest first.

    A record whose identity inside the envelope differs from its identity outside is reported
    as an error: a record cannot be passed off as another device's.

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
        $found = New-Object System.Collections.Generic.List[object]
    }

    process {
        $lines = $Record
        if ($PSCmdlet.ParameterSetName -eq 'Path') {
            $lines = foreach ($file in (Get-VelorinRecordFile -Cmdlet $PSCmdlet -Path $Path)) {
                [System.IO.File]::ReadAllLines($file)
            }
        }
        foreach ($line in $lines) {
            Add-VelorinFoundRecord -Cmdlet $PSCmdlet -Line $line -Found $found
        }
    }

    end {
        foreach ($device in ($found | Group-Object SerialNumber, Uuid)) {
            $records = @($device.Group | Sort-Object Sequence -Descending)
            if (-not $All) {
                $records = @($records[0])
            }
            foreach ($parsed in $records) {
                Open-VelorinRecoveredPassword -Cmdlet $PSCmdlet -Parsed $parsed -Keys $keys -AsPlainText:$AsPlainText
            }
        }
    }
}
