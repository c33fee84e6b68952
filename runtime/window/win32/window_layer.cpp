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

namespace {

// The icon resource's own image of the size that the system metrics `width_metric` and `height_metric`
// give: with only the big icon, Windows would shrink its 32-pixel image for the title bar and the
// taskbar, blurred. Not shared, since the shared copy is whichever size was asked for first.
HICON load_program_icon(int width_metric, int height_metric) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON,
                                         GetSystemMetrics(width_metric), GetSystemMetrics(height_metric), 0));
}

} // namespace
} // namespace win32

void window_layer_start() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_HOTKEY_CLASS | ICC_TAB_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
    win32::ClassResources& resources = win32::class_resources();
    // Most test programs carry no icon resource; their windows simply get none.
    if (!resources.big_icon) resources.big_icon.reset(win32::load_program_icon(SM_CXICON, SM_CYICON));
    if (!resources.small_icon) resources.small_icon.reset(win32::load_program_icon(SM_CXSMICON, SM_CYSMICON));
    resources.cursor = LoadCursorA(nullptr, IDC_ARROW);
    win32::gadget_list();
}

void close_all_windows() {
    win32::window_table().free_all();
    events().clear();
}

} // namespace lum
