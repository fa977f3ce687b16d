// The simulated-machine executable's gate in front of the system's COM start-up calls. Linked
// with --wrap=__imp_CoInitializeEx and --wrap=__imp_CoInitializeSecurity, the tool's calls
// through the import table reach these functions, which apply the machine's fault rules
// before they hand the call on to ole32.
#include "simcom/sim_support.h"

#include <windows.h>
#include <objbase.h>

namespace {

using CoInitializeExCall = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoInitializeSecurityCall = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR, LONG,
                                                  SOLE_AUTHENTICATION_SERVICE*, void*, DWORD, DWORD,
                                                  void*, DWORD, void*);

}  // namespace

// The import table's own entries, which the linker renames to __real___imp_ for this file.
extern "C" CoInitializeExCall __real___imp_CoInitializeEx;
extern "C" CoInitializeSecurityCall __real___imp_CoInitializeSecurity;

namespace {

HRESULT WINAPI GatedCoInitializeEx(LPVOID reserved, DWORD coInit) {
    return velorin::simcom::WithFault("CoInitializeEx", {}, [&]() -> HRESULT {
        return __real___imp_CoInitializeEx(reserved, coInit);
    });
}

HRESULT WINAPI GatedCoInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG authCount,
                                         SOLE_AUTHENTICATION_SERVICE* authServices, void* reserved1,
                                         DWORD authnLevel, DWORD impLevel, void* authList,
                                         DWORD capabilities, void* reserved3) {
    return velorin::simcom::WithFault("CoInitializeSecurity", {}, [&]() -> HRESULT {
        return __real___imp_CoInitializeSecurity(descriptor, authCount, authServices, reserved1,
                                                 authnLevel, impLevel, authList, capabilities,
                                                 reserved3);
    });
}

}  // namespace

// What the tool's calls through __imp_CoInitializeEx and __imp_CoInitializeSecurity now read.
extern "C" {
CoInitializeExCall __wrap___imp_CoInitializeEx = &GatedCoInitializeEx;
CoInitializeSecurityCall __wrap___imp_CoInitializeSecurity = &GatedCoInitializeSecurity;
}
