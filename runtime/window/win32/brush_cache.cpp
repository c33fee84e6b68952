// runtime/window/win32/brush_cache.cpp: the program-wide list of (colour, brush, use count) behind CachedBrush.
#include "runtime/window/win32/brush_cache.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/window/win32/win32_handles.h"

namespace lum::win32 {
namespace {

struct CacheEntry {
    COLORREF color;
    UniqueBrush brush;
    int uses;
};

// The cache takes its own lock: it is the one piece of the window layer meant to be safe off the main thread.
class BrushCache {
public:
    HBRUSH take(COLORREF color) {
        const std::lock_guard<std::mutex> hold(lock_);
        for (CacheEntry& entry : entries_) {
            if (entry.color != color) continue;
            ++entry.uses;
            return entry.brush.get();
        }
        UniqueBrush brush(CreateSolidBrush(color));
        if (!brush) return nullptr;
        const HBRUSH made = brush.get();
        entries_.push_back({color, std::move(brush), 1});
        return made;
    }

    void give_back(HBRUSH brush) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto found = std::find_if(entries_.begin(), entries_.end(),
                                        [brush](const CacheEntry& entry) { return entry.brush.get() == brush; });
        if (found == entries_.end()) return;
        if (--found->uses == 0) entries_.erase(found);
    }

private:
    std::mutex lock_;
    std::vector<CacheEntry> entries_;
};

// Never destroyed: gadgets still alive when the program exits give their brushes back from the
// destructors of other statics, in an order the language does not fix.
BrushCache& brush_cache() {
    static BrushCache* const cache = new BrushCache;
    return *cache;
}

} // namespace

CachedBrush::CachedBrush(COLORREF color) : UniqueResource(brush_cache().take(color)) {}

void BorrowedBrushKind::free(HBRUSH brush) { brush_cache().give_back(brush); }

} // namespace lum::win32
