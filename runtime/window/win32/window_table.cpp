// runtime/window/win32/window_table.cpp: numbered windows: opening one with its own class, and closing it.
#include <string>

#include "runtime/window/events.h"
#include "runtime/window/geometry.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace win32 {
namespace {

bool register_window_class(const std::string& name) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hIcon = class_resources().big_icon.get();
    window_class.hIconSm = class_resources().small_icon.get();
    window_class.hCursor = class_resources().cursor;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
    window_class.lpszClassName = name.c_str();
    return RegisterClassExA(&window_class) != 0;
}

Rect rect_of(HWND window) {
    RECT box{};
    if (window == nullptr || !GetWindowRect(window, &box)) return {};
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

// Where the frame goes: the screen, or the parent (else the active window) for parent-centred windows.
Placement frame_placement(std::uint32_t flags, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          const WindowStyle& style, HWND parent) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style.style, FALSE, style.extended);
    const Size outer_size{outer.right - outer.left, outer.bottom - outer.top};
    const Size screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const Rect reference = rect_of(parent != nullptr ? parent : GetActiveWindow());
    return place_window(flags, x, y, outer_size, screen, reference);
}

HWND create_frame(const std::string& class_name, std::string_view title, const WindowStyle& style,
                  const Placement& where, HWND parent) {
    const std::string title_text(title);
    const Rect& frame = where.frame;
    return CreateWindowExA(style.extended, class_name.c_str(), title_text.c_str(), style.style,
                           where.platform_chooses ? CW_USEDEFAULT : frame.x,
                           where.platform_chooses ? CW_USEDEFAULT : frame.y, frame.width, frame.height, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void show_new_window(WindowRecord& record, const WindowStyle& style) {
    record.minimized_or_maximized = (style.style & (WS_MAXIMIZE | WS_MINIMIZE)) != 0;
    if (style.hidden) return;
    if ((style.style & WS_MAXIMIZE) != 0) {
        ShowWindow(record.window.get(), SW_SHOWMAXIMIZED);
    } else if ((style.style & WS_MINIMIZE) != 0) {
        ShowWindow(record.window.get(), SW_SHOWMINIMIZED);
    } else {
        ShowWindow(record.window.get(), SW_SHOWNORMAL);
    }
}

UniqueAccelerators make_keyboard_table() {
    ACCEL entries[] = {
        {FVIRTKEY | FNOINVERT, VK_TAB, COMMAND_NEXT_CONTROL},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, COMMAND_PREVIOUS_CONTROL},
    };
    return UniqueAccelerators(CreateAcceleratorTableA(entries, 2));
}

} // namespace

ObjectTable<WindowRecord>& window_table() {
    static ObjectTable<WindowRecord> table(16);
    return table;
}

WindowRecord::~WindowRecord() {
    if (window) {
        // Activate the owner first, or the system hands activation to some other program's window.
        const HWND owner = GetWindow(window.get(), GW_OWNER);
        if (owner != nullptr) SetActiveWindow(owner);
        if (gadget_list().window == window.get()) gadget_list().window = nullptr;
        window.reset();
    }
    if (!class_name.empty()) UnregisterClassA(class_name.c_str(), GetModuleHandleA(nullptr));
    keyboard.reset();
    background.reset();
    events().drop_window(number);
}

WindowRecord* window_record_of(HWND window) {
    const HWND desktop = GetDesktopWindow();
    for (HWND at = window; at != nullptr && at != desktop; at = GetAncestor(at, GA_PARENT)) {
        if (auto* record = static_cast<WindowRecord*>(GetPropA(at, WINDOW_PROPERTY))) return record;
    }
    return nullptr;
}

HWND window_handle(ObjectNumber number) {
    const WindowRecord* record = window_table().find(number);
    return record != nullptr ? record->window.get() : nullptr;
}

} // namespace win32

std::intptr_t open_window(ObjectNumber number, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                          std::string_view title, std::uint32_t flags, std::intptr_t parent) {
    using namespace win32;
    const auto placed = window_table().place(number, std::make_unique<WindowRecord>());
    if (placed.object == nullptr) return 0;
    WindowRecord& record = *placed.object;
    record.number = placed.number;
    const std::string class_name = "WindowClass_" + std::to_string(placed.number);
    if (!register_window_class(class_name)) {
        window_table().free(placed.number);
        return 0;
    }
    record.class_name = class_name;
    const WindowStyle style = window_style(flags);
    const auto parent_window = reinterpret_cast<HWND>(parent);
    const Placement where = frame_placement(flags, x, y, width, height, style, parent_window);
    record.window.reset(create_frame(class_name, title, style, where, parent_window));
    if (!record.window) {
        window_table().free(placed.number);
        return 0;
    }
    record.tool = (flags & WINDOW_TOOL) != 0;
    SetPropA(record.window.get(), WINDOW_PROPERTY, &record);
    show_new_window(record, style);
    record.keyboard = make_keyboard_table();
    if ((flags & WINDOW_NO_GADGET_LIST) == 0) gadget_list().window = record.window.get();
    return number == ANY_NUMBER ? placed.number : reinterpret_cast<std::intptr_t>(record.window.get());
}

void close_window(ObjectNumber number) { win32::window_table().free(number); }

} // namespace lum
