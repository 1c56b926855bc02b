#include <gtest/gtest.h>
#include <png.h>

#include "glyphrun/codecs.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

// Both independent readers see exactly the image's pixels.
void ExpectReadsBack(GrImage& image, const std::string& what, PngFacts* facts = nullptr) {
    const Picture expected = PictureOf(image);
    const Bytes file = EncodeToMemory(image, TypePng);
    const auto libpng = ReadWithLibpng(file, facts);
    const auto stb = ReadWithStb(file);
    ASSERT_TRUE(libpng && stb) << what;
    EXPECT_TRUE(SamePixels(*libpng, expected)) << what;
    EXPECT_TRUE(SamePixels(*stb, expected)) << what;
}

TEST(Png, EveryDepthWidthAndInterlace) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u})
        for (uint32_t width : {1u, 3u, 17u, 301u})
            for (uint32_t interlace : {0u, 1u}) {
                GrImage image;
                FillRandom(image, width, width == 1 ? 1 : 9, bpp, width + bpp);  // 1 x 1 too
                image.SetCodecOption(interlace, TypePng);
                PngFacts facts;
                ExpectReadsBack(image, std::to_string(bpp) + "/" + std::to_string(width), &facts);
                EXPECT_EQ(facts.interlace, interlace == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
                EXPECT_EQ(facts.colorType, bpp == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE);
                EXPECT_EQ(facts.bitDepth, bpp == 24 ? 8 : static_cast<int>(bpp));
                EXPECT_EQ(facts.transparencyCount, 0);
                EXPECT_EQ(facts.xPixelsPerUnit, 3780u);
                EXPECT_EQ(facts.unit, PNG_RESOLUTION_METER);
                if (bpp == 24) {
                    EXPECT_TRUE(facts.hasBackground && facts.backgroundRed == 255 && facts.paletteLength == 0);
                }
            }
    GrImage large;
    FillRandom(large, 1999, 1201, 24, 5);
    ExpectReadsBack(large, "large");
}

TEST(Png, PaletteLengthFollowsThePixelsOfSmallImages) {
    for (auto [side, expected] : {std::pair{10u, 5}, {300u, 256}}) {
        GrImage image(side, side, 8);
        image.SetGrayPalette();
        for (uint32_t y = 0; y < side; ++y)
            for (uint32_t x = 0; x < side; ++x) image.SetPixelIndex(x, y, static_cast<uint8_t>((x + y) % 5));
        PngFacts facts;
        ExpectReadsBack(image, "palette", &facts);
        EXPECT_EQ(facts.paletteLength, expected);
    }
    GrImage bilevel(10, 10, 1);
    PngFacts facts;
    ExpectReadsBack(bilevel, "1 bit", &facts);
    EXPECT_EQ(facts.paletteLength, 2);
}

TEST(Png, TransparentIndexIsTheFilesEntryZeroAndTheImageStays) {
    GrImage image;
    FillRandom(image, 12, 12, 8, 3);
    image.SetPixelIndex(0, 0, 7);
    image.SetTransIndex(7);
    const Picture before = PictureOf(image);
    const RGBQUAD seven = image.GetPaletteColor(7);
    PngFacts facts;
    const Bytes file = EncodeToMemory(image, TypePng);
    const auto read = ReadWithLibpng(file, &facts);
    ASSERT_TRUE(read);
    EXPECT_TRUE(SamePixels(*read, before));
    EXPECT_EQ(read->at(0, 11).a, 0);
    EXPECT_EQ(facts.transparencyCount, 1);
    EXPECT_EQ(facts.backgroundIndex, 0);
    EXPECT_EQ(read->at(0, 11).r, seven.rgbRed);
    // The saved image is left as it was, so a second save is the same file.
    EXPECT_EQ(image.GetTransIndex(), 7);
    EXPECT_EQ(image.GetPaletteColor(7).rgbRed, seven.rgbRed);
    EXPECT_TRUE(PictureOf(image).pixels == before.pixels);
    EXPECT_EQ(EncodeToMemory(image, TypePng), file);

    GrImage outside;
    FillRandom(outside, 4, 4, 4, 9);
    outside.SetTransIndex(20);  // no such entry: no transparency
    ExpectReadsBack(outside, "index outside", &facts);
    EXPECT_EQ(facts.transparencyCount, 0);
}

TEST(Png, TransparentColourAndAlphaPlane) {
    GrImage image;
    FillRandom(image, 8, 8, 24, 4, 3);
    image.SetTransIndex(0);
    image.SetTransColor(image.GetPixelColor(2, 2, false));
    PngFacts facts;
    ExpectReadsBack(image, "transparent colour", &facts);
    EXPECT_EQ(facts.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_FALSE(image.AlphaIsValid());  // the plane made for the save is gone
    GrMemFile closed;                    // after a failed save too
    EXPECT_FALSE(image.Encode(&closed, TypePng));
    EXPECT_FALSE(image.AlphaIsValid());

    GrImage alpha;
    FillRandom(alpha, 5, 4, 24, 8);
    alpha.AlphaCreate();
    alpha.AlphaSet(1, 1, 100);
    alpha.AlphaSetMax(128);
    ExpectReadsBack(alpha, "alpha plane", &facts);
    const auto read = ReadWithLibpng(EncodeToMemory(alpha, TypePng));
    EXPECT_EQ(read->at(1, 2).a, 50);
    EXPECT_EQ(read->at(0, 0).a, 128);
}

}  // namespace
}  // namespace glyphrun
