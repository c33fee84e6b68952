// runtime/window/win32/message_box.cpp: message boxes on the Windows desktop.
#include <windows.h>

#include <string>

#include "runtime/window/window.h"

namespace lum {

std::int32_t message_box(std::string_view title, std::string_view text, std::uint32_t style) {
    const std::string title_text(title);
    const std::string body_text(text);
    // No window of the program may be used while the box is up; with no owner, MB_TASKMODAL disables them all.
    return MessageBoxA(nullptr, body_text.c_str(), title_text.c_str(), style | MB_OK | MB_TASKMODAL);
}

} // namespace lum
