// The WMI objects of the simulated Velorin machine: a locator whose ConnectServer opens
// ROOT\velorin (BiosManager, DataBuffer) and ROOT\WMI (MSSMBios_RawSMBiosTables) over
// velorin::sim::Machine::Current(). Built on Windows against the real SDK headers as well.
#pragma once

#include <windows.h>
#include <wbemidl.h>

// A new locator with one reference for the caller.
HRESULT CreateSimulatedLocator(IWbemLocator** locator);
// A new locator as the interface `riid` (IWbemLocator or IUnknown), as a class factory hands
// it out; E_NOINTERFACE for any other interface.
HRESULT CreateSimulatedLocatorAs(REFIID riid, void** object);

// What CoSetProxyBlanket answers for `proxy`: the fault rule "CoSetProxyBlanket" for the
// namespace of a services object made here, else S_OK; E_NOINTERFACE for any other object.
HRESULT SimulatedProxyBlanket(IUnknown* proxy);
