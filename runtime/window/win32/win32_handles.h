// runtime/window/win32/win32_handles.h: move-only owners of the window layer's Win32 handles.
#pragma once

#include <windows.h>

#include "runtime/common/unique_resource.h"

namespace lum {

// A handle of the window layer: null holds nothing, `Free` gives it back.
template <class Handle, class Free> struct Win32Kind {
    using Native = Handle;
    static constexpr Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void free(Handle handle) { Free()(handle); }
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

using UniqueWindow = UniqueResource<Win32Kind<HWND, DestroyWindowFree>>;
using UniqueFont = UniqueResource<Win32Kind<HFONT, DeleteObjectFree>>;
using UniqueBrush = UniqueResource<Win32Kind<HBRUSH, DeleteObjectFree>>;
using UniqueAccelerators = UniqueResource<Win32Kind<HACCEL, DestroyAcceleratorsFree>>;
using UniqueIcon = UniqueResource<Win32Kind<HICON, DestroyIconFree>>;

} // namespace lum
