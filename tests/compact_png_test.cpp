#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <thread>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

Bytes Encode(const GrImage& image) {
    std::string file;
    const Status written = EncodeCompactPng(image, file);
    EXPECT_TRUE(written) << written.reason();
    return Bytes(file.begin(), file.end());
}

// libpng and stb_image read exactly the image's pixels, in a 1-bit palette file at the image's resolution.
PngFacts ExpectReadsBack(const GrImage& image, const std::string& what) {
    const Bytes file = Encode(image);
    PngFacts f;
    const auto libpng = ReadWithLibpng(file, &f);
    const auto stb = ReadWithStb(file);
    EXPECT_TRUE(libpng && stb && SamePixels(*libpng, PictureOf(image)) && SamePixels(*stb, PictureOf(image))) << what;
    EXPECT_TRUE(f.colorType == PNG_COLOR_TYPE_PALETTE && f.bitDepth == 1 && f.paletteLength == 2 &&
                f.unit == PNG_RESOLUTION_METER)
        << what;
    EXPECT_EQ(f.xPixelsPerUnit, static_cast<uint32_t>(image.GetHeader().biXPelsPerMeter)) << what;
    EXPECT_EQ(f.yPixelsPerUnit, static_cast<uint32_t>(image.GetHeader().biYPelsPerMeter)) << what;
    return f;
}

TEST(CompactPng, EverySizeColourAndTransparencyReadsBack) {
    const RGBQUAD palettes[][2] = {{{0, 0, 0, 0}, {255, 255, 255, 0}}, {{0x80, 0x30, 0x20, 0}, {0xE0, 0xF0, 0xFF, 0}}};
    for (auto [width, height, palette, trans] : {std::tuple{1u, 1u, 0, -1},
                                                 {17u, 9u, 1, 0},
                                                 {20001u, 2u, 0, 1},
                                                 {17u, 9u, 0, 5}}) {  // 5: no such entry, so nothing is transparent
        GrImage image;
        FillRandom(image, width, height, 1, width * 7 + height + trans);
        image.SetPalette(palettes[palette], 2);
        image.SetTransIndex(trans);
        const PngFacts facts = ExpectReadsBack(image, std::to_string(width) + " trans " + std::to_string(trans));
        EXPECT_EQ(facts.transparencyCount, trans == 0 || trans == 1 ? trans + 1 : 0) << width;
    }
    // The resolution as set, and bits past the last pixel do not reach the file.
    GrImage image;
    FillRandom(image, 13, 4, 1, 1);
    image.SetXDPI(300);
    image.SetYDPI(600);
    ExpectReadsBack(image, "300 x 600 dpi");
    const Bytes clean = Encode(image);
    for (uint32_t row = 0; row < image.GetHeight(); ++row) image.GetBits(row)[1] |= 0x07;
    EXPECT_EQ(Encode(image), clean);
}

// Symbols scan, in files smaller than libpng's, and threads writing at once each get the same file.
TEST(CompactPng, SymbolsScanAndAreSmallerThanLibpngsFiles) {
    std::string largest;
    for (int i = 0; largest.size() < 1556; ++i) largest += static_cast<char>('A' + i % 26);
    for (auto [text, scheme, moduleSize] :
         {std::tuple{std::string("LOT 2026-12-07/A SN 0042 qty 12"), EncodeScheme::AutoBest, 4},
          {largest, EncodeScheme::Ascii, 1}}) {
        Style style;
        style.moduleSize = moduleSize;
        GrImage image;
        ASSERT_TRUE(RenderSymbol(
            glyphrun::Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {scheme}).value(), style,
            image));
        ExpectReadsBack(image, text.substr(0, 10));
        const Bytes file = Encode(image);
        EXPECT_EQ(ReadSymbolIn(*ReadWithLibpng(file), moduleSize), text);
        EXPECT_LT(file.size(), EncodeToMemory(image, TypePng).size());

        std::vector<Bytes> files(4);
        std::vector<std::thread> threads;
        for (Bytes& out : files)
            threads.emplace_back([&image, &out] {
                for (int i = 0; i < 20; ++i) out = Encode(image);
            });
        for (std::thread& thread : threads) thread.join();
        for (const Bytes& out : files) EXPECT_EQ(out, file);
    }
}

// Appended to what the string holds; an image that is not 1-bit without alpha is refused in one line.
TEST(CompactPng, AppendsOrRefusesLeavingTheStringAsItWas) {
    GrImage image;
    FillRandom(image, 9, 9, 1, 3);
    std::string file = "kept";
    ASSERT_TRUE(EncodeCompactPng(image, file));
    const Bytes alone = Encode(image);
    EXPECT_EQ(file, "kept" + std::string(alone.begin(), alone.end()));

    GrImage trueColour, eightBit, withAlpha, empty;
    FillRandom(trueColour, 9, 9, 24, 4, 2);
    FillRandom(eightBit, 9, 9, 8, 5);
    FillRandom(withAlpha, 9, 9, 1, 6);
    withAlpha.AlphaCreate();
    for (const GrImage* refused : {&trueColour, &eightBit, &withAlpha, &empty}) {
        std::string kept = "kept";
        const Status why = EncodeCompactPng(*refused, kept);
        EXPECT_FALSE(why);
        EXPECT_EQ(kept, "kept");
        EXPECT_TRUE(!why.reason().empty() && why.reason().find('\n') == std::string::npos) << why.reason();
    }
}

}  // namespace
}  // namespace glyphrun
