// Reference counting and QueryInterface for the simulated WMI objects.
#pragma once

#include "com/com_handles.h"
#include "simcom/sdk_remainder.h"

#include <atomic>
#include <utility>

namespace velorin::simcom {

template <typename Interface>
const IID& InterfaceIdOf();
template <>
inline const IID& InterfaceIdOf<IWbemLocator>() {
    return IID_IWbemLocator;
}
template <>
inline const IID& InterfaceIdOf<IWbemServices>() {
    return IID_IWbemServices;
}
template <>
inline const IID& InterfaceIdOf<IWbemClassObject>() {
    return IID_IWbemClassObject;
}
template <>
inline const IID& InterfaceIdOf<IEnumWbemClassObject>() {
    return IID_IEnumWbemClassObject;
}

// An object implementing `Interface`. Besides IUnknown and `Interface` it answers the private
// `SelfId` with a pointer to the concrete object: that is how simcom recognises its own
// objects behind an interface pointer it is handed, without trusting a cast.
template <typename Interface, const IID& SelfId>
class ComObject : public SdkInterface<Interface>::type {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == SelfId) {
            *object = this;
        } else if (riid == IID_IUnknown || riid == InterfaceIdOf<Interface>()) {
            *object = static_cast<Interface*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

  private:
    std::atomic<ULONG> references_{1};
};

// A new object, its first reference held by the returned pointer.
template <typename Object, typename... Args>
ComPtr<Object> MakeObject(Args&&... args) {
    return ComPtr<Object>(new Object(std::forward<Args>(args)...));
}

// The simcom object of type `Object` behind `unknown`, or null when it is none.
template <typename Object>
ComPtr<Object> FindSimulated(IUnknown* unknown) {
    void* self = nullptr;
    if (unknown == nullptr || FAILED(unknown->QueryInterface(Object::kSelfId, &self))) return {};
    return ComPtr<Object>(static_cast<Object*>(static_cast<typename Object::Base*>(self)));
}

}  // namespace velorin::simcom
