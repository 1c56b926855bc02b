#include <gtest/gtest.h>
#include <png.h>

#include "glyphrun/codecs.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

// Both independent readers see exactly the image's pixels.
PngFacts ExpectReadsBack(GrImage& image, const std::string& what) {
    PngFacts facts;
    const Bytes file = EncodeToMemory(image, TypePng);
    const auto libpng = ReadWithLibpng(file, &facts);
    const auto stb = ReadWithStb(file);
    EXPECT_TRUE(libpng && stb && SamePixels(*libpng, PictureOf(image)) && SamePixels(*stb, PictureOf(image))) << what;
    return facts;
}

TEST(Png, EveryDepthWidthAndInterlace) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u})
        for (uint32_t width : {1u, 3u, 17u, 301u})
            for (uint32_t interlace : {0u, 1u}) {
                GrImage image;
                FillRandom(image, width, width == 1 ? 1 : 9, bpp, width + bpp);  // 1 x 1 too
                image.SetCodecOption(interlace, TypePng);
                const PngFacts facts = ExpectReadsBack(image, std::to_string(bpp) + "/" + std::to_string(width));
                EXPECT_EQ(facts.interlace, interlace == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
                EXPECT_EQ(facts.colorType, bpp == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE);
                EXPECT_EQ(facts.bitDepth, bpp == 24 ? 8 : static_cast<int>(bpp));
                EXPECT_EQ(facts.xPixelsPerUnit, 3780u);
                EXPECT_EQ(facts.unit, PNG_RESOLUTION_METER);
            }
    GrImage large;
    FillRandom(large, 1999, 1201, 24, 5);
    ExpectReadsBack(large, "large");
}

// A small image's palette holds only the entries its pixels use.
TEST(Png, PaletteLengthFollowsThePixelsOfSmallImages) {
    for (auto [side, expected] : {std::pair{10u, 5}, {300u, 256}}) {
        GrImage image(side, side, 8);
        image.SetGrayPalette();
        for (uint32_t y = 0; y < side; ++y)
            for (uint32_t x = 0; x < side; ++x) image.SetPixelIndex(x, y, static_cast<uint8_t>((x + y) % 5));
        EXPECT_EQ(ExpectReadsBack(image, "palette").paletteLength, expected);
    }
}

// A transparent index, one outside the palette, a transparent colour and an alpha plane read as they are, and
// the saved image stays as it was.
TEST(Png, Transparency) {
    GrImage image;
    FillRandom(image, 12, 12, 8, 3);
    image.SetPixelIndex(0, 0, 7);
    image.SetTransIndex(7);
    const Picture before = PictureOf(image);
    const Bytes file = EncodeToMemory(image, TypePng);
    EXPECT_EQ(ExpectReadsBack(image, "transparent index").transparencyCount, 1);
    EXPECT_EQ(ReadWithLibpng(file)->at(0, 11).a, 0);
    EXPECT_EQ(image.GetTransIndex(), 7);
    EXPECT_TRUE(PictureOf(image).pixels == before.pixels);
    EXPECT_EQ(EncodeToMemory(image, TypePng), file);
    image.SetTransIndex(300);
    EXPECT_EQ(ExpectReadsBack(image, "index outside").transparencyCount, 0);

    GrImage colour;
    FillRandom(colour, 8, 8, 24, 4, 3);
    colour.SetTransIndex(0);
    colour.SetTransColor(colour.GetPixelColor(2, 2, false));
    EXPECT_EQ(ExpectReadsBack(colour, "transparent colour").colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_FALSE(colour.AlphaIsValid());  // the plane made for the save is gone
    GrMemFile closed;                     // after a failed save too
    EXPECT_FALSE(colour.Encode(&closed, TypePng));
    EXPECT_FALSE(colour.AlphaIsValid());

    GrImage alpha;
    FillRandom(alpha, 5, 4, 24, 8);
    alpha.AlphaCreate();
    alpha.AlphaSet(1, 1, 100);
    alpha.AlphaSetMax(128);
    ExpectReadsBack(alpha, "alpha plane");
    const auto read = ReadWithLibpng(EncodeToMemory(alpha, TypePng));
    EXPECT_EQ(read->at(1, 2).a, 50);
    EXPECT_EQ(read->at(0, 0).a, 128);
}

}  // namespace
}  // namespace glyphrun
