// The public road from a symbol to a file: every format reads back in every
// rotation, and a style outside its range is refused with a line that names it.
#include <gtest/gtest.h>

#include "glyphrun/write.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

Symbol Made(const std::string& text, int32_t size) {
    return Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {EncodeScheme::AutoMinimal, size})
        .value();
}

// The raster formats through an independent image reader, then the
// symbol reader; each rotation reads, and writing twice gives one file.
TEST(Write, EveryRasterFormatAndRotationReadsBack) {
    const std::string text = "ROTATE 2026";
    const Symbol symbol = Made(text, kSmallestRectangle);
    for (Format format : {Format::Png, Format::Gif, Format::Bmp, Format::Pgm})
        for (int32_t degrees : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::string(FormatName(format)) + " " + std::to_string(degrees));
            Style style;
            style.moduleSize = 3;
            style.rotation = degrees;
            style.interlace = format == Format::Png && degrees == 90;  // libpng's road once
            const Result<std::string> file = WriteSymbol(symbol, format, style);
            ASSERT_TRUE(file) << file.reason();
            EXPECT_EQ(WriteSymbol(symbol, format, style).value(), file.value());
            const std::optional<Picture> read = ReadWithStb(Bytes(file.value().begin(), file.value().end()));
            ASSERT_TRUE(read);
            EXPECT_EQ(read->width, 3 * (degrees % 180 ? symbol.rows() : symbol.cols()) + 12);
            EXPECT_EQ(ReadSymbolIn(*read, 3), text);
        }
}

TEST(Write, FormatOfPath) {
    const std::pair<const char*, std::optional<Format>> cases[] = {
        {"a.png", Format::Png}, {"DIR.X/A.GIF", Format::Gif}, {"b.Bmp", Format::Bmp},  {"c.pgm", Format::Pgm},
        {"d.svg", Format::Svg}, {"e.EPS", Format::Eps},       {"f.jpg", std::nullopt}, {"png", std::nullopt},
    };
    for (const auto& [path, format] : cases) EXPECT_EQ(FormatOfPath(path), format) << path;
}

TEST(Write, RefusesAStyleOutsideItsRange) {
    const Symbol symbol = Made("A", kSmallestSquare);
    struct Case {
        Format format;
        void (*change)(Style&);
        const char* reason;
    };
    const Case cases[] = {
        {Format::Png, [](Style& s) { s.moduleSize = 0; }, "the module size 0 is below 1"},
        {Format::Svg, [](Style& s) { s.quietZone = -1; }, "the quiet zone -1 is outside 0 to 16384 modules"},
        {Format::Png,
         [](Style& s) {
             s.marginPixels = 9000;
             s.moduleSize = 1;
         },
         "the image would be 18010x18010 pixels; each side must be 1 to 16384"},
        {Format::Gif, [](Style& s) { s.backgroundAlpha = 128; },
         "the background is opaque (alpha 255) or transparent (alpha 0), not alpha 128"},
        {Format::Bmp, [](Style& s) { s.backgroundAlpha = 0; },
         "BMP has no transparency: a transparent background needs PNG, GIF, SVG or EPS"},
        {Format::Eps, [](Style& s) { s.rotation = 45; }, "the rotation 45 is not 0, 90, 180 or 270 degrees"},
        {Format::Png, [](Style& s) { s.foreground = 0x1000000; }, "a colour is 0xRRGGBB, at most 0xFFFFFF"},
        {Format::Pgm, [](Style& s) { s.dpi = 0; }, "the resolution 0 dpi is outside 1 to 100000"},
    };
    for (const Case& c : cases) {
        Style style;
        c.change(style);
        const Result<std::string> file = WriteSymbol(symbol, c.format, style);
        EXPECT_TRUE(file.Is(WriteError::BadStyle) || file.Is(WriteError::TooLarge)) << c.reason;
        EXPECT_EQ(file.reason(), c.reason);
    }
}

}  // namespace
}  // namespace glyphrun
