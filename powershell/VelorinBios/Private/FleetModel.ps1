# A baseline per model for the fleet scripts: an ordered list of entries, each a Model pattern
# (wildcards over the SMBIOS product name, any letter case) and the Baseline text it serves.
# The first entry that matches this PC's model is used; a PC that none serves is not
# applicable.

# The SMBIOS product name of this PC (Win32_ComputerSystemProduct.Name); Model when given, for
# rehearsals and tests. Empty where CIM is not available.
function Get-VelorinMachineModel([string] $Model) {
    if ($Model) {
        return $Model
    }
    if (-not (Get-Command -Name Get-CimInstance -ErrorAction SilentlyContinue)) {
        return ''
    }
    $product = Get-CimInstance -ClassName Win32_ComputerSystemProduct -ErrorAction SilentlyContinue | Select-Object -First 1
    if ($product -and $product.Name) {
        return [string]$product.Name
    }
    return ''
}

# The first entry of Baselines whose Model pattern matches Model, or $null.
function Select-VelorinModelBaseline([object[]] $Baselines, [string] $Model) {
    foreach ($entry in $Baselines) {
        if ($Model -like $entry.Model) {
            return $entry
        }
    }
    return $null
}

# Names the baseline an outcome was reached with; anything else Action returns passes as it is.
function Add-VelorinBaselineName([object] $Outcome, [string] $Name) {
    if ($Outcome -and $Outcome.PSObject.TypeNames -contains 'Velorin.FleetOutcome') {
        $Outcome | Add-Member -NotePropertyName Baseline -NotePropertyValue $Name -Force
    }
    return $Outcome
}
