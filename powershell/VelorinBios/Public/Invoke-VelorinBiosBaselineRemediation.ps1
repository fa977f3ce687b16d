function Invoke-VelorinBiosBaselineRemediation {
    <#
    .SYNOPSIS
    Sets a baseline on this machine for a remediation script.

    .DESCRIPTION
    Runs Set-VelorinBiosConfiguration -Force on the baseline with the supervisor password of
    this device: the current password of the store that Reset-VelorinBiosPassword keeps (a
    rotation that was cut off is completed or rolled back first, as the next rotation would),
    or, while the store holds none, the first line of PasswordFile. The store stays locked
    meanwhile. Returns a Velorin.FleetOutcome: State Remediated, NotApplicable or Failed, a
    Summary of at most 2,048 characters and RebootRequired. An entry that cannot be met makes
    it Failed, naming the entry (the rest is set and saved all the same); so does a baseline
    of which no entry applies. A baseline that contradicts itself (an item named again with
    another option, a block that marks two options) is Failed before anything is set.
    With -WhatIf, or -Confirm answered No, it names the baseline, this machine and the store,
    changes nothing (a cut-off rotation stays as it is), runs no tool and returns no outcome.

    .PARAMETER Baseline
    The baseline's text: blocks as Export-VelorinBiosConfiguration writes them.

    .PARAMETER BaselinePath
    A baseline file, used instead of Baseline.

    .PARAMETER PasswordFile
    A file whose first line is the supervisor password, for a device whose store holds none.

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .PARAMETER ToolPath
    Handed to Set-VelorinBiosConfiguration.

    .PARAMETER MachineFile
    Handed to Set-VelorinBiosConfiguration.

    .EXAMPLE
    Invoke-VelorinBiosBaselineRemediation -Baseline $Baseline -PasswordFile $PasswordFile
    #>
    [CmdletBinding(SupportsShouldProcess = $true, ConfirmImpact = 'Medium')]
    [Alias('Invoke-VelorinBaselineRemediation')]
    param([string] $Baseline, [string] $BaselinePath, [string] $PasswordFile, [string] $StorePath, [string] $ToolPath, [string] $MachineFile)

    try {
        if (-not $StorePath) {
            $StorePath = Get-VelorinDefaultStorePath
        }
        $store = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($StorePath)
        $operation = 'Set the baseline given'
        if ($BaselinePath) {
            $operation = "Set the baseline file '$BaselinePath'"
        }
        # Asked before the store is opened: completing a cut-off rotation is a change too.
        if (-not $PSCmdlet.ShouldProcess((Get-VelorinRemediationTarget 'BIOS settings' $store), $operation)) {
            return
        }
        # Refused before the store is opened: completing a cut-off rotation is a change too.
        $path = $null
        if ($BaselinePath) {
            $path = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($BaselinePath)
        }
        $conflicts = Find-VelorinBaselineConflict -Text (Get-VelorinBaselineText $Baseline $path)
        if ($conflicts.Count -gt 0) {
            return New-VelorinConflictOutcome 'Remediation' $conflicts
        }
        $request = [pscustomobject]@{
            Context      = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
            Baseline     = $Baseline
            BaselinePath = $BaselinePath
            PasswordFile = $PasswordFile
        }
        $stored = @{
            Context      = $request.Context
            StorePath    = $store
            Fallback     = { param($request) Read-VelorinPasswordFile $request.PasswordFile }
            UsePassword  = {
                param($password, $request)
                Use-VelorinBaselineFile $request.Baseline $request.BaselinePath {
                    param($path, $password, $context)
                    # Answered above: the set neither asks again nor turns into a /check.
                    Set-VelorinBiosConfiguration -Path $path -Password $password -Force -Confirm:$false -WhatIf:$false `
                        -ToolPath $context.ToolPath -MachineFile $context.MachineFile
                } $password, $request.Context
            }
            ArgumentList = @($request)
        }
        $result = Use-VelorinStoredPassword @stored
    }
    catch {
        return ConvertTo-VelorinFailureOutcome $_ 'Remediation'
    }
    if ((Get-VelorinBaselineDecision $result.Unmatched ($result.Changed.Count + $result.Unchanged + $result.Skipped.Count)) -eq 'NothingApplies') {
        return New-VelorinNothingApplies 'Remediation' $result.NotOnModel
    }
    $changes = foreach ($change in $result.Changed) {
        '{0} -> {1}' -f $change.Name, $change.Value
    }
    $summary = '{0} changed, {1} unchanged, {2} read only, {3} not on this model' -f
    $result.Changed.Count, $result.Unchanged, $result.Skipped.Count, $result.NotOnModel.Count
    if ($result.RebootRequired) {
        $summary += '; reboot to apply: ' + ($changes -join '; ')
    }
    # The rest of the baseline is set and saved all the same; the failure names what is not.
    if ($result.Unmatched.Count -gt 0) {
        return New-VelorinFleetOutcome 'Failed' ('Remediation failed: {0}; {1}' -f (Format-VelorinUnmatched $result.Unmatched), $summary) $result.RebootRequired
    }
    return New-VelorinFleetOutcome 'Remediated' ('Remediated: ' + $summary) $result.RebootRequired
}
