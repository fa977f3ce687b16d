# What every run of the tool in one command shares: the command whose errors, warnings and
# confirmations the run goes through, the tool to run and the simulated machine it runs on.
# A public command makes it once and hands it down whole, through every layer.

function New-VelorinToolContext {
    param(
        [Parameter(Mandatory)] [System.Management.Automation.PSCmdlet] $Cmdlet,
        [string] $ToolPath,
        [string] $MachineFile
    )

    return [pscustomobject]@{
        PSTypeName  = 'Velorin.ToolContext'
        Cmdlet      = $Cmdlet
        ToolPath    = $ToolPath
        MachineFile = $MachineFile
    }
}
