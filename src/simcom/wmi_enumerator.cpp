#include "simcom/wmi_enumerator.h"

#include "simcom/sim_support.h"

namespace velorin::simcom {

// {B3E0F6A4-2C71-4D9A-8F15-7A2E4C9D0B38}
const IID IID_SimulatedEnumerator = {
    0xB3E0F6A4, 0x2C71, 0x4D9A, {0x8F, 0x15, 0x7A, 0x2E, 0x4C, 0x9D, 0x0B, 0x38}};

WbemEnumerator::WbemEnumerator(std::u16string className,
                               std::vector<ComPtr<IWbemClassObject>> objects)
    : className_(std::move(className)), objects_(std::move(objects)) {}

HRESULT WbemEnumerator::Next(long, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) {
    std::optional<HRESULT> fault = InjectedFault("Next", className_);
    if (puReturned != nullptr) *puReturned = 0;
    // Any status a rule gives, success or not, comes without an object.
    if (fault) return *fault;
    if (apObjects == nullptr || puReturned == nullptr) return (HRESULT)WBEM_E_INVALID_PARAMETER;
    return HandOut(uCount, apObjects, puReturned);
}

HRESULT WbemEnumerator::HandOut(ULONG count, IWbemClassObject** objects, ULONG* returned) {
    while (*returned < count && next_ < objects_.size()) {
        IWbemClassObject* object = objects_[next_++].get();
        object->AddRef();
        objects[(*returned)++] = object;
    }
    return *returned == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
}

}  // namespace velorin::simcom
