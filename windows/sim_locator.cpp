// The locator seam of the simulated-machine build: the tool's WMI calls reach the simulated
// machine's objects instead of the system's WMI service. COM itself stays the system's, so the
// machine's fault rules for CoCreateInstance are applied here, where the locator is made.
#include "bios/wtolq_core.h"
#include "simcom/sim_support.h"
#include "simcom/sim_wmi.h"

HRESULT velorin::tool::CreateWbemLocator(IWbemLocator** locator) {
    if (locator != nullptr) *locator = nullptr;
    return velorin::simcom::WithFault("CoCreateInstance", {},
                                      [&]() -> HRESULT { return CreateSimulatedLocator(locator); });
}
