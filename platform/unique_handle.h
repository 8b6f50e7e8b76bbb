// UniqueHandle<Traits>: the one owner of an operating-system handle, closed
// when the owner goes (move-only). The traits say what the handle is and how
// it is closed:
//   struct Traits {
//       using Handle = ...;
//       static Handle Invalid();        // what an empty owner holds
//       static bool Valid(Handle);      // false for every "no handle" value
//       static bool Close(Handle);      // true when the close succeeded
//   };
// Win32 handles, find handles and GDI objects: platform/handles_win32.h.
#pragma once

#include <utility>

namespace qm {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    bool Valid() const noexcept { return Traits::Valid(handle_); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives up ownership without closing (for an API that takes it over).
    Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    // Closes what is held (unless it is `handle` itself) and holds `handle`.
    void Reset(Handle handle = Traits::Invalid()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != handle && Traits::Valid(old)) Traits::Close(old);
    }
    // Closes what is held and gives the address of the empty slot, for a call
    // that hands back a new handle through a pointer.
    Handle* Out() noexcept {
        Reset();
        return &handle_;
    }
    // Closes now; false only when there was a handle and closing it failed.
    bool Close() noexcept {
        const Handle old = Release();
        return !Traits::Valid(old) || Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Invalid();
};

}  // namespace qm
