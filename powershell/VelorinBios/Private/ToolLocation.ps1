# Where the module finds VelorinBiosConfigTool and the files it hands to it.

$script:ToolNames = @('VelorinBiosConfigTool.exe', 'VelorinBiosConfigTool')

function Resolve-VelorinToolPath {
    param([Parameter(Mandatory)] [PSTypeName('Velorin.ToolContext')] $Context)

    $given = $Context.ToolPath
    if (-not $given) {
        $given = $env:VELORIN_BIOS_TOOL
    }
    if ($given) {
        return $Context.Cmdlet.GetUnresolvedProviderPathFromPSPath($given)
    }
    # The zip puts the module folder beside the executable; the MSI puts the module under
    # Program Files\WindowsPowerShell\Modules and the executable in Velorin\BiosConfigTool (the
    # 64-bit Program Files also from a 32-bit PowerShell).
    $folders = @($script:ModuleRoot, (Split-Path -Parent $script:ModuleRoot))
    foreach ($programFiles in @($env:ProgramW6432, $env:ProgramFiles)) {
        if ($programFiles) {
            $folders += Join-Path (Join-Path $programFiles 'Velorin') 'BiosConfigTool'
        }
    }
    foreach ($folder in $folders) {
        foreach ($name in $script:ToolNames) {
            $candidate = Join-Path $folder $name
            if (Test-Path -LiteralPath $candidate -PathType Leaf) {
                return $candidate
            }
        }
    }
    $exception = New-Object System.IO.FileNotFoundException (
        'VelorinBiosConfigTool was not found beside the module or in Program Files\Velorin\BiosConfigTool; give -ToolPath or set VELORIN_BIOS_TOOL.')
    $Context.Cmdlet.ThrowTerminatingError((New-Object System.Management.Automation.ErrorRecord (
                $exception, 'VelorinBiosToolNotFound', 'ObjectNotFound', $script:ModuleRoot)))
}

function Resolve-VelorinFilePath {
    param([string] $Path, [System.Management.Automation.PSCmdlet] $Cmdlet)
    return $Cmdlet.GetUnresolvedProviderPathFromPSPath($Path)
}
