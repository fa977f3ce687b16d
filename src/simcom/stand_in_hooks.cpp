// Off Windows: puts the simulated machine's WMI objects behind the platform stand-in's COM
// runtime, which knows nothing of them. The stand-in then creates the simulated locator,
// answers CoSetProxyBlanket for the simulated services, and every COM call meets the
// machine's fault rules first. Nothing calls into this file, so it is linked whole into every
// program that links the platform, and installs the hooks before main runs.
#include <windows.h>
#include <wbemidl.h>

#include <stand_in_com.h>

#include "simcom/sim_support.h"
#include "simcom/sim_wmi.h"

#include <iterator>

namespace {

HRESULT ThroughFaultRules(const char* call, HRESULT (*body)(void* context), void* context) {
    return velorin::simcom::WithFault(call, {}, [&]() -> HRESULT { return body(context); });
}

const StandInClass simulatedClasses[] = {{CLSID_WbemLocator, &CreateSimulatedLocatorAs}};

struct HooksInstaller {
    HooksInstaller() {
        StandInComHooks hooks;
        hooks.classes = simulatedClasses;
        hooks.classCount = std::size(simulatedClasses);
        hooks.proxyBlanket = &SimulatedProxyBlanket;
        hooks.gate = &ThroughFaultRules;
        SetStandInComHooks(hooks);
    }
} installer;

}  // namespace
