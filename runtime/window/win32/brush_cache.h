// runtime/window/win32/brush_cache.h: solid brushes shared by every gadget of the same back colour.
#pragma once

#include <windows.h>

#include "runtime/common/unique_resource.h"

namespace lum::win32 {

// A brush borrowed from the program-wide cache: freeing it gives it back, and the cache deletes it
// with its last user.
struct BorrowedBrushKind {
    using Native = HBRUSH;
    static constexpr HBRUSH none() { return nullptr; }
    static bool holds(HBRUSH brush) { return brush != nullptr; }
    static void free(HBRUSH brush);
};

// A brush of one colour from the cache; it goes back when this object is reset or dropped.
class CachedBrush : public UniqueResource<BorrowedBrushKind> {
public:
    CachedBrush() = default;
    explicit CachedBrush(COLORREF color);
};

} // namespace lum::win32
