// The drawing layer: checked handles, colour formats and clipped transfers.
#include <gtest/gtest.h>

#include <vector>

#include "glyphrun/gdi.h"
#include "guarded_buffer.h"
#include "screen_depth.h"

namespace glyphrun {
namespace {

using testing::ScreenDepth;

// Handles and bitmap sizes are checked, and nothing leaks.
TEST(Gdi, HandlesAndSizesAreCheckedAndNothingLeaks) {
    const int before = CountGdiObjects();
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ASSERT_TRUE(screen && memory && bitmap);
    const HGDIOBJ stock = SelectObject(memory, bitmap);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(DeleteObject(bitmap), 0);  // still selected
    EXPECT_EQ(DeleteObject(stock), 0);   // stock objects stay
    const HDC other = CreateCompatibleDC(screen);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);  // selected elsewhere
    EXPECT_EQ(SelectObject(memory, stock), bitmap);
    EXPECT_EQ(DeleteObject(bitmap), 1);
    EXPECT_EQ(DeleteObject(bitmap), 0);                                         // stale now
    EXPECT_EQ(SetPixel(memory, 0, 0, RGB(200, 200, 200)), RGB(255, 255, 255));  // the 1 x 1 monochrome stock bitmap
    EXPECT_EQ(SelectObject(memory, bitmap), nullptr);
    BITMAP description;
    EXPECT_EQ(GetObject(bitmap, sizeof description, &description), 0);
    EXPECT_EQ(SetPixel(nullptr, 0, 0, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(reinterpret_cast<HDC>(bitmap), 0, 0, 0), CLR_INVALID);  // not a context
    EXPECT_EQ(GetDIBits(screen, nullptr, 0, 1, nullptr, nullptr, DIB_RGB_COLORS), 0);
    EXPECT_EQ(SetDIBitsToDevice(memory, 0, 0, 1, 1, 0, 0, 0, 1, nullptr, nullptr, DIB_RGB_COLORS), 0);
    for (auto [w, h] : {std::pair{0, 5}, {5, -1}, {100000, 100000}, {2147483647, 2}})
        EXPECT_EQ(CreateCompatibleBitmap(screen, w, h), nullptr) << w << "x" << h;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 70000, 70000, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = &info;
    EXPECT_EQ(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(DeleteDC(other), 1);
    EXPECT_EQ(DeleteDC(memory), 1);
    EXPECT_EQ(DeleteDC(memory), 0);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    EXPECT_EQ(CountGdiObjects(), before);
}

TEST(Gdi, ColoursAtEveryScreenDepth) {
    const COLORREF orange = RGB(250, 130, 7);
    for (auto [depth, expected] :
         {std::pair{32, orange}, {24, orange}, {16, RGB(255, 132, 0)}, {8, RGB(255, 153, 0)}}) {
        ScreenDepth screenDepth(depth);
        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, 3, 2);
        SelectObject(memory, bitmap);
        EXPECT_EQ(SetPixel(memory, 2, 1, orange), expected) << depth;
        EXPECT_EQ(GetPixel(memory, 2, 1), expected) << depth;
        EXPECT_EQ(SetPixel(memory, 3, 1, orange), CLR_INVALID);
        EXPECT_EQ(SetPixel(memory, 0, 0, RGB(255, 255, 255)), RGB(255, 255, 255));
        DeleteDC(memory);

        // To a 24-bit block, bottom-up, rows padded to 4 bytes, blue-green-red.
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<uint8_t> rows(2 * 12, 0xEE);
        EXPECT_EQ(GetDIBits(screen, bitmap, 0, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
        EXPECT_EQ(RGB(rows[8], rows[7], rows[6]), expected);               // bottom row first: pixel (2, 1)
        EXPECT_EQ(RGB(rows[14], rows[13], rows[12]), RGB(255, 255, 255));  // top row: pixel (0, 0)
        DeleteObject(bitmap);
        ReleaseDC(nullptr, screen);
    }
}

// Only the lines handed over are read, even when more are asked for. (The
// surface's edges and clip regions are met by every Draw in draw_test.)
TEST(Gdi, DibTransferReadsOnlyTheLinesHandedOver) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 5, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> line(16, 7);  // one line of the 5 x 4 block, alone in its buffer
    GuardedBuffer device(6, 6);
    EXPECT_EQ(SetDIBitsToDevice(device.dc, 0, 0, 5, 4, 0, 0, 2, 1, line.data(), &info, DIB_RGB_COLORS), 1);
    EXPECT_TRUE(device.GuardsIntact());
}

}  // namespace
}  // namespace glyphrun
