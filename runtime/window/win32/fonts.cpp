// runtime/window/win32/fonts.cpp: numbered fonts made at the display's resolution.
#include <string>

#include "runtime/window/geometry.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace win32 {
namespace {

// Dots per inch of the display, from a device context of its own; 0 when none can be made.
int display_dpi() {
    const HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (display == nullptr) return 0;
    const int dpi = GetDeviceCaps(display, LOGPIXELSY);
    DeleteDC(display);
    return dpi;
}

HFONT create_font(std::string_view face, std::int32_t size, std::uint32_t flags, int dpi) {
    const std::string face_name(face);
    return CreateFontA(font_character_height(size, dpi), 0, 0, 0, (flags & FONT_BOLD) != 0 ? FW_BOLD : FW_NORMAL,
                       (flags & FONT_ITALIC) != 0, (flags & FONT_UNDERLINE) != 0, (flags & FONT_STRIKEOUT) != 0,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       (flags & FONT_HIGH_QUALITY) != 0 ? PROOF_QUALITY : DEFAULT_QUALITY, 0, face_name.c_str());
}

} // namespace

ObjectTable<UniqueFont>& font_table() {
    static ObjectTable<UniqueFont> table(16);
    return table;
}

} // namespace win32

std::intptr_t load_font(ObjectNumber number, std::string_view face, std::int32_t size, std::uint32_t flags) {
    using namespace win32;
    // The slot is taken first: an older font of the same number goes even when the new one fails.
    const auto placed = font_table().place(number, std::make_unique<UniqueFont>());
    if (placed.object == nullptr) return 0;
    const int dpi = display_dpi();
    if (dpi != 0) placed.object->reset(create_font(face, size, flags, dpi));
    if (!*placed.object) {
        font_table().free(placed.number);
        return 0;
    }
    return number == ANY_NUMBER ? placed.number : reinterpret_cast<std::intptr_t>(placed.object->get());
}

std::intptr_t font_handle(ObjectNumber number) {
    const UniqueFont* font = win32::font_table().find(number);
    return font != nullptr ? reinterpret_cast<std::intptr_t>(font->get()) : 0;
}

void free_all_fonts() { win32::font_table().free_all(); }

} // namespace lum
