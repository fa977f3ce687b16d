# The engine host's stand-in for Windows' CimCmdlets, which PowerShell on Linux lacks: the
# fleet scripts read the PC's model, serial number and UUID from CIM, which Windows fills from
# the SMBIOS System Information structure. These are the values of the tool's built-in sample
# machine (src/sim/sample_machine.cpp); the UUID as Windows shows it, its first three fields
# byte-swapped (SMBIOS 2.6 and later).
$script:Instances = @{
    Win32_ComputerSystemProduct = [pscustomobject]@{
        Name              = 'Velorin ProBook 14 G3'
        Vendor            = 'Velorin Corporation'
        Version           = 'SBKPF'
        IdentifyingNumber = '5CG3214XQ7'
        UUID              = '2E3C7B4A-D091-6B4F-8E2A-1C5D7F3B9E04'
    }
    Win32_BIOS                  = [pscustomobject]@{
        Manufacturer = 'Velorin Corporation'
        SerialNumber = '5CG3214XQ7'
    }
}

function Get-CimInstance {
    [CmdletBinding()]
    param([Parameter(Mandatory = $true)] [string] $ClassName)

    if (-not $script:Instances.ContainsKey($ClassName)) {
        $exception = New-Object System.NotSupportedException "The stand-in does not serve the class $ClassName."
        $PSCmdlet.WriteError((New-Object System.Management.Automation.ErrorRecord (
                    $exception, 'HRESULT 0x80041010', 'ObjectNotFound', $ClassName)))
        return
    }
    return $script:Instances[$ClassName]
}
