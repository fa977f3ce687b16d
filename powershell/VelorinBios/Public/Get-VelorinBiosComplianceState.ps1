function Get-VelorinBiosComplianceState {
    <#
    .SYNOPSIS
    Gathers what an Intune custom compliance discovery script reports of this PC.

    .DESCRIPTION
    Picks the baseline that serves this PC's model as Invoke-VelorinBiosModelBaseline does, runs
    VelorinBiosConfigTool /get /o and /check /f (no password, nothing changed) and reads the
    password store (the firmware is never given a password). Returns a Velorin.FleetOutcome
    (State Compliant, NonCompliant, NotApplicable or Failed; Summary; Baseline; ToolVersion)
    whose Discovery holds the keys to print with ConvertTo-Json -Compress: one per entry of
    the baseline that this model has, named as the baseline names the setting, its value the
    current option's text; and VelorinBaselineCompliant (Boolean), VelorinSettingsDiffering
    (Int64: settings that differ and entries that cannot be met), VelorinBaselineName (the
    baseline's model pattern or file, or the reason where none was checked),
    VelorinPasswordRotated (Boolean: the store holds a password that a rotation set and
    verified), VelorinPasswordAgeDays (Int64, -1 where the PC does not rotate) and
    VelorinToolVersion (the tool's banner, 0.0.0.0 where unknown). A PC that is not a Velorin
    PC, or that no baseline serves, has the summary keys only and is compliant; a check that
    fails has the summary keys only, is not compliant and names the reason.

    .PARAMETER Baselines
    Entries with Model (a wildcard pattern) and Baseline (the text), in the order to try.

    .PARAMETER Model
    The SMBIOS product name to use instead of this PC's, for rehearsals and tests.

    .PARAMETER BaselinePath
    A baseline file for every model.

    .PARAMETER StorePath
    The password store's folder. Default: $env:ProgramData\Velorin\BiosPassword.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    (Get-VelorinBiosComplianceState -Baselines $Baselines).Discovery | ConvertTo-Json -Compress
    #>
    [CmdletBinding()]
    [OutputType('Velorin.FleetOutcome')]
    [Alias('Get-VelorinComplianceState')]
    param([object[]] $Baselines, [string] $Model, [string] $BaselinePath, [string] $StorePath, [string] $ToolPath, [string] $MachineFile)

    $discovery = New-VelorinDiscovery
    $name = $BaselinePath
    try {
        Add-VelorinPasswordDiscovery $discovery (Get-VelorinFleetStoreStatus $PSCmdlet $StorePath)
        $text = $null
        if (-not $BaselinePath) {
            $model = Get-VelorinMachineModel $Model $MachineFile
            $entry = Select-VelorinModelBaseline $Baselines $model
            if ($null -eq $entry) {
                $outcome = New-VelorinFleetOutcome 'NotApplicable' "Not applicable: no baseline serves the model '$model'"
                return New-VelorinDiscoveryOutcome $outcome $discovery
            }
            $name = $entry.Model
            $text = $entry.Baseline
        }
        $discovery.VelorinBaselineName = $name
        $outcome = Invoke-VelorinBaselineDiscovery -Discovery $discovery -Baseline $text -BaselinePath $BaselinePath `
            -ToolPath $ToolPath -MachineFile $MachineFile
    }
    catch {
        $outcome = ConvertTo-VelorinFailureOutcome $_ 'Check'
    }
    return Add-VelorinBaselineName (New-VelorinDiscoveryOutcome $outcome $discovery) $name
}
