// tests/window/win32/win32_gadgets_test.cpp: colours as the control sees them and on screen, shared brushes, fonts.
#include <cstring>
#include <string>

#include "runtime/window/geometry.h"
#include "runtime/window/inspect.h"
#include "win32_window_fixture.h"

namespace lum {
namespace {

using testing_support::Win32Window;

constexpr COLORREF UNTOUCHED = RGB(1, 2, 3);

// What the window answers when the text control asks for its colours before painting.
struct ColorAnswer {
    LRESULT brush;
    COLORREF text;
    COLORREF background;
};

ColorAnswer ask_colors(HWND window, HWND control, bool platform_default = false) {
    const HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, UNTOUCHED);
    SetBkColor(dc, UNTOUCHED);
    const auto wparam = reinterpret_cast<WPARAM>(dc);
    const auto lparam = reinterpret_cast<LPARAM>(control);
    const LRESULT brush = platform_default ? DefWindowProcA(window, WM_CTLCOLORSTATIC, wparam, lparam)
                                           : SendMessageA(window, WM_CTLCOLORSTATIC, wparam, lparam);
    const ColorAnswer answer{brush, GetTextColor(dc), GetBkColor(dc)};
    DeleteDC(dc);
    return answer;
}

COLORREF brush_color(LRESULT brush) {
    LOGBRUSH description{};
    GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof(description), &description);
    return description.lbColor;
}

struct ColorCase {
    const char* name;
    std::int32_t front;
    std::int32_t back;
};

class Win32TextColors : public Win32Window, public ::testing::WithParamInterface<ColorCase> {};

TEST_P(Win32TextColors, ColourRequestIsAnsweredFromTheStoredColours) {
    const HWND window = open(0);
    const auto control = reinterpret_cast<HWND>(create_text_gadget(1, 10, 10, 580, 40, "Row"));
    const ColorCase& c = GetParam();
    set_gadget_color(1, GADGET_COLOR_FRONT, c.front);
    set_gadget_color(1, GADGET_COLOR_BACK, c.back);
    EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_FRONT), c.front);
    EXPECT_EQ(get_gadget_color(1, GADGET_COLOR_BACK), c.back);
    const ColorAnswer got = ask_colors(window, control);
    if (c.front == DEFAULT_VALUE && c.back == DEFAULT_VALUE) {
        const ColorAnswer platform = ask_colors(window, control, true);
        EXPECT_EQ(got.brush, platform.brush);
        EXPECT_EQ(got.text, platform.text);
        EXPECT_EQ(got.background, platform.background);
        return;
    }
    EXPECT_EQ(got.text, c.front == DEFAULT_VALUE ? UNTOUCHED : static_cast<COLORREF>(c.front));
    if (c.back == DEFAULT_VALUE) {
        EXPECT_EQ(got.brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE)));
        EXPECT_EQ(got.background, GetSysColor(COLOR_3DFACE));
    } else {
        EXPECT_EQ(brush_color(got.brush), static_cast<COLORREF>(c.back));
        EXPECT_EQ(got.background, static_cast<COLORREF>(c.back));
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, Win32TextColors,
                         ::testing::Values(ColorCase{"Defaults", -1, -1}, ColorCase{"PassedGreen", 0x008000, -1},
                                           ColorCase{"FailedRed", 0x000080, -1}, ColorCase{"SkippedBlue", 0x800000, -1},
                                           ColorCase{"BackOnly", -1, 0x00FFFF},
                                           ColorCase{"FrontAndBack", 0x000080, 0x800000}),
                         testing_support::case_name<ColorCase>);

class Win32Gadgets : public Win32Window {};

// Gadgets of one back colour share a brush, which goes with its last user, also when the window goes.
TEST_F(Win32Gadgets, BackBrushIsSharedAndDeletedWithItsLastUser) {
    const HWND window = open(0);
    const auto one = reinterpret_cast<HWND>(create_text_gadget(1, 10, 10, 100, 20, "One"));
    const auto two = reinterpret_cast<HWND>(create_text_gadget(2, 10, 40, 100, 20, "Two"));
    const auto three = reinterpret_cast<HWND>(create_text_gadget(3, 10, 70, 100, 20, "Three"));
    set_gadget_color(1, GADGET_COLOR_BACK, 0x00FFFF);
    set_gadget_color(2, GADGET_COLOR_BACK, 0x00FFFF);
    set_gadget_color(3, GADGET_COLOR_BACK, 0xFF00FF);
    const LRESULT shared = ask_colors(window, one).brush;
    EXPECT_EQ(ask_colors(window, two).brush, shared);
    const LRESULT own = ask_colors(window, three).brush;
    EXPECT_NE(own, shared);
    set_gadget_color(1, GADGET_COLOR_BACK, DEFAULT_VALUE);
    EXPECT_NE(GetObjectType(reinterpret_cast<HGDIOBJ>(shared)), 0u) << "still used by gadget 2";
    set_gadget_color(2, GADGET_COLOR_BACK, DEFAULT_VALUE);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(shared)), 0u);
    close_window(0);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(own)), 0u) << "the destroyed control kept its brush";
    EXPECT_EQ(get_gadget_color(3, GADGET_COLOR_BACK), DEFAULT_VALUE) << "the gadget's slot outlived its control";
    EXPECT_EQ(get_gadget_text(3), "");
}

TEST_F(Win32Gadgets, ReusedNumberDestroysTheOldControlOnce) {
    open(0);
    const auto old = reinterpret_cast<HWND>(create_text_gadget(1, 10, 10, 100, 20, "Old"));
    set_gadget_color(1, GADGET_COLOR_BACK, 0x123456);
    const auto replacement = reinterpret_cast<HWND>(create_button_gadget(1, 10, 10, 100, 20, "New"));
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(GetDlgCtrlID(replacement), 1);
}

// Pixels of exactly `color` that the control shows now, copied from its window.
int count_pixels(HWND control, COLORREF color) {
    RECT box{};
    GetClientRect(control, &box);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), box.right, -box.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP copy = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(memory, copy);
    const HDC screen = GetDC(control);
    BitBlt(memory, 0, 0, box.right, box.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(control, screen);
    GdiFlush();
    const DWORD wanted = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    const auto* pixel = static_cast<const DWORD*>(bits);
    int found = 0;
    for (LONG i = 0; i < box.right * box.bottom; ++i)
        found += (pixel[i] & 0xFFFFFF) == wanted ? 1 : 0;
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(copy);
    return found;
}

// The script changes rows while it handles no messages: a new colour or text must be on screen at once.
TEST_F(Win32Gadgets, ColourAndTextChangesArePaintedAtOnce) {
    open(0);
    load_font(0, "Arial", 16);
    set_gadget_font(DEFAULT_VALUE, font_handle(0));
    const auto row = reinterpret_cast<HWND>(create_text_gadget(1, 10, 10, 580, 40, "Test 1 -- OK"));
    drain_events();
    EXPECT_EQ(count_pixels(row, 0x008000), 0);
    set_gadget_color(1, GADGET_COLOR_FRONT, 0x008000);
    EXPECT_GE(count_pixels(row, 0x008000), 40) << "the new colour is not on screen";
    EXPECT_FALSE(GetUpdateRect(row, nullptr, FALSE));
    const int short_text = count_pixels(row, 0x008000);
    set_gadget_text(1, "Test 1 -- OK, and a longer text");
    EXPECT_GT(count_pixels(row, 0x008000), short_text) << "the new text is not on screen";
}

TEST_F(Win32Gadgets, SunkenFlagGivesTheStaticEdge) {
    open(0);
    const auto plain = reinterpret_cast<HWND>(create_text_gadget(1, 10, 10, 100, 20, "Plain"));
    const auto sunken = reinterpret_cast<HWND>(create_text_gadget(2, 10, 40, 100, 20, "Sunken", 0x20000));
    EXPECT_EQ(GetWindowLongPtrA(plain, GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
    EXPECT_NE(GetWindowLongPtrA(sunken, GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
    EXPECT_EQ(GetWindowLongPtrA(plain, GWL_STYLE) & 0x50020000, 0x50020000);
}

int display_dpi() {
    const HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    const int dpi = GetDeviceCaps(display, LOGPIXELSY);
    DeleteDC(display);
    return dpi;
}

struct FontCase {
    const char* name;
    std::uint32_t flags;
    LONG weight;
    bool italic;
    bool underline;
    bool strikeout;
    BYTE quality;
};

class Win32Fonts : public Win32Window, public ::testing::WithParamInterface<FontCase> {};

TEST_P(Win32Fonts, FontIsMadeAsAsked) {
    const FontCase& c = GetParam();
    const auto font = reinterpret_cast<HFONT>(load_font(2, "Arial", 16, c.flags));
    ASSERT_NE(font, nullptr);
    LOGFONTA made{};
    ASSERT_NE(GetObjectA(font, sizeof(made), &made), 0);
    EXPECT_EQ(made.lfHeight, font_character_height(16, display_dpi()));
    EXPECT_EQ(font_height(2), made.lfHeight);
    EXPECT_EQ(made.lfWeight, c.weight);
    EXPECT_EQ(made.lfItalic != 0, c.italic);
    EXPECT_EQ(made.lfUnderline != 0, c.underline);
    EXPECT_EQ(made.lfStrikeOut != 0, c.strikeout);
    EXPECT_EQ(made.lfQuality, c.quality);
    EXPECT_EQ(made.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(made.lfFaceName, "Arial");
}

INSTANTIATE_TEST_SUITE_P(
    Flags, Win32Fonts,
    ::testing::Values(FontCase{"Plain", 0, FW_NORMAL, false, false, false, DEFAULT_QUALITY},
                      FontCase{"Bold", FONT_BOLD, FW_BOLD, false, false, false, DEFAULT_QUALITY},
                      FontCase{"Italic", FONT_ITALIC, FW_NORMAL, true, false, false, DEFAULT_QUALITY},
                      FontCase{"Underline", FONT_UNDERLINE, FW_NORMAL, false, true, false, DEFAULT_QUALITY},
                      FontCase{"Strikeout", FONT_STRIKEOUT, FW_NORMAL, false, false, true, DEFAULT_QUALITY},
                      FontCase{"HighQuality", FONT_HIGH_QUALITY, FW_NORMAL, false, false, false, PROOF_QUALITY}),
    testing_support::case_name<FontCase>);

TEST_F(Win32Gadgets, FontsAreDeletedWhenReplacedAndAtTeardown) {
    const auto first = reinterpret_cast<HGDIOBJ>(load_font(0, "Arial", 16));
    const auto second = reinterpret_cast<HGDIOBJ>(load_font(0, "Arial", 10));
    const auto other = reinterpret_cast<HGDIOBJ>(load_font(1, "Arial", 12));
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(font_handle(0), reinterpret_cast<std::intptr_t>(second));
    free_all_fonts();
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(GetObjectType(other), 0u);
    EXPECT_EQ(font_handle(1), 0);
}

} // namespace
} // namespace lum
