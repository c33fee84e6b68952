// runtime/window/headless/fonts.cpp: fonts of the headless build: what was asked for, at a 96-dpi display.
#include <memory>

#include "runtime/window/geometry.h"
#include "runtime/window/headless/records.h"
#include "runtime/window/window.h"

namespace lum {
namespace {

constexpr std::int32_t DISPLAY_DPI = 96;

} // namespace

std::intptr_t load_font(ObjectNumber number, std::string_view face, std::int32_t size, std::uint32_t flags) {
    auto record = std::make_unique<headless::FontRecord>();
    record->face = face;
    record->size = size;
    record->flags = flags;
    record->height = font_character_height(size, DISPLAY_DPI);
    const auto placed = headless::font_table().place(number, std::move(record));
    if (placed.object == nullptr) return 0;
    const auto handle = reinterpret_cast<std::intptr_t>(placed.object);
    return number == ANY_NUMBER ? placed.number : handle;
}

std::intptr_t font_handle(ObjectNumber number) {
    return reinterpret_cast<std::intptr_t>(headless::font_table().find(number));
}

} // namespace lum
