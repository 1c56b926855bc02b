#include <gif_lib.h>
#include <gtest/gtest.h>

#include <tuple>

#include "glyphrun/codecs.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

// The image data of a file written from a one-block palette image: the
// bytes after the minimum code size, up to the block terminator.
Bytes ImageData(const Bytes& file, size_t paletteEntries) {
    const size_t start = 13 + 3 * paletteEntries + 8 + 10 + 1;
    return Bytes(file.begin() + static_cast<long>(start), file.end() - 2);
}

Bytes EncodeRow(const std::vector<int>& indexes, uint32_t bpp, uint32_t codec) {
    GrImage image(static_cast<uint32_t>(indexes.size()), 1, bpp);
    for (size_t x = 0; x < indexes.size(); ++x)
        image.SetPixelIndex(static_cast<int64_t>(x), 0, static_cast<uint8_t>(indexes[x]));
    image.SetCodecOption(codec, TypeGif);
    return EncodeToMemory(image, TypeGif);
}

TEST(Gif, CompressorsByteForByte) {
    GrImage one(1, 1, 1);
    one.SetPaletteColor(1, 255, 255, 255);
    one.SetPixelIndex(0, 0, 1);
    const Bytes expected = {
        'G',  'I', 'F',  '8', '9', 'a',  1,    0, 1, 0, 0x80, 0,    0, 0,
        0,    0,   255,  255, 255, 0x21, 0xF9, 4, 0, 0, 0,    0xFF, 0,  // graphic control: no transparency
        0x2C, 0,   0,    0,   0,   1,    0,    1, 0, 0,                 // image descriptor
        2,    2,   0x4C, 1,   0,   0x3B};
    EXPECT_EQ(EncodeToMemory(one, TypeGif), expected);

    const std::vector<int> eight = {1, 0, 1, 1, 0, 0, 1, 0};
    EXPECT_EQ(ImageData(EncodeRow(eight, 1, 0), 2), (Bytes{4, 0x0C, 0x62, 0x07, 0x05}));
    EXPECT_EQ(ImageData(EncodeRow(eight, 1, 1), 2), (Bytes{5, 0x0C, 0x12, 0x00, 0x01, 0x05}));
    // Five equal pixels: the pixel, then runs of 2 and 2 from the decoder's table.
    EXPECT_EQ(ImageData(EncodeRow({1, 1, 1, 1, 1}, 1, 2), 2), (Bytes{2, 0x8C, 0x5D}));
    // 1000 equal pixels: runs of 1 to 44 from the decoder's own table, 47 codes of 9 bits.
    EXPECT_EQ(ImageData(EncodeRow(std::vector<int>(1000, 7), 8, 2), 256).size(), 1u + 53u);
}

// Both readers see exactly the image: giflib composing every block, and
// stb_image for files of one block.
void ExpectReadsBack(GrImage& image, const std::string& what, GifFacts* facts = nullptr) {
    const Picture expected = PictureOf(image);
    const Bytes file = EncodeToMemory(image, TypeGif);
    GifFacts local;
    const auto giflib = ReadWithGiflib(file, facts ? facts : &local);
    ASSERT_TRUE(giflib) << what;
    EXPECT_TRUE(SamePixels(*giflib, expected)) << what;
    if ((facts ? facts : &local)->images == 1) {
        const auto stb = ReadWithStb(file);
        ASSERT_TRUE(stb) << what;
        EXPECT_TRUE(SamePixels(*stb, expected)) << what;
    }
}

TEST(Gif, EveryDepthWidthAndCompressor) {
    for (uint32_t bpp : {1u, 4u, 8u})
        for (uint32_t width : {1u, 3u, 17u, 301u})
            for (uint32_t codec : {0u, 1u, 2u}) {
                GrImage image;
                FillRandom(image, width, width == 1 ? 1 : 40, bpp, width * 3 + codec);  // 1 x 1 too
                image.SetCodecOption(codec, TypeGif);
                ExpectReadsBack(image, std::to_string(bpp) + "/" + std::to_string(width) + "/" + std::to_string(codec));
            }
    // Long runs and a table that fills up and clears, in every compressor.
    for (uint32_t codec : {0u, 1u, 2u}) {
        GrImage runs(700, 300, 8);
        for (uint32_t y = 0; y < 300; ++y)
            for (uint32_t x = 0; x < 700; ++x) runs.SetPixelIndex(x, y, static_cast<uint8_t>((x / (y % 37 + 1)) % 256));
        runs.SetCodecOption(codec, TypeGif);
        ExpectReadsBack(runs, "runs " + std::to_string(codec));
    }
}

// True colour of at most 256 colours (a symbol's two) is one image under a
// global palette; more colours are tiled into images of their own palettes.
TEST(Gif, TrueColourIsOneImageOrTiles) {
    for (auto [colors, width, height, images] :
         {std::tuple{2, 596, 596, 1}, {3, 40, 30, 1}, {200, 40, 30, 1}, {256, 40, 30, 1}, {0, 18, 16, 4}}) {
        GrImage image;
        FillRandom(image, width, height, 24, colors + 1, colors);
        GifFacts facts;
        ExpectReadsBack(image, std::to_string(colors) + " colours", &facts);
        EXPECT_EQ(facts.images, images) << colors;
        EXPECT_EQ(facts.hasGlobalColorMap, images == 1) << colors;
    }
    GrImage photo;
    FillRandom(photo, 300, 200, 24, 4);
    photo.SetTransIndex(0);
    photo.SetTransColor(photo.GetPixelColor(0, 0, false));
    ExpectReadsBack(photo, "photo with transparent colour");
}

TEST(Gif, TransparencyAndCommentPlacement) {
    GrImage image;
    FillRandom(image, 30, 20, 8, 5);
    image.SetTransIndex(3);
    ExpectReadsBack(image, "transparent index");
    image.SetTransIndex(300);  // no such entry: no transparency
    ExpectReadsBack(image, "index outside");
    image.SetOffset(5, 5);  // a frame setting: a file of one image fills its screen whatever it says
    ExpectReadsBack(image, "offset");

    GrImage symbol;
    FillRandom(symbol, 20, 20, 24, 6, 2);
    symbol.SetTransIndex(0);
    symbol.SetTransColor(symbol.GetPixelColor(3, 3, false));
    ExpectReadsBack(symbol, "transparent colour");

    // The comment comes before the graphic control extension of its image.
    GrImage paletted(4, 4, 8);
    GrImageGIF writer;
    writer.Create(4, 4, 8);
    writer.SetComment(std::string(300, 'c').c_str());
    GrMemFile memory;
    memory.Open();
    ASSERT_TRUE(writer.Encode(&memory));
    const unsigned char* bytes = memory.GetBuffer(false);
    const Bytes file(bytes, bytes + memory.Size());
    GifFacts facts;
    ASSERT_TRUE(ReadWithGiflib(file, &facts));
    EXPECT_EQ(facts.blockTypes, (std::vector<int>{COMMENT_EXT_FUNC_CODE, GRAPHICS_EXT_FUNC_CODE, 'I'}));
    EXPECT_EQ(file[13 + 768 + 2], 255);  // the comment keeps 255 characters
}

TEST(Gif, WidthPastTheFormatIsRefused) {
    GrImage wide(65536, 1, 1);
    GrMemFile memory;
    memory.Open();
    EXPECT_FALSE(wide.Encode(&memory, TypeGif));
    EXPECT_EQ(memory.Size(), 0);
}

}  // namespace
}  // namespace glyphrun
