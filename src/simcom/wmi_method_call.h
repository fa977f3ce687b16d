// The BiosManager methods of the simulated provider: their in-parameter signatures, and a
// call that turns an in-parameter object into the machine's parameters and its answer into an
// out-parameter object.
#pragma once

#include "simcom/com_object.h"

#include <string_view>

namespace velorin::simcom {

// The in-parameter signature of `method`: a class object owned by the method, or null for a
// method without in-parameters. WBEM_E_NOT_FOUND when BiosManager has no such method.
HRESULT MethodSignature(std::u16string_view method, IWbemClassObject** inSignature);

// Runs `method` on the machine with the values put into `in` (which may be null).
HRESULT RunProviderMethod(std::u16string_view method, IWbemClassObject* in, IWbemClassObject** out);

}  // namespace velorin::simcom
