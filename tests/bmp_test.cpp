#include <gtest/gtest.h>

#include "glyphrun/codecs.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

TEST(Bmp, OnePixelFileByteForByte) {
    GrImage image(1, 1, 24);
    std::fill(image.GetBits(0), image.GetBits(0) + 3, 0xFF);
    const Bytes expected = {
        0x42, 0x4D, 0x3A, 0, 0,    0,    0, 0, 0,    0,    0x36, 0, 0, 0,  // file header
        0x28, 0,    0,    0, 1,    0,    0, 0, 1,    0,    0,    0, 1, 0, 0x18, 0, 0, 0, 0, 0,
        4,    0,    0,    0, 0xC4, 0x0E, 0, 0, 0xC4, 0x0E, 0,    0, 0, 0, 0,    0, 0, 0, 0, 0,  // info header
        0xFF, 0xFF, 0xFF, 0};  // one white pixel and zero padding
    EXPECT_EQ(EncodeToMemory(image, TypeBmp), expected);
}

TEST(Bmp, EveryDepthAndOddWidthReadsBack) {
    for (uint32_t bpp : {1u, 4u, 8u, 24u})
        for (uint32_t width : {1u, 3u, 17u, 301u}) {
            GrImage image;
            FillRandom(image, width, width == 1 ? 1 : 7, bpp, width * bpp);  // 1 x 1 too
            const Bytes file = EncodeToMemory(image, TypeBmp);
            const uint32_t offset = file[10] | file[11] << 8;
            EXPECT_EQ(offset, 54u + 4 * image.GetNumColors());
            EXPECT_EQ(file[28], bpp);  // bits per pixel as the image has them: 1 stays 1
            const auto read = ReadWithStb(file);
            ASSERT_TRUE(read) << bpp << "/" << width;
            EXPECT_TRUE(SamePixels(*read, PictureOf(image))) << bpp << "/" << width;
        }
}

}  // namespace
}  // namespace glyphrun
