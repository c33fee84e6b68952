// runtime/common/unique_resource.h: one owner for every kind of system handle: moved, never copied, freed with it.
#pragma once

#include <utility>

namespace lum {

// `Kind` says what a handle is and how it goes:
//   using Native = ...;           the handle as the system gives it
//   static Native none();         the value that holds nothing
//   static bool holds(Native);    false for every value that holds nothing (some kinds have two)
//   static void free(Native);     gives a held handle back to the system
// reset() forgets the handle before freeing it, so that code run while it is freed (a window's
// WM_NCDESTROY, say) sees it as gone and does not free it twice.
template <class Kind> class UniqueResource {
public:
    using Native = typename Kind::Native;

    UniqueResource() = default;
    explicit UniqueResource(Native native) : native_(native) {}
    UniqueResource(UniqueResource&& other) noexcept : native_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Native get() const { return native_; }
    Native release() { return std::exchange(native_, Kind::none()); }
    explicit operator bool() const { return Kind::holds(native_); }

    void reset(Native native = Kind::none()) {
        const Native old = std::exchange(native_, native);
        if (Kind::holds(old)) Kind::free(old);
    }

private:
    Native native_ = Kind::none();
};

} // namespace lum
