// The locator and the connection to one namespace of the simulated WMI.
#pragma once

#include "simcom/com_object.h"
#include "simcom/wmi_classes.h"

#include <string_view>

namespace velorin::simcom {

extern const IID IID_SimulatedServices;
extern const IID IID_SimulatedLocator;

#ifdef _WIN32
// Windows' CoSetProxyBlanket sets the blanket through the object's IClientSecurity, which an
// in-process object has to provide itself.
using ServicesSecurity = IClientSecurity;
#else
struct NoClientSecurity {};
using ServicesSecurity = NoClientSecurity;
#endif

class WbemServices final : public ComObject<IWbemServices, IID_SimulatedServices>,
                           public ServicesSecurity {
  public:
    using Base = ComObject<IWbemServices, IID_SimulatedServices>;
    static constexpr const IID& kSelfId = IID_SimulatedServices;

    explicit WbemServices(const NamespaceSpec& space) : space_(space) {}

#ifdef _WIN32
    // IUnknown of both bases.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }

    // IClientSecurity: the blanket meets the machine's CoSetProxyBlanket fault rule.
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*,
                                           void**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* pProxy, DWORD, DWORD, OLECHAR*, DWORD, DWORD,
                                         void*, DWORD) override;
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }
#endif

    // IWbemServices: every method this stand-in implements; on Windows the remaining ones of
    // the SDK's interface come from SdkInterface, answering E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR strObjectPath, long lFlags, IWbemContext* pCtx,
                                        IWbemClassObject** ppObject,
                                        IWbemCallResult** ppCallResult) override;
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR strFilter, long lFlags,
                                                 IWbemContext* pCtx,
                                                 IEnumWbemClassObject** ppEnum) override;
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery,
                                        long lFlags, IWbemContext* pCtx,
                                        IEnumWbemClassObject** ppEnum) override;
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR strObjectPath, const BSTR strMethodName,
                                         long lFlags, IWbemContext* pCtx,
                                         IWbemClassObject* pInParams,
                                         IWbemClassObject** ppOutParams,
                                         IWbemCallResult** ppCallResult) override;

    std::u16string_view NamespaceName() const { return space_.name; }

  private:
    HRESULT Enumerate(std::u16string_view className, IEnumWbemClassObject** ppEnum) const;
    HRESULT CallMethod(std::u16string_view path, std::u16string_view method, IWbemClassObject* in,
                       IWbemClassObject** out) const;

    const NamespaceSpec& space_;
};

class WbemLocator final : public ComObject<IWbemLocator, IID_SimulatedLocator> {
  public:
    using Base = ComObject<IWbemLocator, IID_SimulatedLocator>;
    static constexpr const IID& kSelfId = IID_SimulatedLocator;

    WbemLocator() = default;

    // IWbemLocator has no other method.
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource, const BSTR strUser,
                                            const BSTR strPassword, const BSTR strLocale,
                                            long lSecurityFlags, const BSTR strAuthority,
                                            IWbemContext* pCtx,
                                            IWbemServices** ppNamespace) override;
};

}  // namespace velorin::simcom
