// tests/window/win32/win32_icon_test.cpp: the windows' big and small icons are the program icon's own images of those
// sizes.
//
// window_tests carries the program's icon as resource 1 (program_icon.rc), as lumtest.exe does.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/window/win32/win32_handles.h"
#include "win32_window_fixture.h"

namespace lum {
namespace {

using testing_support::Win32Window;
using UniqueBitmap = UniqueResource<Win32Kind<HBITMAP, DeleteObjectFree>>;

// One image's entry in an icon group resource, as the resource compiler stores the .ico file's directory.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width; // 0 for 256
    BYTE height;
    BYTE colors;
    BYTE reserved;
    WORD planes;
    WORD bit_count;
    DWORD bytes;
    WORD id; // the RT_ICON resource that holds the image
};
#pragma pack(pop)

struct ResourceBytes {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};

ResourceBytes resource_bytes(LPCSTR name, LPCSTR type) {
    const HRSRC found = FindResourceA(nullptr, name, type);
    const HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    if (loaded == nullptr) return {};
    return {static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

std::vector<GroupIconEntry> program_icon_entries() {
    const ResourceBytes group = resource_bytes(MAKEINTRESOURCEA(1), RT_GROUP_ICON);
    if (group.size < 6) return {};
    WORD count = 0;
    std::memcpy(&count, group.data + 4, sizeof count);
    std::vector<GroupIconEntry> entries(count);
    if (group.size < 6 + count * sizeof(GroupIconEntry)) return {};
    std::memcpy(entries.data(), group.data + 6, count * sizeof(GroupIconEntry));
    return entries;
}

int side_of(const GroupIconEntry& entry) { return entry.width == 0 ? 256 : entry.width; }

// Pixels as 0xAARRGGBB, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The program icon's image of `side` pixels straight from its resource bytes: a 32-bit bitmap, bottom row
// first, twice as high as the image because the transparency mask follows it.
Image resource_image(int side) {
    for (const GroupIconEntry& entry : program_icon_entries()) {
        if (side_of(entry) != side) continue;
        const ResourceBytes bytes = resource_bytes(MAKEINTRESOURCEA(entry.id), RT_ICON);
        BITMAPINFOHEADER header{};
        if (bytes.size < sizeof header) return {};
        std::memcpy(&header, bytes.data, sizeof header);
        if (header.biBitCount != 32 || header.biWidth != side || header.biHeight != 2 * side) return {};
        Image image{side, side, std::vector<std::uint32_t>(static_cast<std::size_t>(side * side))};
        if (bytes.size < header.biSize + image.pixels.size() * 4) return {};
        for (int row = 0; row < side; ++row) {
            std::memcpy(&image.pixels[static_cast<std::size_t>(row * side)],
                        bytes.data + header.biSize + static_cast<std::size_t>((side - 1 - row) * side) * 4,
                        static_cast<std::size_t>(side) * 4);
        }
        return image;
    }
    return {};
}

// What the icon handle holds: its colour bitmap read back at 32 bits, top row first.
Image icon_image(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return {};
    const UniqueBitmap colour(info.hbmColor);
    const UniqueBitmap mask(info.hbmMask);
    BITMAP shape{};
    if (!colour || GetObjectA(colour.get(), sizeof shape, &shape) == 0) return {};
    Image image{shape.bmWidth, shape.bmHeight,
                std::vector<std::uint32_t>(static_cast<std::size_t>(shape.bmWidth * shape.bmHeight))};
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = shape.bmWidth;
    format.bmiHeader.biHeight = -shape.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, colour.get(), 0, static_cast<UINT>(shape.bmHeight), image.pixels.data(), &format,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == shape.bmHeight ? image : Image{};
}

TEST(ProgramIcon, HoldsExactlyTheSixSizes) {
    std::vector<int> sides;
    for (const GroupIconEntry& entry : program_icon_entries())
        sides.push_back(side_of(entry));
    std::sort(sides.begin(), sides.end());
    EXPECT_EQ(sides, (std::vector<int>{16, 20, 24, 32, 48, 256}));
}

struct IconCase {
    const char* name;
    int class_index;
    int width_metric;
    int height_metric;
};

class Win32Icons : public Win32Window, public ::testing::WithParamInterface<IconCase> {};

// Given one size only, Windows makes the other by scaling, which blurs the small icon in the title bar
// and the taskbar: each must be the icon's own image of the size the system draws.
TEST_P(Win32Icons, ClassIconIsTheResourceImageOfTheSystemsSize) {
    const HWND window = open(0);
    ASSERT_NE(window, nullptr);
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GetParam().class_index));
    ASSERT_NE(icon, nullptr);
    const Image shown = icon_image(icon);
    EXPECT_EQ(shown.width, GetSystemMetrics(GetParam().width_metric));
    EXPECT_EQ(shown.height, GetSystemMetrics(GetParam().height_metric));
    const Image drawn = resource_image(shown.width);
    ASSERT_FALSE(drawn.pixels.empty()) << "the icon has no " << shown.width << "-pixel image";
    EXPECT_TRUE(shown.pixels == drawn.pixels) << "the " << shown.width << "-pixel icon is not the resource's image";
}

INSTANTIATE_TEST_SUITE_P(BothSizes, Win32Icons,
                         ::testing::Values(IconCase{"Small", GCLP_HICONSM, SM_CXSMICON, SM_CYSMICON},
                                           IconCase{"Big", GCLP_HICON, SM_CXICON, SM_CYICON}),
                         testing_support::case_name<IconCase>);

} // namespace
} // namespace lum
