// Stand-in for the parts of <wbemidl.h> that the tool uses: the four WMI interfaces with only
// the methods the tool calls, in the SDK's signatures, and the WMI status and flag values.
#pragma once

#include <windows.h>

typedef LONG CIMTYPE;

enum CIMTYPE_ENUMERATION {
    CIM_EMPTY = 0,
    CIM_SINT16 = 2,
    CIM_SINT32 = 3,
    CIM_STRING = 8,
    CIM_BOOLEAN = 11,
    CIM_OBJECT = 13,
    CIM_SINT8 = 16,
    CIM_UINT8 = 17,
    CIM_UINT16 = 18,
    CIM_UINT32 = 19,
    CIM_FLAG_ARRAY = 0x2000,
};

enum WBEMSTATUS {
    WBEM_NO_ERROR = 0,
    WBEM_S_NO_ERROR = 0,
    WBEM_S_FALSE = 1,
    WBEM_S_TIMEDOUT = 0x40004,
    WBEM_E_FAILED = (int)0x80041001,
    WBEM_E_NOT_FOUND = (int)0x80041002,
    WBEM_E_ACCESS_DENIED = (int)0x80041003,
    WBEM_E_PROVIDER_FAILURE = (int)0x80041004,
    WBEM_E_TYPE_MISMATCH = (int)0x80041005,
    WBEM_E_OUT_OF_MEMORY = (int)0x80041006,
    WBEM_E_INVALID_PARAMETER = (int)0x80041008,
    WBEM_E_NOT_AVAILABLE = (int)0x80041009,
    WBEM_E_INVALID_NAMESPACE = (int)0x8004100E,
    WBEM_E_INVALID_CLASS = (int)0x80041010,
    WBEM_E_INVALID_OPERATION = (int)0x80041016,
    WBEM_E_INVALID_QUERY = (int)0x80041017,
    WBEM_E_INVALID_QUERY_TYPE = (int)0x80041018,
    WBEM_E_INVALID_METHOD = (int)0x8004102E,
    WBEM_E_INVALID_OBJECT_PATH = (int)0x8004103A,
};

enum WBEM_FLAVOR_TYPE {
    WBEM_FLAVOR_ORIGIN_LOCAL = 0,
    WBEM_FLAVOR_ORIGIN_PROPAGATED = 0x20,
    WBEM_FLAVOR_ORIGIN_SYSTEM = 0x40,
};

enum WBEM_GENERIC_FLAG_TYPE {
    WBEM_FLAG_RETURN_WBEM_COMPLETE = 0,
    WBEM_FLAG_RETURN_IMMEDIATELY = 0x10,
    WBEM_FLAG_FORWARD_ONLY = 0x20,
};

enum WBEM_TIMEOUT_TYPE { WBEM_NO_WAIT = 0, WBEM_INFINITE = (int)0xFFFFFFFF };

struct IWbemContext;
struct IWbemCallResult;
struct IWbemServices;
struct IWbemClassObject;
struct IEnumWbemClassObject;

struct IWbemClassObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Get(LPCWSTR wszName, long lFlags, VARIANT* pVal,
                                          CIMTYPE* pType, long* plFlavor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Put(LPCWSTR wszName, long lFlags, VARIANT* pVal,
                                          CIMTYPE Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE SpawnInstance(long lFlags,
                                                    IWbemClassObject** ppNewInstance) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR wszName, long lFlags,
                                                IWbemClassObject** ppInSignature,
                                                IWbemClassObject** ppOutSignature) = 0;

  protected:
    ~IWbemClassObject() = default;
};

struct IEnumWbemClassObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(long lTimeout, ULONG uCount,
                                           IWbemClassObject** apObjects, ULONG* puReturned) = 0;

  protected:
    ~IEnumWbemClassObject() = default;
};

struct IWbemServices : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetObject(const BSTR strObjectPath, long lFlags,
                                                IWbemContext* pCtx, IWbemClassObject** ppObject,
                                                IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR strFilter, long lFlags,
                                                         IWbemContext* pCtx,
                                                         IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery,
                                                long lFlags, IWbemContext* pCtx,
                                                IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR strObjectPath, const BSTR strMethodName,
                                                 long lFlags, IWbemContext* pCtx,
                                                 IWbemClassObject* pInParams,
                                                 IWbemClassObject** ppOutParams,
                                                 IWbemCallResult** ppCallResult) = 0;

  protected:
    ~IWbemServices() = default;
};

struct IWbemLocator : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource,
                                                    const BSTR strUser, const BSTR strPassword,
                                                    const BSTR strLocale, long lSecurityFlags,
                                                    const BSTR strAuthority, IWbemContext* pCtx,
                                                    IWbemServices** ppNamespace) = 0;

  protected:
    ~IWbemLocator() = default;
};

extern const CLSID CLSID_WbemLocator;
extern const IID IID_IWbemLocator;
extern const IID IID_IWbemServices;
extern const IID IID_IWbemClassObject;
extern const IID IID_IEnumWbemClassObject;
