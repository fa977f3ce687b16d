// One owner for every handle-like resource: a COM reference, a BSTR, a SAFEARRAY, a file.
// Header only and free of platform headers, so that any layer can describe its own kind.
#pragma once

#include <utility>

namespace velorin {

// Owns one handle of the kind `Traits` describes: `Traits::Handle` is its type,
// `Traits::None()` the value that holds nothing, and `Traits::Free` releases any other value,
// answering whether that succeeded.
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle adopted) : handle_(adopted) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    Handle operator->() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    // Releases what is held and hands out the slot for a call that fills it.
    Handle* put() {
        reset();
        return &handle_;
    }
    void reset(Handle adopted = Traits::None()) {
        const Handle old = std::exchange(handle_, adopted);
        if (old != Traits::None()) Traits::Free(old);
    }
    Handle release() { return std::exchange(handle_, Traits::None()); }
    // Releases what is held now and answers whether that succeeded (true when nothing was
    // held), for a caller that must know, such as the writer of a file.
    bool close() {
        const Handle old = release();
        return old == Traits::None() || Traits::Free(old);
    }

  private:
    Handle handle_ = Traits::None();
};

// The kinds whose empty value is a null pointer.
template <typename Pointer>
struct NullIsNone {
    using Handle = Pointer;
    static Handle None() { return nullptr; }
};

}  // namespace velorin
