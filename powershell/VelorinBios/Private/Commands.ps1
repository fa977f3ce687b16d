# The /check and /set runs behind the Test- and Set- commands. A file is copied into a private
# folder first: the tool reads only from its working folder.

# Runs Command on a file (with /f under -Force) or on one item and option, with the tool
# arguments After behind them, and returns the run with what its report is read by (Index): the
# file's text as the tool read it, or the typed texts.
function Invoke-VelorinOnTarget {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [Parameter(Mandatory)] [string] $Command,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value,
        [string[]] $After = @(),
        [byte[]] $StandardInput,
        [int[]] $AcceptedExitCode = @(0),
        [string] $ToolPath,
        [string] $MachineFile
    )

    $folder = New-VelorinWorkFolder
    try {
        if ($Path) {
            $file = Copy-VelorinInputFile -Cmdlet $Cmdlet -Path $Path -Folder $folder
            $arguments = @($Command, $file)
            if ($Force) {
                $arguments += '/f'
            }
            $baseline = $script:Latin1.GetString([System.IO.File]::ReadAllBytes((Join-Path $folder $file)))
            $index = New-VelorinBaselineIndex -Text $baseline
            $target = $Path
            if ($Command -eq '/set') {
                Assert-VelorinBaselineConsistent -Cmdlet $Cmdlet -Text $baseline -Path $Path
            }
        }
        else {
            $arguments = @($Command, '/i', $Name, $Value)
            $index = New-VelorinBaselineIndex -Typed -Name $Name -Value $Value
            $target = $Name
        }
        $run = Invoke-VelorinTool -Cmdlet $Cmdlet -ToolPath $ToolPath -MachineFile $MachineFile -WorkingDirectory $folder `
            -Arguments ($arguments + $After) -StandardInput $StandardInput -AcceptedExitCode $AcceptedExitCode -Target $target
        $run | Add-Member -NotePropertyName Index -NotePropertyValue $index
        return $run
    }
    finally {
        Remove-VelorinWorkFolder -Folder $folder
    }
}

# A baseline that contradicts itself would leave the firmware with what its last entry wants
# and every later check failing: it is refused before the tool runs.
function Assert-VelorinBaselineConsistent {
    param([System.Management.Automation.PSCmdlet] $Cmdlet, [string] $Text, [string] $Path)

    $conflicts = Find-VelorinBaselineConflict -Text $Text
    if ($conflicts.Count -gt 0) {
        $exception = New-Object System.IO.InvalidDataException ((Format-VelorinUnmatched $conflicts 'baseline entries contradict each other') + '; nothing was set')
        $Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                    $exception, 'VelorinBiosBaselineConflict', 'InvalidData', $Path)))
    }
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

    $run = Invoke-VelorinOnTarget -Command '/check' -AcceptedExitCode 0, 13 @PSBoundParameters
    return ConvertFrom-VelorinCheckReport -ExitCode $run.ExitCode -Output $run.Output -Index $run.Index
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

    $target = @{ Cmdlet = $Cmdlet; Path = $Path; Force = $Force; Name = $Name; Value = $Value; ToolPath = $ToolPath; MachineFile = $MachineFile }
    if ($WhatIfPreference) {
        Show-VelorinPendingChange -Cmdlet $Cmdlet -Compliance (Invoke-VelorinCheck @target)
        return
    }
    if (-not $Cmdlet.ShouldProcess('BIOS settings', $Action)) {
        return
    }
    $run = Invoke-VelorinOnTarget -Command '/set' -After '/pwstdin' -StandardInput (ConvertTo-VelorinPasswordInput -Password $Password) @target
    return ConvertFrom-VelorinSetReport -Output $run.Output -Index $run.Index
}
