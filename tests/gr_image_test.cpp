#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "glyphrun/codecs.h"
#include "glyphrun/gr_file.h"
#include "glyphrun/gr_image.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

TEST(GrMemFile, GrowsReadsAndSeeks) {
    GrMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Size(), 0);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.GetC(), -1);
    EXPECT_TRUE(file.PutC('a'));
    EXPECT_EQ(file.Write("bcde", 1, 4), 4u);
    EXPECT_EQ(file.Size(), 5);

    ASSERT_TRUE(file.Seek(0, SEEK_SET));
    char items[12] = {};
    EXPECT_EQ(file.Read(items, 4, 3), 1u);  // five bytes: one whole item of four
    EXPECT_STREQ(items, "abcde");
    EXPECT_TRUE(file.Eof());

    EXPECT_TRUE(file.Seek(-10, SEEK_SET));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_FALSE(file.Seek(1, 3));
    ASSERT_TRUE(file.Seek(2, SEEK_SET));
    EXPECT_FALSE(file.Seek(LONG_MAX, SEEK_CUR));  // past what a position can hold
    EXPECT_EQ(file.Tell(), 2);
    ASSERT_TRUE(file.Seek(3, SEEK_END));  // past the end
    EXPECT_EQ(file.Error(), 1);
    EXPECT_EQ(file.GetC(), -1);
    EXPECT_EQ(file.Write("z", 1, 1), 1u);
    EXPECT_EQ(file.Size(), 9);
    const unsigned char* bytes = file.GetBuffer(false);
    EXPECT_EQ(std::memcmp(bytes, "abcde\0\0\0z", 9), 0);  // the gap holds zeros, not old heap bytes
}

TEST(GrMemFile, HandedOverBufferIsNeverTouchedAgain) {
    unsigned char* buffer = nullptr;
    {
        GrMemFile file;
        ASSERT_TRUE(file.Open());
        std::string big(5000, 'x');
        EXPECT_EQ(file.Write(big.data(), 1, big.size()), big.size());
        buffer = file.GetBuffer(true);
        // A write past the capacity would have to move the buffer it gave away.
        EXPECT_EQ(file.Write(big.data(), 1, big.size()), 0u);
        EXPECT_EQ(file.GetBuffer(false), buffer);
    }
    EXPECT_EQ(buffer[4999], 'x');  // still ours after the stream is gone
    std::free(buffer);
}

TEST(GrIOFile, CallersStreamStaysOpen) {
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
        GrIOFile file(stream);
        EXPECT_FALSE(file.Open("/dev/null", "wb"));  // already attached
        EXPECT_TRUE(file.PutC('q'));
        EXPECT_TRUE(file.Close());
        EXPECT_EQ(file.Size(), 1);
    }
    EXPECT_EQ(std::fseek(stream, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(stream), 'q');
    std::fclose(stream);
    GrIOFile none;
    EXPECT_EQ(none.Tell(), 0);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.Write("a", 1, 1), 0u);
}

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
