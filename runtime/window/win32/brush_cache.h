// runtime/window/win32/brush_cache.h: solid brushes shared by every gadget of the same back colour.
#pragma once

#include <windows.h>

namespace lum::win32 {

// A brush of one colour borrowed from the program-wide cache; it goes back (and is deleted with its
// last user) when this object is reset or dropped.
class CachedBrush {
public:
    CachedBrush() = default;
    explicit CachedBrush(COLORREF color);
    CachedBrush(CachedBrush&& other) noexcept;
    CachedBrush& operator=(CachedBrush&& other) noexcept;
    CachedBrush(const CachedBrush&) = delete;
    CachedBrush& operator=(const CachedBrush&) = delete;
    ~CachedBrush() { reset(); }

    HBRUSH get() const { return brush_; }
    void reset();

private:
    HBRUSH brush_ = nullptr;
};

} // namespace lum::win32
