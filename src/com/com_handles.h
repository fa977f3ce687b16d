// One small owner per platform resource: COM interface pointers, BSTRs, SAFEARRAYs (all three
// instances of one owner of a handle-like value), VARIANTs, a SAFEARRAY data lock and the COM
// initialisation of a thread. Each releases what it holds exactly once; none can be copied.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <utility>

// Owns one handle of the kind `Traits` describes: `Traits::Handle` is its type, null means
// none, and `Traits::Free` releases a non-null one.
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle adopted) : handle_(adopted) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    Handle operator->() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Releases what is held and hands out the slot for a call that fills it.
    Handle* put() {
        reset();
        return &handle_;
    }
    void reset(Handle adopted = nullptr) {
        Handle old = std::exchange(handle_, adopted);
        if (old != nullptr) Traits::Free(old);
    }
    Handle release() { return std::exchange(handle_, nullptr); }

  private:
    Handle handle_ = nullptr;
};

template <typename Interface>
struct ComReference {
    using Handle = Interface*;
    static void Free(Interface* object) { object->Release(); }
};

struct BstrAllocation {
    using Handle = BSTR;
    static void Free(BSTR text) { SysFreeString(text); }
};

struct SafeArrayAllocation {
    using Handle = SAFEARRAY*;
    static void Free(SAFEARRAY* array) { SafeArrayDestroy(array); }
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
