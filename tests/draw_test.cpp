// Import of a platform bitmap, and drawing an image onto a device.
#include <gtest/gtest.h>

#include "glyphrun/gr_image.h"
#include "guarded_buffer.h"

namespace glyphrun {
namespace {

// A 5 x 4 24-bit image whose pixel (x, y from the top) is RGB(10x, 10y, 99).
void MakeImage(GrImage& image) {
    image.Create(5, 4, 24);
    for (uint32_t row = 0; row < 4; ++row)
        for (uint32_t x = 0; x < 5; ++x) {
            uint8_t* p = image.GetBits(row) + 3 * x;
            p[0] = 99;
            p[1] = static_cast<uint8_t>(10 * (3 - row));
            p[2] = static_cast<uint8_t>(10 * x);
        }
}

COLORREF Expected(int x, int y) { return RGB(10 * x, 10 * y, 99); }
constexpr COLORREF kUntouched = RGB(0x5A, 0x5A, 0x5A);

// Placed anywhere on devices smaller and larger than the image, within a clip rectangle, the clip box restored
// after; stretched through the scaling path.
TEST(Draw, PlacedClippedAndScaledWithinTheDevice) {
    GrImage image;
    MakeImage(image);
    const RECT window{2, 1, 4, 3};
    struct {
        int w, h, x, y;
        const RECT* clip = nullptr;
    } const placings[] = {{3, 3, -1, 0}, {10, 9, 2, 2}, {5, 4, 0, 0}, {8, 8, 1, 0, &window}};
    for (auto [w, h, x, y, clip] : placings) {
        GuardedBuffer device(w, h);
        RECT before, after;
        GetClipBox(device.dc, &before);
        EXPECT_EQ(image.Draw(device.dc, x, y, -1, -1, clip), 1);
        for (int dy = 0; dy < h; ++dy)
            for (int dx = 0; dx < w; ++dx) {
                const bool shown =
                    dx >= x && dy >= y && dx < x + 5 && dy < y + 4 &&
                    (!clip || (dx >= clip->left && dx < clip->right && dy >= clip->top && dy < clip->bottom));
                ASSERT_EQ(device.At(dx, dy), shown ? Expected(dx - x, dy - y) : kUntouched)
                    << w << " at " << dx << "," << dy;
            }
        GetClipBox(device.dc, &after);
        EXPECT_TRUE(after.left == before.left && after.right == before.right && after.bottom == before.bottom);
        EXPECT_TRUE(device.GuardsIntact());
    }
    GuardedBuffer wide(8, 4);
    EXPECT_EQ(image.Draw(wide.dc, 0, 0, 10, 4), 1);  // doubled across, clipped at the right edge
    for (int x = 0; x < 8; ++x) EXPECT_EQ(wide.At(x, 2), Expected(x / 2, 2)) << x;
    EXPECT_TRUE(wide.GuardsIntact());
}

TEST(Draw, NothingToDoAndTransparency) {
    GrImage image;
    MakeImage(image);
    GuardedBuffer device(6, 6);
    EXPECT_EQ(image.Draw(nullptr, 0, 0), 0);
    EXPECT_EQ(image.Draw(device.dc, 0, 0, 0, 5), 0);
    image.Enable(false);
    EXPECT_EQ(image.Draw(device.dc, 0, 0), 0);
    GrImage empty;
    EXPECT_EQ(empty.Draw(device.dc, 0, 0), 0);
    EXPECT_EQ(device.At(0, 0), kUntouched);

    GrImage indexed(3, 1, 8);
    indexed.SetPaletteColor(1, 200, 0, 0);
    indexed.SetPaletteColor(2, 0, 200, 0);
    indexed.SetPixelIndex(0, 0, 1);
    indexed.SetPixelIndex(1, 0, 2);
    indexed.SetPixelIndex(2, 0, 1);
    indexed.SetTransIndex(2);
    EXPECT_EQ(indexed.Draw(device.dc, 1, 1), 1);
    EXPECT_EQ(device.At(1, 1), RGB(200, 0, 0));
    EXPECT_EQ(device.At(2, 1), kUntouched);  // the transparent index shows what was there
    EXPECT_EQ(device.At(3, 1), RGB(200, 0, 0));
    EXPECT_TRUE(device.GuardsIntact());
}

// The pixels an import gives are checked against a straight rendering in
// render_test, at every screen depth in frontend_test.
TEST(Import, ScreenBitmapBecomesA24BitImageAndStaleHandlesFail) {
    const HDC screen = GetDC(nullptr);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 30);
    ReleaseDC(nullptr, screen);
    GrImage image(TypePng);
    ASSERT_TRUE(image.CreateFromHBITMAP(bitmap));
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetWidth(), 40u);
    EXPECT_EQ(image.GetHeight(), 30u);
    DeleteObject(bitmap);
    EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.CreateFromHBITMAP(bitmap));  // deleted: stale
    EXPECT_FALSE(image.IsValid());
}

}  // namespace
}  // namespace glyphrun
