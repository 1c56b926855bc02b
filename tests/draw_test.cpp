// The drawing layer (handles, colours, transfers, import, drawing an image) and the front end on it:
// options in, a screen bitmap of the symbol out.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gdi.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/write.h"
#include "guarded_buffer.h"
#include "image_readers.h"
#include "screen_depth.h"

namespace glyphrun {
namespace {

using namespace testing;

// Handles, stale ones included, and bitmap sizes are checked, and nothing leaks.
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
    GrImage image;
    EXPECT_FALSE(image.CreateFromHBITMAP(bitmap));  // stale
    EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
    EXPECT_FALSE(image.IsValid());
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

TEST(Draw, NothingToDoTransparencyAndShortTransfers) {
    GrImage image;
    MakeImage(image);
    GuardedBuffer device(6, 6);
    EXPECT_EQ(image.Draw(nullptr, 0, 0), 0);
    EXPECT_EQ(image.Draw(device.dc, 0, 0, 0, 5), 0);
    image.Enable(false);
    EXPECT_EQ(image.Draw(device.dc, 0, 0), 0);
    EXPECT_EQ(GrImage().Draw(device.dc, 0, 0), 0);
    EXPECT_EQ(device.At(0, 0), kUntouched);

    GrImage indexed(3, 1, 8);
    indexed.SetPaletteColor(1, 200, 0, 0);
    indexed.SetPaletteColor(2, 0, 200, 0);
    for (int x = 0; x < 3; ++x) indexed.SetPixelIndex(x, 0, x == 1 ? 2 : 1);
    indexed.SetTransIndex(2);
    EXPECT_EQ(indexed.Draw(device.dc, 1, 1), 1);
    for (int x = 1; x < 4; ++x) EXPECT_EQ(device.At(x, 1), x == 2 ? kUntouched : RGB(200, 0, 0)) << x;  // see-through

    BITMAPINFO info{};  // a transfer reads only the lines handed over, even when more are asked for
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 5, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> line(16, 7);  // one line of the 5 x 4 block, alone in its buffer
    EXPECT_EQ(SetDIBitsToDevice(device.dc, 0, 0, 5, 4, 0, 0, 2, 1, line.data(), &info, DIB_RGB_COLORS), 1);
    EXPECT_TRUE(device.GuardsIntact());
}

struct Options : BarcodeOptions {
    explicit Options(const std::string& bytes, int32_t scheme = -1, int32_t size = kSmallestSquare) : BarcodeOptions{} {
        SetDefaultBarcodeOptions(this);
        std::memcpy(text, bytes.data(), bytes.size());
        length = static_cast<int32_t>(bytes.size());
        mode = scheme;
        sizeIndex = size;
    }
};

TEST(FrontEnd, BadOptionsAreRefusedAndTheBitmapHeldNeverLeaks) {
    EXPECT_EQ(EncodeToBitmap(nullptr), nullptr);
    EXPECT_EQ(RenderModuleImage(nullptr, 2, 1, 0, 0), nullptr);
    EXPECT_TRUE(EncodeBarcodeBitmap(nullptr).status().Is(BarcodeError::NoOptions));
    const struct {
        const char* text;
        int32_t BarcodeOptions::*field;
        int32_t value;
        const char* reason;
    } cases[] = {
        {"A", &BarcodeOptions::length, 3301, "the length 3301 is outside 0 to 3300"},
        {"A", &BarcodeOptions::moduleSize, 0, "the module size 0 is below 1"},
        {"A", &BarcodeOptions::margin, -1, "the margin -1 is negative"},
        {"A", &BarcodeOptions::moduleSize, 2000, "the image would be 20008x20008 pixels; each side must be 1 to 16384"},
        {"A", &BarcodeOptions::sizeIndex, -4,
         "invalid symbol size index (use 0-47, -1 for square, -2 for rectangle or -3 for rectangle or DMRE)"},
        {"", &BarcodeOptions::length, 0, "the input is empty"},
        {"a", &BarcodeOptions::mode, 4, "X12 cannot encode byte 0x61 at position 1"},
    };
    for (const auto& c : cases) {
        Options options(c.text);
        options.*c.field = c.value;
        const Result<HBITMAP> bitmap = EncodeBarcodeBitmap(&options);
        EXPECT_EQ(bitmap.reason(), c.reason);
    }
    Options unterminated("");
    std::memset(unterminated.text, 'x', sizeof unterminated.text);
    EXPECT_EQ(EncodeBarcodeBitmap(&unterminated).reason(), "the text has no terminating zero byte in its 3300 bytes");

    // The default style's 10 x 10 symbol; the bitmap held is deleted by the next call, and by a failure.
    const int before = CountGdiObjects();
    Options measured("AB");
    measured.text[1] = 0;
    measured.length = 0;
    BITMAP description;
    ASSERT_EQ(GetObject(EncodeToBitmap(&measured), sizeof description, &description),
              static_cast<int>(sizeof description));
    EXPECT_EQ(description.bmWidth, 28);
    EXPECT_EQ(description.bmHeight, 28);
    EXPECT_EQ(measured.length, 1);  // written back
    ASSERT_NE(EncodeToBitmap(&measured), nullptr);
    EXPECT_EQ(CountGdiObjects(), before + 1);
    measured.sizeIndex = 48;
    EXPECT_EQ(EncodeToBitmap(&measured), nullptr);
    EXPECT_EQ(CountGdiObjects(), before);
    EXPECT_EQ(ReleaseBarcodeBitmap(), 1);
}

// The window's road (options, screen bitmap, import) has the file road's pixels in every mode, size, style and
// screen depth, and the imported image saved as PNG scans.
TEST(FrontEnd, WindowRoadHasTheFileRoadsPixelsAndScans) {
    const std::string text = "GLYPH 0123456789";
    struct Row {
        int depth;
        int32_t mode, size, moduleSize = 2, margin = 4;
        uint32_t background = 0xFFFFFF, foreground = 0x000000;
    };
    std::vector<Row> rows = {{16, -1, kSmallestSquare},
                             {8, kModeMinimal, kSmallestRectangle},
                             {32, kModeMinimal, kSmallestSquare, 1, 0, 0xFFF0E0, 0x203080},
                             {32, -1, kSmallestSquare, 37, 3}};
    for (int32_t mode : {-1, 0, 1, 2, 3, 4, 5, kModeMinimal})
        for (int32_t size : {kSmallestSquare, kSmallestRectangle}) rows.push_back({32, mode, size});
    for (const Row& r : rows) {
        SCOPED_TRACE("depth " + std::to_string(r.depth) + " mode " + std::to_string(r.mode) + " size " +
                     std::to_string(r.size) + " module " + std::to_string(r.moduleSize));
        const ScreenDepth screenDepth(r.depth);
        Options options(text, r.mode, r.size);
        options.moduleSize = r.moduleSize;
        options.margin = r.margin;
        options.backgroundColor = FromRrggbb(r.background);
        options.barColor = FromRrggbb(r.foreground);
        const Result<HBITMAP> bitmap = EncodeBarcodeBitmap(&options);
        ASSERT_TRUE(bitmap) << bitmap.reason();
        GrImage screen, file;
        ASSERT_TRUE(screen.CreateFromHBITMAP(bitmap.value())) << screen.GetLastError();
        ReleaseBarcodeBitmap();
        EXPECT_EQ(screen.GetBpp(), r.depth > 8 ? 24 : 8);
        Style style;
        style.moduleSize = r.moduleSize;
        style.marginPixels = r.margin;
        style.foreground = r.foreground;
        style.background = r.background;
        const auto symbol =
            Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {SchemeForMode(r.mode), r.size});
        ASSERT_TRUE(symbol && RenderSymbol(symbol.value(), style, file));
        EXPECT_TRUE(SamePixels(PictureOf(screen), PictureOf(file)));
        const auto picture = ReadWithStb(EncodeToMemory(screen, TypePng));
        ASSERT_TRUE(picture);
        EXPECT_EQ(ReadSymbolIn(*picture, r.moduleSize), text);
    }
}

}  // namespace
}  // namespace glyphrun
