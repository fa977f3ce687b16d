// Shared pieces of the src/bios tests: the tool fixture (a simulated machine, stdout capture)
// and hand-written WMI fakes for answers that no machine file can give.
#pragma once

#include "com/com_handles.h"
#include "bios/wtolq_core.h"
#include "sim/machine.h"
#include "simcom/sdk_remainder.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velorin::tool::bios_test {

using tool_fixture::CaptureOutput;

// The src/bios tests decide themselves when the SMBIOS cache is forgotten.
inline void UseMachine(const std::string& text, const std::string& path = "bios_test.machine") {
    tool_fixture::UseMachine(text, path, tool_fixture::SmbiosCache::Keep);
}

// Out-values of every operation, each starting from a recognisable value.
struct Outputs {
    uint16_t number = 0x5555;
    wchar_t a10[10] = L"old";
    wchar_t b10[10] = L"old";
    wchar_t t30[30] = L"old";
    wchar_t text[GET_STRING_DATA_UNITS] = L"old";
    uint8_t raw[RAW_CALL_DATA_BYTES] = {};
};

const uint8_t kRawInput[RAW_CALL_DATA_BYTES] = {1, 2,  3,  4,  5,  6,  7,  8,
                                                9, 10, 11, 12, 13, 14, 15, 16};

// A COM object on the test's stack: Release never deletes, and refs() shows whether every
// reference handed out came back. Against the SDK's headers the methods no test needs answer
// E_NOTIMPL.
template <typename Interface, const IID& kId>
class StackComObject : public velorin::simcom::SdkInterface<Interface>::type {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = riid == IID_IUnknown || riid == kId;
        *object = known ? static_cast<Interface*>(this) : nullptr;
        if (known) AddRef();
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    ULONG refs() const { return refs_; }

  private:
    ULONG refs_ = 0;
};

class FakeClassObject final : public StackComObject<IWbemClassObject, IID_IWbemClassObject> {
  public:
    std::map<std::wstring, UniqueVariant> properties;
    std::map<std::wstring, CIMTYPE> putTypes;
    FakeClassObject* spawned = nullptr;

    VARIANT& Reset(const std::wstring& name, VARTYPE vt) {
        VARIANT& v = properties[name].get();
        VariantClear(&v);
        v.vt = vt;
        return v;
    }
    void SetInt(const std::wstring& name, VARTYPE vt, uint32_t value) {
        Reset(name, vt).ulVal = value;
    }
    void SetBytes(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
        SafeArrayDataLock lock(array);
        std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(lock.data()));
        Reset(name, VT_ARRAY | VT_UI1).parray = array;
    }
    void SetObject(const std::wstring& name, IUnknown* object) {
        object->AddRef();
        Reset(name, VT_UNKNOWN).punkVal = object;
    }

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, long, VARIANT* value, CIMTYPE*, long*) override {
        auto found = properties.find(name);
        if (found == properties.end()) return (HRESULT)WBEM_E_NOT_FOUND;
        VariantInit(value);
        return VariantCopy(value, &found->second.get());
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, long, VARIANT* value, CIMTYPE type) override {
        putTypes[name] = type;
        return VariantCopy(&properties[name].get(), value);
    }
    HRESULT STDMETHODCALLTYPE SpawnInstance(long, IWbemClassObject** instance) override {
        *instance = spawned;
        if (spawned != nullptr) spawned->AddRef();
        return spawned != nullptr ? S_OK : (HRESULT)WBEM_E_FAILED;
    }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, long, IWbemClassObject**,
                                        IWbemClassObject**) override {
        return E_NOTIMPL;
    }
};

// ExecMethod answers with `outParams`; GetObject gives `dataBufferClass`.
class FakeServices final : public StackComObject<IWbemServices, IID_IWbemServices> {
  public:
    FakeClassObject* outParams = nullptr;
    FakeClassObject* dataBufferClass = nullptr;
    std::vector<std::wstring> execMethods;

    HRESULT STDMETHODCALLTYPE GetObject(const BSTR, long, IWbemContext*, IWbemClassObject** object,
                                        IWbemCallResult**) override {
        *object = dataBufferClass;
        if (dataBufferClass != nullptr) dataBufferClass->AddRef();
        return dataBufferClass != nullptr ? S_OK : (HRESULT)WBEM_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, long, IWbemContext*,
                                                 IEnumWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR, const BSTR, long, IWbemContext*,
                                        IEnumWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR method, long, IWbemContext*,
                                         IWbemClassObject*, IWbemClassObject** out,
                                         IWbemCallResult**) override {
        execMethods.emplace_back(method);
        *out = outParams;
        if (outParams != nullptr) outParams->AddRef();
        return S_OK;
    }
};

// Points a never-initialised WTolqCore at fakes, with `signature` as every method's
// in-parameter signature.
inline void ConnectToFakes(WTolqCore& core, FakeServices& services, FakeClassObject& signature) {
    static const wchar_t* const kNames[METHOD_ROW_COUNT] = {
        L"GetRevision", L"Get",         L"Set",       L"Save",
        L"SetPassword", L"EnumSetting", L"GetString", L"LoadDefault"};
    services.AddRef();
    core.services.reset(&services);
    for (int row = 0; row < METHOD_ROW_COUNT; ++row) {
        core.methodNames[row].reset(SysAllocString(kNames[row]));
        signature.AddRef();
        core.inSignatures[row].reset(&signature);
    }
    core.instancePath.reset(SysAllocString(L"BiosManager.InstanceName=\"ACPI\\PNP0C14\\0_0\""));
}

}  // namespace velorin::tool::bios_test
