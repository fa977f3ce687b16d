# A baseline per model for the fleet scripts: an ordered list of entries, each a Model pattern
# (wildcards over the SMBIOS product name, any letter case) and the Baseline text it serves.
# The first entry that matches this PC's model is used; a PC that none serves is not
# applicable.

# The SMBIOS product name that picks the baseline: Model when given; else the product name
# of the capture MachineFile names (a rehearsal); else this PC's
# (Win32_ComputerSystemProduct.Name). A name that cannot be read throws: a PC whose model is
# unknown is not one that no baseline serves, and must not pass as not applicable.
function Get-VelorinMachineModel([string] $Model, [string] $MachineFile) {
    if ($Model) {
        return $Model
    }
    if ($MachineFile) {
        $name = (Read-VelorinMachineFile -Path $MachineFile).Model
        if (-not $name) {
            throw "the model cannot be read: the machine file '$MachineFile' names no SMBIOS product"
        }
        return [string]$name
    }
    if (-not (Get-Command -Name Get-CimInstance -ErrorAction SilentlyContinue)) {
        throw 'the model of this PC cannot be read: Get-CimInstance is not available'
    }
    try {
        $product = Get-CimInstance -ClassName Win32_ComputerSystemProduct -ErrorAction Stop | Select-Object -First 1
    }
    catch {
        throw "the model of this PC cannot be read: $($_.Exception.Message)"
    }
    if (-not $product -or -not $product.Name) {
        throw 'the model of this PC cannot be read: Win32_ComputerSystemProduct gives no product name'
    }
    return [string]$product.Name
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
