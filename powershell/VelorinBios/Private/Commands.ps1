# The /check and /set runs behind the Test- and Set- commands. A file is copied into a private
# folder first: the tool reads only from its working folder.

# Runs Command (/check or /set) on a settings file (with /f under -Force) or on one item and
# option, with TrailingArgument behind them (/pwstdin), and returns the run with what its report
# is read by (Index): the file's text as the tool read it, or the typed texts.
function Invoke-VelorinSettingCommand {
    param(
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [Parameter(Mandatory)] [string] $Command,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value,
        [string[]] $TrailingArgument = @(),
        [byte[]] $StandardInput,
        [int[]] $AcceptedExitCode = @(0)
    )

    $folder = New-VelorinWorkFolder
    try {
        if ($Path) {
            $file = Copy-VelorinInputFile -Cmdlet $Context.Cmdlet -Path $Path -Folder $folder
            $arguments = @($Command, $file)
            if ($Force) {
                $arguments += '/f'
            }
            $baseline = $script:Latin1.GetString([System.IO.File]::ReadAllBytes((Join-Path $folder $file)))
            $index = New-VelorinBaselineIndex -Text $baseline
            $target = $Path
            if ($Command -eq '/set') {
                Assert-VelorinBaselineConsistent -Cmdlet $Context.Cmdlet -Text $baseline -Path $Path
            }
        }
        else {
            $arguments = @($Command, '/i', $Name, $Value)
            $index = New-VelorinBaselineIndex -Typed -Name $Name -Value $Value
            $target = $Name
        }
        $run = Invoke-VelorinTool -Context $Context -WorkingDirectory $folder -Arguments ($arguments + $TrailingArgument) `
            -StandardInput $StandardInput -AcceptedExitCode $AcceptedExitCode -Target $target
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
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value
    )

    $run = Invoke-VelorinSettingCommand -Command '/check' -AcceptedExitCode 0, 13 @PSBoundParameters
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
        [Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context,
        [string] $Path,
        [switch] $Force,
        [string] $Name,
        [string] $Value,
        [System.Security.SecureString] $Password,
        [string] $Action
    )

    $target = @{ Context = $Context; Path = $Path; Force = $Force; Name = $Name; Value = $Value }
    if ($WhatIfPreference) {
        Show-VelorinPendingChange -Cmdlet $Context.Cmdlet -Compliance (Invoke-VelorinCheck @target)
        return
    }
    if (-not $Context.Cmdlet.ShouldProcess('BIOS settings', $Action)) {
        return
    }
    $run = Invoke-VelorinSettingCommand -Command '/set' -TrailingArgument '/pwstdin' `
        -StandardInput (ConvertTo-VelorinPasswordInput -Password $Password) @target
    return ConvertFrom-VelorinSetReport -Output $run.Output -Index $run.Index
}
