// runtime/window/win32/window_layer.cpp: the window layer's start (common controls, COM, icon, cursor) and its end.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "runtime/window/events.h"
#include "runtime/window/window.h"
#include "runtime/window/win32/window_records.h"

namespace lum {
namespace win32 {

ClassResources& class_resources() {
    static ClassResources resources;
    return resources;
}

} // namespace win32

void window_layer_start() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_HOTKEY_CLASS | ICC_TAB_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
    win32::ClassResources& resources = win32::class_resources();
    // Test programs carry no icon resource; their windows simply get none.
    resources.icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    resources.cursor = LoadCursorA(nullptr, IDC_ARROW);
    win32::gadget_list();
}

void close_all_windows() {
    win32::window_table().free_all();
    events().clear();
}

} // namespace lum
