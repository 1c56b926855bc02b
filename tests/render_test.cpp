// A symbol drawn straight into a two-colour image has the pixels that the
// window's road (screen bitmap, then import) gives for the same options.
#include <gtest/gtest.h>

#include <cstring>

#include "glyphrun/frontend.h"
#include "glyphrun/render.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

Picture ThroughTheScreen(const std::string& text, int32_t size, const RasterStyle& style) {
    BarcodeOptions options;
    SetDefaultBarcodeOptions(&options);
    std::memcpy(options.text, text.data(), text.size());
    options.length = static_cast<int32_t>(text.size());
    options.mode = kModeMinimal;
    options.sizeIndex = size;
    options.moduleSize = style.moduleSize;
    options.margin = style.margin;
    options.backgroundColor = style.background;
    options.barColor = style.bar;
    GrImage image;
    const HBITMAP bitmap = EncodeToBitmap(&options);
    EXPECT_TRUE(bitmap && image.CreateFromHBITMAP(bitmap));
    ReleaseBarcodeBitmap();
    return PictureOf(image);
}

TEST(Render, SamePixelsAsTheScreenRoad) {
    struct Case {
        std::string text;
        int32_t size;
        RasterStyle style;
    };
    const Case cases[] = {
        {"LABEL-000001 LOT 2026-03-14 QA", kSmallestSquare, {4, 8, RGB(255, 255, 255), RGB(0, 0, 0)}},
        {"A", kSmallestSquare, {1, 0, RGB(255, 240, 224), RGB(32, 48, 128)}},
        {"odd widths 123", kSmallestRectangle, {3, 5, RGB(255, 255, 255), RGB(0, 0, 0)}},
        {std::string(600, 'x'), kSmallestSquare, {1, 2, RGB(0, 0, 0), RGB(255, 255, 255)}},
        {"same colours", 5, {2, 1, RGB(9, 9, 9), RGB(9, 9, 9)}},
        {"large modules", kSmallestSquare, {37, 3, RGB(255, 255, 255), RGB(0, 0, 0)}},
        {"wide word", kSmallestRectangle, {32, 7, RGB(255, 255, 255), RGB(0, 0, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20));
        const EncodeResult result = Encode({reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()},
                                           {EncodeScheme::AutoMinimal, c.size});
        ASSERT_TRUE(result) << result.reason();
        GrImage image;
        const Status rendered = RenderSymbol(result.symbol, c.style, image);
        ASSERT_TRUE(rendered) << rendered.reason();
        EXPECT_EQ(image.GetBpp(), 1);
        EXPECT_EQ(image.GetNumColors(), 2u);
        const Picture straight = PictureOf(image);
        const Picture screen = ThroughTheScreen(c.text, c.size, c.style);
        ASSERT_EQ(straight.width, screen.width);
        ASSERT_EQ(straight.height, screen.height);
        EXPECT_TRUE(straight.pixels == screen.pixels);
    }
}

// Turned by any quarter, a symbol still reads; four quarters give it back.
TEST(Render, RotatedSymbolsRead) {
    const std::string text = "ROTATE 2026";
    const EncodeResult result = Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                       {EncodeScheme::AutoMinimal, kSmallestRectangle});
    ASSERT_TRUE(result);
    Symbol turned = result.symbol;
    for (int32_t degrees : {90, 180, 270}) {
        const Symbol rotated = Rotated(result.symbol, degrees);
        EXPECT_EQ(rotated.rows, degrees == 180 ? result.symbol.rows : result.symbol.cols) << degrees;
        EXPECT_EQ(testing::ReadSymbol(rotated), text) << degrees;
        turned = Rotated(turned, 90);
        EXPECT_EQ(turned.modules, rotated.modules) << degrees;  // k quarter turns are one turn of k x 90
    }
    EXPECT_EQ(Rotated(turned, 90).modules, result.symbol.modules);
    EXPECT_EQ(Rotated(result.symbol, 0).modules, result.symbol.modules);
}

TEST(Render, RefusesWhatNoRasterHolds) {
    const EncodeResult result = Encode({reinterpret_cast<const uint8_t*>("A"), 1});
    ASSERT_TRUE(result);
    GrImage image;
    EXPECT_EQ(RenderSymbol(result.symbol, {1, 9000}, image).reason(),
              "the image would be 18010x18010 pixels; each side must be 1 to 16384");
    EXPECT_EQ(RenderSymbol(result.symbol, {0, 2}, image).reason(), "the module size 0 is below 1");
    EXPECT_EQ(RenderSymbol(result.symbol, {2, -1}, image).reason(), "the margin -1 is negative");
}

}  // namespace
}  // namespace glyphrun
