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

class CompactPng : public ::testing::Test {
protected:
    static Bytes Encode(const GrImage& image) {
        std::string file;
        const Status written = EncodeCompactPng(image, file);
        EXPECT_TRUE(written) << written.reason();
        return Bytes(file.begin(), file.end());
    }

    // libpng and stb_image read exactly the image's pixels and colours, the
    // header is a 1-bit palette image's.
    void ExpectReadsBack(const GrImage& image, const std::string& what, PngFacts* facts = nullptr) {
        const Picture expected = PictureOf(image);
        const Bytes file = Encode(image);
        PngFacts local;
        PngFacts& f = facts ? *facts : local;
        const auto libpng = ReadWithLibpng(file, &f);
        const auto stb = ReadWithStb(file);
        ASSERT_TRUE(libpng && stb) << what;
        EXPECT_TRUE(SamePixels(*libpng, expected)) << what;
        EXPECT_TRUE(SamePixels(*stb, expected)) << what;
        EXPECT_EQ(f.colorType, PNG_COLOR_TYPE_PALETTE) << what;
        EXPECT_EQ(f.bitDepth, 1) << what;
        EXPECT_EQ(f.interlace, PNG_INTERLACE_NONE) << what;
        EXPECT_EQ(f.paletteLength, 2) << what;
        EXPECT_EQ(f.xPixelsPerUnit, static_cast<uint32_t>(image.GetHeader().biXPelsPerMeter)) << what;
        EXPECT_EQ(f.yPixelsPerUnit, static_cast<uint32_t>(image.GetHeader().biYPelsPerMeter)) << what;
        EXPECT_EQ(f.unit, PNG_RESOLUTION_METER) << what;
    }
};

// A symbol encoded by the library in a 1-bit image, black on white.
void SymbolImage(GrImage& image, const std::string& text, EncodeScheme scheme, int32_t moduleSize, int32_t margin) {
    const Result<Symbol> result =
        Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, EncodeOptions{scheme});
    ASSERT_TRUE(result) << result.reason();
    Style style;
    style.moduleSize = moduleSize;
    style.marginPixels = margin;
    const Status rendered = RenderSymbol(result.value(), style, image);
    ASSERT_TRUE(rendered) << rendered.reason();
}

TEST_F(CompactPng, EverySizeColourAndTransparencyReadsBack) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1}, {17, 9}, {20001, 2}};
    const RGBQUAD palettes[][2] = {{{0, 0, 0, 0}, {255, 255, 255, 0}},
                                   {{0x80, 0x30, 0x20, 0}, {0xE0, 0xF0, 0xFF, 0}}};  // 203080 and fff0e0
    for (const auto& [width, height] : sizes)
        for (const auto& palette : palettes)
            for (int32_t trans : {-1, 0, 1, 5}) {  // 5: no such entry, so nothing is transparent
                GrImage image;
                FillRandom(image, width, height, 1, width * 7 + height + trans);
                image.SetPalette(palette, 2);
                image.SetTransIndex(trans);
                const std::string what = std::to_string(width) + "x" + std::to_string(height) + " trans " +
                                         std::to_string(trans) + " red " + std::to_string(palette[0].rgbRed);
                PngFacts facts;
                ExpectReadsBack(image, what, &facts);
                EXPECT_EQ(facts.transparencyCount, trans == 0 || trans == 1 ? trans + 1 : 0) << what;
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

TEST_F(CompactPng, SymbolsScanAndAreSmallerThanLibpngsFiles) {
    std::string largest;
    for (int i = 0; largest.size() < 1556; ++i) largest += static_cast<char>('A' + i % 26);
    struct Case {
        std::string text;
        EncodeScheme scheme;
        int32_t moduleSize, margin;
    };
    for (const Case& c : {Case{"LOT 2026-12-07/A SN 0042 qty 12", EncodeScheme::AutoBest, 4, 8},
                          Case{largest, EncodeScheme::Ascii, 1, 2}}) {
        GrImage image;
        SymbolImage(image, c.text, c.scheme, c.moduleSize, c.margin);
        ExpectReadsBack(image, c.text.substr(0, 10));
        const Bytes file = Encode(image);
        const auto picture = ReadWithLibpng(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(ReadSymbolIn(*picture, c.moduleSize), c.text);
        EXPECT_LT(file.size(), EncodeToMemory(image, TypePng).size());

        // Threads writing at once each get the same file.
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

TEST_F(CompactPng, AppendsOrRefusesLeavingTheStringAsItWas) {
    GrImage image;
    FillRandom(image, 9, 9, 1, 3);
    std::string file = "kept";
    ASSERT_TRUE(EncodeCompactPng(image, file));
    EXPECT_EQ(file.substr(0, 4), "kept");
    EXPECT_EQ(Bytes(file.begin() + 4, file.end()), Encode(image));

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
        EXPECT_FALSE(why.reason().empty());
        EXPECT_EQ(why.reason().find('\n'), std::string::npos);
    }
}

}  // namespace
}  // namespace glyphrun
