// runtime/process/win32/unique_handle.h: a Win32 handle owned by one object and closed with it.
#pragma once

#include <windows.h>

#include "runtime/common/unique_resource.h"

namespace lum {

// Failed calls give either null or INVALID_HANDLE_VALUE, depending on the call: neither is closed.
struct HandleKind {
    using Native = HANDLE;
    static constexpr HANDLE none() { return nullptr; }
    static bool holds(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void free(HANDLE handle) { CloseHandle(handle); }
};

using UniqueHandle = UniqueResource<HandleKind>;

} // namespace lum
