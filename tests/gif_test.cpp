#include <gif_lib.h>
#include <gtest/gtest.h>

#include <tuple>

#include "glyphrun/codecs.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

// The image data of a one-row palette image written with `codec`: the bytes after the minimum code size, up
// to the block terminator.
Bytes ImageData(const std::vector<int>& indexes, uint32_t bpp, uint32_t codec) {
    GrImage image(static_cast<uint32_t>(indexes.size()), 1, bpp);
    for (size_t x = 0; x < indexes.size(); ++x)
        image.SetPixelIndex(static_cast<int64_t>(x), 0, static_cast<uint8_t>(indexes[x]));
    image.SetCodecOption(codec, TypeGif);
    const Bytes file = EncodeToMemory(image, TypeGif);
    return Bytes(file.begin() + static_cast<long>(13 + 3 * image.GetNumColors() + 8 + 10 + 1), file.end() - 2);
}

TEST(Gif, CompressorsByteForByte) {
    const std::vector<int> eight = {1, 0, 1, 1, 0, 0, 1, 0};
    EXPECT_EQ(ImageData(eight, 1, 0), (Bytes{4, 0x0C, 0x62, 0x07, 0x05}));
    EXPECT_EQ(ImageData(eight, 1, 1), (Bytes{5, 0x0C, 0x12, 0x00, 0x01, 0x05}));
    // Five equal pixels: the pixel, then runs of 2 and 2 from the decoder's table.
    EXPECT_EQ(ImageData({1, 1, 1, 1, 1}, 1, 2), (Bytes{2, 0x8C, 0x5D}));
    // 1000 equal pixels: runs of 1 to 44 from the decoder's own table, 47 codes of 9 bits.
    EXPECT_EQ(ImageData(std::vector<int>(1000, 7), 8, 2).size(), 1u + 53u);
}

// Both readers see exactly the image: giflib composing every block, and stb_image files of one block.
GifFacts ExpectReadsBack(GrImage& image, const std::string& what) {
    const Bytes file = EncodeToMemory(image, TypeGif);
    GifFacts facts;
    const auto giflib = ReadWithGiflib(file, &facts);
    EXPECT_TRUE(giflib && SamePixels(*giflib, PictureOf(image))) << what;
    const auto stb = facts.images == 1 ? ReadWithStb(file) : giflib;
    EXPECT_TRUE(stb && SamePixels(*stb, PictureOf(image))) << what;
    return facts;
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

// True colour of at most 256 colours (a symbol's two) is one image under a global palette; more colours are
// tiled into images (0: several) of their own palettes. A transparent colour reads as such either way.
TEST(Gif, TrueColourIsOneImageOrTiles) {
    for (auto [colors, width, height, images, transparent] :
         {std::tuple{2, 596, 596, 1, true}, {256, 40, 30, 1, false}, {0, 18, 16, 4, false}, {0, 300, 200, 0, true}}) {
        GrImage image;
        FillRandom(image, width, height, 24, colors + 1, colors);
        image.SetTransIndex(transparent ? 0 : -1);
        image.SetTransColor(image.GetPixelColor(3, 3, false));
        const GifFacts facts = ExpectReadsBack(image, std::to_string(colors) + " colours");
        EXPECT_TRUE(images ? facts.images == images : facts.images > 1) << colors;
        EXPECT_EQ(facts.hasGlobalColorMap, facts.images == 1) << colors;
    }
}

// A transparent index, one outside the palette and an offset; a comment before its image's graphic control
// extension; a width past the format's refused.
TEST(Gif, TransparencyCommentAndWidth) {
    GrImage image;
    FillRandom(image, 30, 20, 8, 5);
    image.SetTransIndex(3);
    ExpectReadsBack(image, "transparent index");
    image.SetTransIndex(300);  // no such entry: no transparency
    image.SetOffset(5, 5);     // a frame setting: a file of one image fills its screen whatever it says
    ExpectReadsBack(image, "index outside, offset");

    GrImageGIF writer;
    writer.Create(4, 4, 8);
    writer.SetComment(std::string(300, 'c').c_str());
    GrMemFile memory;
    memory.Open();
    ASSERT_TRUE(writer.Encode(&memory));
    const Bytes file(memory.GetBuffer(false), memory.GetBuffer(false) + memory.Size());
    GifFacts facts;
    ASSERT_TRUE(ReadWithGiflib(file, &facts));
    EXPECT_EQ(facts.blockTypes, (std::vector<int>{COMMENT_EXT_FUNC_CODE, GRAPHICS_EXT_FUNC_CODE, 'I'}));
    EXPECT_EQ(file[13 + 768 + 2], 255);  // the comment keeps 255 characters

    GrImage wide(65536, 1, 1);
    GrMemFile refused;
    refused.Open();
    EXPECT_FALSE(wide.Encode(&refused, TypeGif));
    EXPECT_EQ(refused.Size(), 0);
}

}  // namespace
}  // namespace glyphrun
