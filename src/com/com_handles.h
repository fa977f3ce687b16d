// One small owner per platform resource: COM interface pointers, BSTRs, VARIANTs, SAFEARRAYs
// and a SAFEARRAY data lock. Each releases what it holds exactly once; none can be copied.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <utility>

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : ptr_(adopted) {}
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // Releases what is held and hands out the slot for a call that fills it.
    T** put() {
        reset();
        return &ptr_;
    }
    void reset(T* adopted = nullptr) {
        T* old = std::exchange(ptr_, adopted);
        if (old != nullptr) old->Release();
    }
    T* release() { return std::exchange(ptr_, nullptr); }

  private:
    T* ptr_ = nullptr;
};

class UniqueBstr {
  public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR adopted) : bstr_(adopted) {}
    UniqueBstr(UniqueBstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.bstr_, nullptr));
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { reset(); }

    BSTR get() const { return bstr_; }
    explicit operator bool() const { return bstr_ != nullptr; }
    void reset(BSTR adopted = nullptr) {
        BSTR old = std::exchange(bstr_, adopted);
        if (old != nullptr) SysFreeString(old);
    }
    BSTR release() { return std::exchange(bstr_, nullptr); }

  private:
    BSTR bstr_ = nullptr;
};

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

class UniqueSafeArray {
  public:
    UniqueSafeArray() = default;
    explicit UniqueSafeArray(SAFEARRAY* adopted) : array_(adopted) {}
    UniqueSafeArray(const UniqueSafeArray&) = delete;
    UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
    ~UniqueSafeArray() { reset(); }

    SAFEARRAY* get() const { return array_; }
    explicit operator bool() const { return array_ != nullptr; }
    void reset(SAFEARRAY* adopted = nullptr) {
        SAFEARRAY* old = std::exchange(array_, adopted);
        if (old != nullptr) SafeArrayDestroy(old);
    }
    SAFEARRAY* release() { return std::exchange(array_, nullptr); }

  private:
    SAFEARRAY* array_ = nullptr;
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
