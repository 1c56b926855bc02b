#include <gtest/gtest.h>

#include "glyphrun/gr_image.h"

namespace glyphrun {
namespace {

TEST(GrImage, CreateRoundsDepthAndSizesRows) {
    GrImage image;
    ASSERT_NE(image.Create(10, 1, 32), nullptr);
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetEffWidth(), 32u);
    EXPECT_EQ(image.GetSize(), 72);
    ASSERT_NE(image.Create(10, 1, 1), nullptr);
    EXPECT_EQ(image.GetEffWidth(), 4u);
    EXPECT_EQ(image.GetSize(), 52);
    ASSERT_NE(image.Create(3, 2, 5), nullptr);
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetNumColors(), 256u);
    // The whole block is zeroed: row padding reaches BMP files.
    for (int64_t i = 40; i < image.GetSize(); ++i) ASSERT_EQ(image.GetDIB()[i], 0) << i;

    EXPECT_EQ(image.Create(0, 5, 8), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GrImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.IsValid());
    for (auto [w, h, bpp] : {std::tuple{65536u, 65537u, 8u}, {4000000000u, 1u, 24u}, {100000u, 100000u, 24u}}) {
        EXPECT_EQ(image.Create(w, h, bpp), nullptr);
        EXPECT_STREQ(image.GetLastError(), "GRIMAGE_MAX_MEMORY exceeded");
    }
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
    image.SetXDPI(300);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
    image.SetXDPI(0);
    EXPECT_EQ(image.GetXDPI(), 96);
}

// Pixels reach files in every depth (the writers' tests); here what lies outside them. A palette write
// empties the nearest-colour cache; a swap of entries keeps the colours.
TEST(GrImage, OutsideThePixelsAndThePalette) {
    GrImage image(4, 1, 8);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), image.GetBits(0)[0]);
    image.SetTransIndex(1);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 1);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{10, 10, 11, 0}), 10);
    image.SetPaletteColor(3, 10, 10, 10);
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{10, 10, 11, 0}), 3);
    image.SetPixelIndex(1, 0, 3);
    image.SwapIndex(3, 5);  // entries and pixels alike: the colours stay
    EXPECT_EQ(image.GetPixelIndex(1, 0), 5);
    EXPECT_EQ(image.GetPixelColor(1, 0).rgbRed, 10);
    GrImage small(2, 2, 4);
    EXPECT_EQ(small.GetPaletteColor(20).rgbRed, 0);
}

TEST(GrImage, AlphaChannel) {
    GrImage image(3, 2, 24);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);
    image.AlphaCreate();
    EXPECT_EQ(image.AlphaGet(2, 1), 255);
    image.AlphaSet(2, 1, 7);
    EXPECT_EQ(image.AlphaGet(2, 1), 7);
    image.AlphaSet(3, 1, 9);  // outside: nothing
    EXPECT_EQ(image.GetColorType(), 4);
    image.AlphaDelete();
    EXPECT_EQ(image.GetColorType(), 2);
    EXPECT_TRUE(image.Destroy());
    EXPECT_EQ(image.GetWidth(), 3u);  // the header outlives the storage
}

}  // namespace
}  // namespace glyphrun
