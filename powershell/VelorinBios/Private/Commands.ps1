# The /check and /set runs behind the Test- and Set- commands. A file is copied into a private
# folder first: the tool reads only from its working folder.

# The tool's arguments that name what to compare or set: a file with /f, or one item and option.
function Get-VelorinTargetArgument {
    param([string] $InputFile, [bool] $Force, [string] $Name, [string] $Value)

    if ($InputFile) {
        $arguments = @($InputFile)
        if ($Force) {
            $arguments += '/f'
        }
        return , $arguments
    }
    return , @('/i', $Name, $Value)
}

function Invoke-VelorinCheck {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value,
        [string] $ToolPath,
        [string] $MachineFile
    )

    $folder = New-VelorinWorkFolder
    try {
        $inputFile = $null
        if ($Path) {
            $inputFile = Copy-VelorinInputFile -Cmdlet $Cmdlet -Path $Path -Folder $folder
        }
        $target = Get-VelorinTargetArgument -InputFile $inputFile -Force $Force -Name $Name -Value $Value
        $run = Invoke-VelorinTool -Cmdlet $Cmdlet -ToolPath $ToolPath -MachineFile $MachineFile `
            -WorkingDirectory $folder -Arguments (@('/check') + $target) -AcceptedExitCode 0, 13
        return ConvertFrom-VelorinCheckReport -ExitCode $run.ExitCode -Output $run.Output
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# -WhatIf: what /set would change, from /check, one "What if" line per differing setting.
function Show-VelorinPendingChange {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [object] $Compliance)

    foreach ($difference in $Compliance.Differences) {
        [void]$Cmdlet.ShouldProcess("BIOS setting '$($difference.Name)'",
            "Change from '$($difference.Current)' to '$($difference.Wanted)'")
    }
    if ($Compliance.Differences.Count -eq 0) {
        [void]$Cmdlet.ShouldProcess('BIOS settings', 'Set the settings (every one already has the wanted value)')
    }
}

function Invoke-VelorinSet {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value,
        [System.Security.SecureString] $Password,
        [string] $ToolPath,
        [string] $MachineFile,
        [string] $Action
    )

    if ($WhatIfPreference) {
        $compliance = Invoke-VelorinCheck -Cmdlet $Cmdlet -Path $Path -Force:$Force -Name $Name -Value $Value `
            -ToolPath $ToolPath -MachineFile $MachineFile
        Show-VelorinPendingChange -Cmdlet $Cmdlet -Compliance $compliance
        return
    }
    if (-not $Cmdlet.ShouldProcess('BIOS settings', $Action)) {
        return
    }
    $folder = New-VelorinWorkFolder
    try {
        $inputFile = $null
        if ($Path) {
            $inputFile = Copy-VelorinInputFile -Cmdlet $Cmdlet -Path $Path -Folder $folder
        }
        $target = Get-VelorinTargetArgument -InputFile $inputFile -Force $Force -Name $Name -Value $Value
        $run = Invoke-VelorinTool -Cmdlet $Cmdlet -ToolPath $ToolPath -MachineFile $MachineFile `
            -WorkingDirectory $folder -Arguments (@('/set') + $target + '/pwstdin') `
            -StandardInput (ConvertTo-VelorinPasswordInput -Password $Password)
        return ConvertFrom-VelorinSetReport -Output $run.Output
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}
