#pragma once
// Owners for the handles the program holds: each is released exactly once, by its own call.

#include "win32/windows_api.h"

#include <utility>

namespace zelto {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::Valid(handle_); }

    void reset(Handle handle = Traits::Invalid()) {
        if (Traits::Valid(handle_)) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }

private:
    Handle handle_ = Traits::Invalid();
};

// Files and devices: CreateFileW gives INVALID_HANDLE_VALUE, other calls a null handle.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// Fonts, brushes and bitmaps.
template <class Object>
struct GdiObjectTraits {
    using Handle = Object;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DeleteObject(handle); }
};
using FontHandle = UniqueHandle<GdiObjectTraits<HFONT>>;
using BrushHandle = UniqueHandle<GdiObjectTraits<HBRUSH>>;

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DestroyIcon(handle); }
};
using IconHandle = UniqueHandle<IconTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DestroyMenu(handle); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DestroyWindow(handle); }
};
using WindowHandle = UniqueHandle<WindowTraits>;

}  // namespace zelto
