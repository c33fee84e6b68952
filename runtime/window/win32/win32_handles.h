// runtime/window/win32/win32_handles.h: move-only owners of the window layer's Win32 handles.
#pragma once

#include <windows.h>

#include <utility>

namespace lum {

// Owns one handle and frees it with `Free`. reset() forgets the handle before freeing it, so that code
// run while it is freed (a window's WM_NCDESTROY) sees it as gone and does not free it twice.
template <class Handle, class Free> class UniqueWin32 {
public:
    UniqueWin32() = default;
    explicit UniqueWin32(Handle handle) : handle_(handle) {}
    UniqueWin32(UniqueWin32&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueWin32& operator=(UniqueWin32&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueWin32(const UniqueWin32&) = delete;
    UniqueWin32& operator=(const UniqueWin32&) = delete;
    ~UniqueWin32() { reset(); }

    Handle get() const { return handle_; }
    Handle release() { return std::exchange(handle_, nullptr); }
    explicit operator bool() const { return handle_ != nullptr; }

    void reset(Handle handle = nullptr) {
        const Handle old = std::exchange(handle_, handle);
        if (old != nullptr) Free()(old);
    }

private:
    Handle handle_ = nullptr;
};

struct DestroyWindowFree {
    void operator()(HWND window) const { DestroyWindow(window); }
};
struct DeleteObjectFree {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyAcceleratorsFree {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};
struct DestroyIconFree {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

using UniqueWindow = UniqueWin32<HWND, DestroyWindowFree>;
using UniqueFont = UniqueWin32<HFONT, DeleteObjectFree>;
using UniqueBrush = UniqueWin32<HBRUSH, DeleteObjectFree>;
using UniqueAccelerators = UniqueWin32<HACCEL, DestroyAcceleratorsFree>;
using UniqueIcon = UniqueWin32<HICON, DestroyIconFree>;

} // namespace lum
