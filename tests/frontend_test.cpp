// The front end: options in, a screen bitmap of the symbol out.
#include <gtest/gtest.h>

#include <cstring>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/write.h"
#include "image_readers.h"
#include "screen_depth.h"

namespace glyphrun {
namespace {

using namespace testing;

struct Options : BarcodeOptions {
    explicit Options(const std::string& bytes, int32_t scheme = -1, int32_t size = kSmallestSquare) : BarcodeOptions{} {
        SetDefaultBarcodeOptions(this);
        std::memcpy(text, bytes.data(), bytes.size());
        length = static_cast<int32_t>(bytes.size());
        mode = scheme;
        sizeIndex = size;
    }
};

// The colour of a pixel of a bitmap, y counted downward.
COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const COLORREF color = GetPixel(memory, x, y);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return color;
}

// The smallest symbol in the default style; the bitmap held between calls is deleted by the next one, and by a
// failure.
TEST(FrontEnd, DefaultBitmapIsHeldNeverLeaked) {
    const int before = CountGdiObjects();
    Options options("123456");
    const HBITMAP bitmap = EncodeToBitmap(&options);
    BITMAP description;
    ASSERT_EQ(GetObject(bitmap, sizeof description, &description), static_cast<int>(sizeof description));
    EXPECT_EQ(description.bmWidth, 28);
    EXPECT_EQ(description.bmHeight, 28);
    EXPECT_EQ(PixelOf(bitmap, 4, 23), RGB(0, 0, 0));  // the corner of the finder lines, past the margin
    EXPECT_EQ(PixelOf(bitmap, 3, 23), RGB(255, 255, 255));
    ASSERT_NE(EncodeToBitmap(&options), nullptr);
    EXPECT_EQ(CountGdiObjects(), before + 1);
    options.sizeIndex = 48;
    EXPECT_EQ(EncodeToBitmap(&options), nullptr);
    EXPECT_EQ(CountGdiObjects(), before);
    EXPECT_EQ(ReleaseBarcodeBitmap(), 1);
}

TEST(FrontEnd, OnlyChannelZeroDecides) {
    ModuleImage* image = CreateModuleImage(2, 1);
    const uint8_t pixels[] = {0, 255, 255, 1, 0, 0};
    std::memcpy(image->pixels, pixels, sizeof pixels);
    const HBITMAP bitmap = RenderModuleImage(image, 2, 1, RGB(9, 9, 9), RGB(1, 2, 3));
    EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(1, 2, 3));
    EXPECT_EQ(PixelOf(bitmap, 1, 0), RGB(9, 9, 9));
    DeleteObject(bitmap);
    FreeModuleImage(image);
    EXPECT_EQ(RenderModuleImage(nullptr, 2, 1, 0, 0), nullptr);
}

TEST(FrontEnd, BadOptionsAreRefusedWithAReason) {
    EXPECT_EQ(EncodeToBitmap(nullptr), nullptr);
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
        EXPECT_FALSE(bitmap) << c.reason;
        EXPECT_EQ(bitmap.reason(), c.reason);
    }
    Options unterminated("");
    std::memset(unterminated.text, 'x', sizeof unterminated.text);
    EXPECT_EQ(EncodeBarcodeBitmap(&unterminated).reason(), "the text has no terminating zero byte in its 3300 bytes");

    Options measured("AB");
    measured.text[1] = 0;
    measured.length = 0;
    ASSERT_NE(EncodeToBitmap(&measured), nullptr);
    EXPECT_EQ(measured.length, 1);  // written back
    ReleaseBarcodeBitmap();
}

// The screen bitmap has the pixels of the file road's raster, in any style.
TEST(FrontEnd, PixelsAreTheFileRoads) {
    const std::string text = "LABEL-000001 LOT 2026-03-14 QA";
    const Symbol symbol =
        Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {EncodeScheme::AutoMinimal}).value();
    for (auto [moduleSize, margin, background, foreground] :
         {std::tuple{4, 8, 0xFFFFFFu, 0x000000u}, {1, 0, 0xFFF0E0u, 0x203080u}, {37, 3, 0xFFFFFFu, 0x000000u}}) {
        Options options(text, kModeMinimal);
        options.moduleSize = moduleSize;
        options.margin = margin;
        options.backgroundColor = FromRrggbb(background);
        options.barColor = FromRrggbb(foreground);
        GrImage screen, file;
        ASSERT_TRUE(screen.CreateFromHBITMAP(EncodeToBitmap(&options)));
        ReleaseBarcodeBitmap();
        Style style;
        style.moduleSize = moduleSize;
        style.marginPixels = margin;
        style.foreground = foreground;
        style.background = background;
        ASSERT_TRUE(RenderSymbol(symbol, style, file));
        EXPECT_EQ(file.GetBpp(), 1);
        const Picture fromScreen = PictureOf(screen), fromFile = PictureOf(file);
        EXPECT_TRUE(fromScreen.width == fromFile.width && fromScreen.height == fromFile.height &&
                    fromScreen.pixels == fromFile.pixels)
            << moduleSize;
    }
}

// The window's road end to end: options, bitmap, import, PNG, reader.
TEST(FrontEnd, EveryModeScansThroughImportAndSave) {
    const std::string text = "GLYPH 0123456789";
    for (int depth : {32, 16, 8}) {
        const ScreenDepth screenDepth(depth);
        for (int32_t mode : {-1, 0, 1, 2, 3, 4, 5, kModeMinimal})
            for (int32_t size : {kSmallestSquare, kSmallestRectangle}) {
                Options options(text, mode, size);
                const Result<HBITMAP> bitmap = EncodeBarcodeBitmap(&options);
                ASSERT_TRUE(bitmap) << bitmap.reason();
                GrImage image;
                ASSERT_TRUE(image.CreateFromHBITMAP(bitmap.value())) << image.GetLastError();
                ReleaseBarcodeBitmap();
                EXPECT_EQ(image.GetBpp(), depth > 8 ? 24 : 8);
                const auto picture = ReadWithStb(EncodeToMemory(image, TypePng));
                ASSERT_TRUE(picture);
                EXPECT_EQ(ReadSymbolIn(*picture, 2), text) << "depth " << depth << " mode " << mode << " size " << size;
            }
    }
}

}  // namespace
}  // namespace glyphrun
