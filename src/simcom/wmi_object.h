// The one object kind of the simulated WMI: a class, an instance or a method's parameters,
// held as an owner name and named properties. The owner is what fault rules for Get and Put
// name: "Owner.Name" is "BiosManager.__PATH" for an instance, "Set.RetCode" for parameters.
#pragma once

#include "simcom/com_object.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace velorin::simcom {

extern const IID IID_SimulatedWbemObject;

class WbemObject final : public ComObject<IWbemClassObject, IID_SimulatedWbemObject> {
  public:
    using Base = ComObject<IWbemClassObject, IID_SimulatedWbemObject>;
    static constexpr const IID& kSelfId = IID_SimulatedWbemObject;

    enum class Kind { Class, Instance };

    WbemObject(std::u16string owner, Kind kind);

    // IWbemClassObject: every method of the interface that this stand-in implements; on Windows
    // the remaining ones of the SDK's interface come from SdkInterface, answering E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR wszName, long lFlags, VARIANT* pVal, CIMTYPE* pType,
                                  long* plFlavor) override;
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR wszName, long lFlags, VARIANT* pVal,
                                  CIMTYPE Type) override;
    HRESULT STDMETHODCALLTYPE SpawnInstance(long lFlags, IWbemClassObject** ppNewInstance) override;
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR wszName, long lFlags,
                                        IWbemClassObject** ppInSignature,
                                        IWbemClassObject** ppOutSignature) override;

    // The simulated provider's own access, which no fault rule sees.
    // Adds the property, or empties its value; returns the value to fill.
    VARIANT& Define(std::u16string_view name, CIMTYPE type);
    const VARIANT* Find(std::u16string_view name) const;
    // A copy of this object as the given kind (an instance, for SpawnInstance).
    ComPtr<WbemObject> Copy(Kind kind) const;
    // GetMethod answers from the machine's BiosManager methods.
    void ProvideMethods() { providesMethods_ = true; }
    const std::u16string& Owner() const { return owner_; }

    template <typename Visit>
    void ForEachProperty(Visit&& visit) const {
        for (const Property& property : properties_) visit(property.name, property.value.get());
    }

  private:
    struct Property {
        Property(std::u16string_view propertyName, CIMTYPE cimType)
            : name(propertyName), type(cimType) {}
        std::u16string name;
        CIMTYPE type;
        UniqueVariant value;
    };

    const Property* FindProperty(std::u16string_view name) const;
    Property* FindProperty(std::u16string_view name);
    HRESULT Store(std::u16string_view name, const VARIANT* value, CIMTYPE type);
    std::u16string FaultTarget(std::u16string_view name) const;

    std::u16string owner_;
    Kind kind_;
    bool providesMethods_ = false;
    std::deque<Property> properties_;
};

// Fills an empty VARIANT. Running out of memory throws std::bad_alloc, as the tool's own
// allocations do.
void FillNull(VARIANT& value);
void FillNumber(VARIANT& value, LONG number);
void FillByte(VARIANT& value, BYTE number);
void FillBool(VARIANT& value, bool flag);
void FillText(VARIANT& value, std::u16string_view text);
void FillBytes(VARIANT& value, const std::vector<uint8_t>& bytes);
// Takes over the caller's reference.
void FillObject(VARIANT& value, IUnknown* object);

}  // namespace velorin::simcom
