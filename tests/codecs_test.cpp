// The image library (memory files, images) and its writers read back: BMP, PNG (libpng's and the compact
// one for 1-bit symbols) and GIF; the text under a symbol drawn in 1 bit.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gr_file.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/raster_text.h"
#include "image_readers.h"

namespace glyphrun {
namespace {

using namespace testing;

TEST(GrMemFile, GrowsReadsSeeksAndHandsOver) {
    unsigned char* given = nullptr;
    {
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
        given = file.GetBuffer(true);
        EXPECT_EQ(std::memcmp(given, "abcde\0\0\0z", 9), 0);  // the gap holds zeros, not old heap bytes
        const std::string big(5000, 'x');
        EXPECT_EQ(file.Write(big.data(), 1, big.size()), 0u);  // it would move the buffer given away
        EXPECT_EQ(file.GetBuffer(false), given);
    }
    EXPECT_EQ(given[8], 'z');  // still ours after the stream is gone
    std::free(given);
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
    for (int64_t i = 40; i < image.GetSize(); ++i) ASSERT_EQ(image.GetDIB()[i], 0) << i;  // padding reaches files

    EXPECT_EQ(image.Create(0, 5, 8), nullptr);
    EXPECT_STREQ(image.GetLastError(), "GrImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.IsValid());
    for (auto [w, h, bpp] : {std::tuple{65536u, 65537u, 8u}, {4000000000u, 1u, 24u}, {100000u, 100000u, 24u}}) {
        EXPECT_EQ(image.Create(w, h, bpp), nullptr);
        EXPECT_STREQ(image.GetLastError(), "GRIMAGE_MAX_MEMORY exceeded");
    }
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
    EXPECT_EQ(GrImage(2, 2, 4).GetPaletteColor(20).rgbRed, 0);
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

Bytes Compact(const GrImage& image) {
    std::string file;
    const Status written = EncodeCompactPng(image, file);
    EXPECT_TRUE(written) << written.reason();
    return Bytes(file.begin(), file.end());
}

// Both independent readers see exactly the image's pixels in the file `image` makes with libpng, or compact: a
// 1-bit palette file at the image's resolution.
PngFacts ExpectReadsBack(GrImage& image, const std::string& what, bool compact = false) {
    PngFacts f;
    const Bytes file = compact ? Compact(image) : EncodeToMemory(image, TypePng);
    const auto libpng = ReadWithLibpng(file, &f);
    const auto stb = ReadWithStb(file);
    EXPECT_TRUE(libpng && stb && SamePixels(*libpng, PictureOf(image)) && SamePixels(*stb, PictureOf(image))) << what;
    EXPECT_TRUE(!compact ||
                (f.colorType == PNG_COLOR_TYPE_PALETTE && f.bitDepth == 1 && f.paletteLength == 2 &&
                 f.unit == PNG_RESOLUTION_METER && f.xPixelsPerUnit == uint32_t(image.GetHeader().biXPelsPerMeter) &&
                 f.yPixelsPerUnit == uint32_t(image.GetHeader().biYPelsPerMeter)))
        << what;
    return f;
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

// A transparent index, a transparent colour and an alpha plane read as they are (more indexes: Writers).
TEST(Png, Transparency) {
    GrImage image;
    FillRandom(image, 12, 12, 8, 3);
    image.SetPixelIndex(0, 0, 7);
    image.SetTransIndex(7);
    const Bytes file = EncodeToMemory(image, TypePng);
    EXPECT_EQ(ExpectReadsBack(image, "transparent index").transparencyCount, 1);
    EXPECT_EQ(EncodeToMemory(image, TypePng), file);  // the saved image stays as it was

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
    alpha.AlphaSet(5, 0, 9);  // outside: nothing
    alpha.AlphaSetMax(128);
    ExpectReadsBack(alpha, "alpha plane");
    EXPECT_EQ(ReadWithLibpng(EncodeToMemory(alpha, TypePng))->at(1, 2).a, 50);  // 100 of 255 scaled to 128
}

TEST(CompactPng, EverySizeColourAndTransparencyReadsBack) {
    const RGBQUAD palettes[][2] = {{{0, 0, 0, 0}, {255, 255, 255, 0}}, {{0x80, 0x30, 0x20, 0}, {0xE0, 0xF0, 0xFF, 0}}};
    for (auto [width, height, palette, trans] : {std::tuple{1u, 1u, 0, -1},
                                                 {17u, 9u, 1, 0},
                                                 {20001u, 2u, 0, 1},
                                                 {13u, 4u, 0, 5}}) {  // 5: no such entry, so nothing is transparent
        GrImage image;
        FillRandom(image, width, height, 1, width * 7 + height + trans);
        image.SetPalette(palettes[palette], 2);
        image.SetTransIndex(trans);
        image.SetXDPI(width);
        image.SetYDPI(2 * width);
        const PngFacts facts = ExpectReadsBack(image, std::to_string(width) + " trans " + std::to_string(trans), true);
        EXPECT_EQ(facts.transparencyCount, trans == 0 || trans == 1 ? trans + 1 : 0) << width;
        const Bytes clean = Compact(image);  // bits past the last pixel do not reach the file
        for (uint32_t row = 0; row < height && width % 8; ++row) image.GetBits(row)[width / 8] |= 0xFF >> width % 8;
        EXPECT_EQ(Compact(image), clean) << width;
    }
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
        ExpectReadsBack(image, text.substr(0, 10), true);
        const Bytes file = Compact(image);
        EXPECT_EQ(ReadSymbolIn(*ReadWithLibpng(file), moduleSize), text);
        EXPECT_LT(file.size(), EncodeToMemory(image, TypePng).size());

        std::vector<Bytes> files(4);
        std::vector<std::thread> threads;
        for (Bytes& out : files)
            threads.emplace_back([&image, &out] {
                for (int i = 0; i < 20; ++i) out = Compact(image);
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
    const Bytes alone = Compact(image);
    EXPECT_EQ(file, "kept" + std::string(alone.begin(), alone.end()));

    GrImage eightBit(9, 9, 8), withAlpha(9, 9, 1), empty;
    withAlpha.AlphaCreate();
    for (const GrImage* refused : {&eightBit, &withAlpha, &empty}) {
        std::string kept = "kept";
        const Status why = EncodeCompactPng(*refused, kept);
        EXPECT_FALSE(why);
        EXPECT_EQ(kept, "kept");
        EXPECT_TRUE(!why.reason().empty() && why.reason().find('\n') == std::string::npos) << why.reason();
    }
}

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
    EXPECT_EQ(ImageData({1, 0, 1, 1, 0, 0, 1, 0}, 1, 0), (Bytes{4, 0x0C, 0x62, 0x07, 0x05}));
    EXPECT_EQ(ImageData({1, 0, 1, 1, 0, 0, 1, 0}, 1, 1), (Bytes{5, 0x0C, 0x12, 0x00, 0x01, 0x05}));
    // Five equal pixels: the pixel, then runs of 2 and 2 from the decoder's table.
    EXPECT_EQ(ImageData({1, 1, 1, 1, 1}, 1, 2), (Bytes{2, 0x8C, 0x5D}));
    // 1000 equal pixels: runs of 1 to 44 from the decoder's own table, 47 codes of 9 bits.
    EXPECT_EQ(ImageData(std::vector<int>(1000, 7), 8, 2).size(), 1u + 53u);
}

// Both readers see exactly the image: giflib composing every block, and stb_image files of one block.
GifFacts ExpectGifReadsBack(GrImage& image, const std::string& what) {
    const Bytes file = EncodeToMemory(image, TypeGif);
    GifFacts facts;
    const auto giflib = ReadWithGiflib(file, &facts);
    EXPECT_TRUE(giflib && SamePixels(*giflib, PictureOf(image))) << what;
    const auto stb = facts.images == 1 ? ReadWithStb(file) : giflib;
    EXPECT_TRUE(stb && SamePixels(*stb, PictureOf(image))) << what;
    return facts;
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
        const GifFacts facts = ExpectGifReadsBack(image, std::to_string(colors) + " colours");
        EXPECT_TRUE(images ? facts.images == images : facts.images > 1) << colors;
        EXPECT_EQ(facts.hasGlobalColorMap, facts.images == 1) << colors;
    }
}

// A comment before its image's graphic control extension; a width past the format's refused.
TEST(Gif, CommentAndWidth) {
    GrImageGIF writer;
    writer.Create(4, 4, 8);
    writer.SetComment(std::string(300, 'c').c_str());
    GrMemFile memory;
    memory.Open();
    ASSERT_TRUE(writer.Encode(&memory));
    const Bytes file(memory.GetBuffer(false), memory.GetBuffer(false) + memory.Size());
    ASSERT_TRUE(ReadWithGiflib(file));
    EXPECT_EQ(file[13 + 768 + 1], COMMENT_EXT_FUNC_CODE);
    EXPECT_EQ(file[13 + 768 + 2], 255);  // the comment keeps 255 characters
    EXPECT_EQ(file[13 + 768 + 3 + 255 + 2], GRAPHICS_EXT_FUNC_CODE);

    GrImage wide(65536, 1, 1);
    GrMemFile refused;
    refused.Open();
    EXPECT_FALSE(wide.Encode(&refused, TypeGif));
    EXPECT_EQ(refused.Size(), 0);
}

// Every depth, odd widths and 1 x 1, a transparent index (300: none) or not, in every writer with each of its options
// (PNG interlace, GIF compressor); then GIF's long runs and a table that fills up and clears.
TEST(Writers, EveryDepthWidthAndOptionReadsBack) {
    for (auto [type, options] : {std::pair{TypeBmp, 1u}, {TypePng, 2u}, {TypeGif, 3u}})
        for (uint32_t bpp : {1u, 4u, 8u, 24u})
            for (uint32_t width : {1u, 3u, 17u, 301u})
                for (uint32_t option = 0; option < options && !(type == TypeGif && bpp == 24); ++option) {
                    const std::string what = std::to_string(type) + ": " + std::to_string(bpp) + "/" +
                                             std::to_string(width) + "/" + std::to_string(option);
                    GrImage image;
                    FillRandom(image, width, width == 1 ? 1 : 9, bpp, width * 3 + bpp + option);  // 1 x 1 too
                    image.SetCodecOption(option, type);
                    if (type != TypeBmp && bpp < 24) image.SetTransIndex(width == 17 ? 1 : width == 301 ? 300 : -1);
                    image.SetOffset(width, width);  // a frame's place: a GIF of one image fills its screen anyway
                    if (type == TypeGif) {
                        ExpectGifReadsBack(image, what);
                    } else if (type == TypePng) {
                        const PngFacts facts = ExpectReadsBack(image, what);
                        EXPECT_EQ(facts.interlace, option == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
                        EXPECT_EQ(facts.colorType, bpp == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE);
                        EXPECT_EQ(facts.bitDepth, bpp == 24 ? 8 : static_cast<int>(bpp));
                    } else {
                        const Bytes file = EncodeToMemory(image, TypeBmp);
                        EXPECT_EQ(file[28], bpp) << what;  // bits per pixel as the image has them: 1 stays 1
                        const auto read = ReadWithStb(file);
                        EXPECT_TRUE(read && SamePixels(*read, PictureOf(image))) << what;
                    }
                }
    GrImage large;
    FillRandom(large, 1999, 1201, 24, 5);
    ExpectReadsBack(large, "large");
    for (uint32_t codec : {0u, 1u, 2u}) {
        GrImage runs(700, 300, 8);
        for (uint32_t y = 0; y < 300; ++y)
            for (uint32_t x = 0; x < 700; ++x) runs.SetPixelIndex(x, y, static_cast<uint8_t>((x / (y % 37 + 1)) % 256));
        runs.SetCodecOption(codec, TypeGif);
        ExpectGifReadsBack(runs, "runs " + std::to_string(codec));
    }
}

// The text under a symbol, in DejaVu Sans as fontconfig finds it or in a font file.
class RasterTextTest : public ::testing::Test {
protected:
    static constexpr const char* kBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

    void SetUp() override {
        if (RasterText("a", 10).Is(TextError::NoFont))
            testing::SkipTest("DejaVu Sans is not installed (Debian package fonts-dejavu-core)");
    }
    // The picture, which must be whole, 1 bit and as wide as the width alone says.
    static TextBitmap Draw(std::string_view text, int32_t size, const std::string& font = {}) {
        const Result<TextBitmap> drawn = RasterText(text, size, font);
        if (!drawn) {
            ADD_FAILURE() << drawn.reason();
            return {};
        }
        const TextBitmap& bitmap = drawn.value();
        EXPECT_EQ(bitmap.ink.size(), static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height)) << text;
        EXPECT_TRUE(std::all_of(bitmap.ink.begin(), bitmap.ink.end(), [](uint8_t ink) { return ink <= 1; })) << text;
        const Result<int32_t> width = RasterTextWidth(text, size, font);
        EXPECT_TRUE(width && width.value() == bitmap.width) << text;
        return bitmap;
    }
    static int Inks(const TextBitmap& bitmap) {
        return static_cast<int>(std::count(bitmap.ink.begin(), bitmap.ink.end(), 1));
    }
    // The first and last rows and columns with ink among rows `from` to `to`, -1 for none.
    struct Box {
        int top = -1, bottom = -1, left = -1, right = -1;
    };
    static Box InkBox(const TextBitmap& bitmap, int from = 0, int to = INT_MAX) {
        Box box;
        for (int y = std::max(from, 0); y < bitmap.height && y <= to; ++y)
            for (int x = 0; x < bitmap.width; ++x)
                if (bitmap.ink[static_cast<size_t>(y * bitmap.width + x)]) {
                    if (box.top < 0) box.top = y, box.left = x;
                    box.bottom = y, box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                }
        return box;
    }
};

// The width is the advances (a space's too, with no ink), the height the font's line whatever the text, and
// twice the size is about twice both; a font given by its file (bold) inks more.
TEST_F(RasterTextTest, WidthIsTheAdvancesAndHeightTheLine) {
    const TextBitmap none = Draw("", 20), narrow = Draw("I", 20), wide = Draw("W", 20), line = Draw("I W", 20);
    EXPECT_EQ(none.width, 1);
    EXPECT_EQ(Inks(none), 0);
    EXPECT_LT(narrow.width, wide.width);
    EXPECT_GT(line.width, narrow.width + wide.width);
    EXPECT_EQ(Inks(line), Inks(narrow) + Inks(wide));
    for (const TextBitmap* bitmap : {&narrow, &wide, &line}) {
        EXPECT_EQ(bitmap->height, none.height);
        EXPECT_EQ(bitmap->baseline, none.baseline);
    }
    EXPECT_NEAR(none.baseline, 0.93 * 20, 1);  // DejaVu Sans's ascender and descender, in ems
    EXPECT_NEAR(none.height - none.baseline, 0.24 * 20, 1);
    const TextBitmap twice = Draw("I W", 40);
    EXPECT_NEAR(twice.width, 2 * line.width, 3);  // each glyph's advance rounded to a pixel
    EXPECT_NEAR(twice.height, 2 * line.height, 2);
    const TextBitmap bold = Draw("I W", 20, kBold);
    EXPECT_GT(Inks(bold), Inks(line));
    EXPECT_GE(bold.width, line.width);
}

// Each glyph's ink lies where it belongs about the baseline (in ems, up negative), and the pen moves right: the
// apostrophe's ink lies left of the full stop's.
TEST_F(RasterTextTest, InkLiesAboutTheBaselineInTextOrder) {
    for (int32_t size : {12, 48}) {
        for (auto [text, highest, lowest] : {std::tuple{".", -0.25, 0.0}, {"'", -0.85, -0.45}, {"x", -0.6, 0.0}}) {
            const TextBitmap bitmap = Draw(text, size);
            const Box box = InkBox(bitmap);
            const auto rows = [&](double ems) { return bitmap.baseline + ems * size; };
            EXPECT_GE(box.top, rows(highest) - 1) << text << " at " << size;
            EXPECT_LE(box.bottom, rows(lowest)) << text << " at " << size;
        }
        const TextBitmap descends = Draw("g", size);
        EXPECT_GT(InkBox(descends).bottom, descends.baseline + 0.1 * size);
        const TextBitmap both = Draw("'.", size);
        const int xHeight = static_cast<int>(both.baseline - 0.45 * size);
        EXPECT_LT(InkBox(both, 0, xHeight).right, InkBox(both, xHeight + 1).left) << size;
    }
}

// Each refusal says what and where, and the width alone refuses alike.
TEST_F(RasterTextTest, RefusalsNameTheCharacterOrTheFile) {
    const std::string tooWide(2000, 'W');
    for (auto [text, size, font, way, words] : {
             std::tuple{std::string_view("ab\u3042"), 20, "", TextError::MissingGlyph,
                        "the font DejaVu Sans has no glyph for '\u3042' (U+3042), character 3 of the text"},
             {"a\xC3", 20, "", TextError::BadText, "byte 2"},
             {"\xED\xA0\x80", 20, "", TextError::BadText, "byte 1"},  // a surrogate
             {"\xC0\xAF", 20, "", TextError::BadText, "byte 1"},      // overlong
             {"a\nb", 20, "", TextError::BadText, "U+000A, character 2"},
             {"a", 0, "", TextError::BadSize, "0 pixels"},
             {"a", 2001, "", TextError::BadSize, "2001 pixels"},
             {tooWide, 100, "", TextError::BadSize, "16384"},
             {"a", 20, "/nonexistent/Font.ttf", TextError::NoFont, "'/nonexistent/Font.ttf'"},
         }) {
        const Result<TextBitmap> drawn = RasterText(text, size, font);
        EXPECT_TRUE(drawn.Is(way)) << words << ": " << drawn.reason();
        EXPECT_NE(drawn.reason().find(words), std::string::npos) << drawn.reason();
        EXPECT_TRUE(RasterTextWidth(text, size, font).Is(way)) << words;
    }
}

// Threads each keep their fonts and glyphs: every one draws what one thread alone does.
TEST_F(RasterTextTest, ThreadsDrawAsOneThreadDoes) {
    const std::vector<std::tuple<std::string, int32_t, std::string>> lines = {
        {"0123456789", 11, ""}, {"Label W-42", 23, kBold}, {"\u00c5ngstr\u00f6m", 30, ""}};
    std::vector<TextBitmap> alone;
    for (const auto& [text, size, font] : lines) alone.push_back(Draw(text, size, font));
    std::vector<std::thread> threads;
    std::vector<int> differences(4, 0);
    for (size_t t = 0; t < differences.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round)
                for (size_t i = 0; i < lines.size(); ++i) {
                    const auto& [text, size, font] = lines[(i + t) % lines.size()];
                    const Result<TextBitmap> drawn = RasterText(text, size, font);
                    differences[t] += !drawn || drawn->ink != alone[(i + t) % lines.size()].ink;
                }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(differences, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace glyphrun
