// One small owner per platform resource: COM interface pointers, BSTRs, SAFEARRAYs (all three
// instances of one owner of a handle-like value), VARIANTs, a SAFEARRAY data lock and the COM
// initialisation of a thread. Each releases what it holds exactly once; none can be copied.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include "com/unique_handle.h"

#include <utility>

namespace velorin {

template <typename Interface>
struct ComReference : NullIsNone<Interface*> {
    static bool Free(Interface* object) {
        object->Release();
        return true;
    }
};

struct BstrAllocation : NullIsNone<BSTR> {
    static bool Free(BSTR text) {
        SysFreeString(text);
        return true;
    }
};

struct SafeArrayAllocation : NullIsNone<SAFEARRAY*> {
    static bool Free(SAFEARRAY* array) { return SUCCEEDED(SafeArrayDestroy(array)); }
};

// One reference to a COM object.
template <typename Interface>
using ComPtr = UniqueHandle<ComReference<Interface>>;
using UniqueBstr = UniqueHandle<BstrAllocation>;
using UniqueSafeArray = UniqueHandle<SafeArrayAllocation>;

class UniqueVariant {
  public:
    UniqueVariant() { VariantInit(&var_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&var_); }

    VARIANT& get() { return var_; }
    const VARIANT& get() const { return var_; }
    // Clears what is held and hands out the VARIANT for a call that fills it.
    VARIANT* put() {
        reset();
        return &var_;
    }
    void reset() { VariantClear(&var_); }

  private:
    VARIANT var_;
};

// Holds SafeArrayAccessData for as long as it lives.
class SafeArrayDataLock {
  public:
    explicit SafeArrayDataLock(SAFEARRAY* array) : array_(array) {
        status_ = SafeArrayAccessData(array_, &data_);
    }
    SafeArrayDataLock(const SafeArrayDataLock&) = delete;
    SafeArrayDataLock& operator=(const SafeArrayDataLock&) = delete;
    ~SafeArrayDataLock() {
        if (SUCCEEDED(status_)) SafeArrayUnaccessData(array_);
    }

    HRESULT status() const { return status_; }
    const void* data() const { return data_; }
    void* data() { return data_; }

  private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
    HRESULT status_;
};

// The calling thread's CoInitializeEx in the multithreaded apartment, balanced by one
// CoUninitialize when it succeeded. Declare it before the COM objects it serves, so that it
// outlives them.
class ComApartment {
  public:
    ComApartment() : status_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(status_)) CoUninitialize();
    }

    // What CoInitializeEx answered; S_FALSE (already initialised on this thread) counts as
    // success and is balanced too.
    HRESULT status() const { return status_; }
    bool Initialized() const { return SUCCEEDED(status_); }

  private:
    HRESULT status_;
};

}  // namespace velorin
