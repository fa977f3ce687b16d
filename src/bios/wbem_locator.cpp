#include "bios/wtolq_core.h"

namespace velorin::tool {

HRESULT CreateWbemLocator(IWbemLocator** locator) {
    return CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                            reinterpret_cast<LPVOID*>(locator));
}

}  // namespace velorin::tool
