// An enumerator over a fixed list of objects, handed out in order by Next.
#pragma once

#include "simcom/com_object.h"

#include <string>
#include <vector>

namespace velorin::simcom {

extern const IID IID_SimulatedEnumerator;

class WbemEnumerator final : public ComObject<IEnumWbemClassObject, IID_SimulatedEnumerator> {
  public:
    using Base = ComObject<IEnumWbemClassObject, IID_SimulatedEnumerator>;
    static constexpr const IID& kSelfId = IID_SimulatedEnumerator;

    // `className` names the enumeration in fault rules.
    WbemEnumerator(std::u16string className, std::vector<ComPtr<IWbemClassObject>> objects);

    // IEnumWbemClassObject: every method this stand-in implements; on Windows the remaining
    // ones of the SDK's interface come from SdkInterface, answering E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Next(long lTimeout, ULONG uCount, IWbemClassObject** apObjects,
                                   ULONG* puReturned) override;

  private:
    HRESULT HandOut(ULONG count, IWbemClassObject** objects, ULONG* returned);

    std::u16string className_;
    std::vector<ComPtr<IWbemClassObject>> objects_;
    size_t next_ = 0;
};

}  // namespace velorin::simcom
