# The tool's failures as error records that scripts can branch on (exit code, reason, category).

function Get-VelorinFailureReason {
    param([int] $ExitCode, [string] $Output)

    if ($ExitCode -eq 3) {
        return 'UnsupportedRevision'
    }
    # No ROOT\velorin namespace (WBEM_E_INVALID_NAMESPACE), or SMBIOS names another maker.
    if ($ExitCode -eq 12 -and ($Output -match 'ConnectServer error, hr=8004100E' -or
            $Output.Contains('System manufacturer is not valid'))) {
        return 'NotVelorin'
    }
    return 'ToolFailed'
}

function Get-VelorinToolErrorMessage {
    param([int] $ExitCode, [string] $Output)

    $report = [regex]::Match($Output, 'Return Code : (\d+) Error Message : ([^\r\n]*)')
    if ($report.Success) {
        return $report.Groups[2].Value
    }
    return "VelorinBiosConfigTool ended with exit code $ExitCode"
}

function New-VelorinToolError {
    param([int] $ExitCode, [string] $Output, [string] $Target, [string] $Message)

    $message = $Message
    if (-not $message) {
        $message = Get-VelorinToolErrorMessage -ExitCode $ExitCode -Output $Output
    }
    $reason = Get-VelorinFailureReason -ExitCode $ExitCode -Output $Output
    $exception = New-Object VelorinBiosToolException ($message, $ExitCode, $Output, $reason)
    # Also where a caller cannot name the module's exception type (a remote or other runspace).
    $exception.Data['ExitCode'] = $ExitCode
    $exception.Data['Reason'] = $reason
    $category = 'InvalidOperation'
    if ($reason -eq 'NotVelorin') {
        $category = 'NotInstalled'
    }
    elseif ($reason -eq 'UnsupportedRevision') {
        $category = 'NotImplemented'
    }
    elseif ($ExitCode -eq 2) {
        $category = 'AuthenticationError'
    }
    elseif ($ExitCode -in 4, 5, 6, 9) {
        $category = 'InvalidData'
    }
    elseif ($ExitCode -in 7, 8) {
        $category = 'ObjectNotFound'
    }
    return New-Object System.Management.Automation.ErrorRecord (
        $exception, "VelorinBiosTool$ExitCode", $category, $Target)
}
