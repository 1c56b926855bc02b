// The encoder records: padding, allocation, what a run fills in, and the module image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <string>
#include <tuple>
#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

// The first pad is 129, the later ones randomised by their position; a full
// or negative count is left alone, nothing written past or before the buffer.
TEST(Records, PaddingFillsToCapacityWithRandomisedPads) {
    uint8_t codewords[6] = {66};
    int32_t count = 1;
    PadCodewords(codewords, count, 6);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(std::vector<int>(codewords, codewords + 6), (std::vector<int>{66, 129, 70, 220, 115, 11}));
    for (int32_t left : {6, -1}) {
        count = left;
        PadCodewords(codewords, count, 6);
        EXPECT_EQ(count, left);
    }
}

TEST(Records, Randomize255IsInvertedForEveryByteAndPosition) {
    for (int p = 1; p <= 1558; ++p)
        for (int v = 0; v < 256; ++v) ASSERT_EQ(Unrandomize255(Randomize255(v, p), p), v) << v << " at " << p;
    for (int p : {1, 2, 1558, -7, 2147483647, -2147483647 - 1}) {
        const int r = Randomize253(129, p);
        EXPECT_GE(r, 1);
        EXPECT_LE(r, 254);
        EXPECT_EQ(Unrandomize255(Randomize255(200, p), p), 200);
    }
}

// Pointers are cleared, null and a record in any state are left alone, a size outside the table refused.
TEST(Records, AllocationAndRelease) {
    Ecc200Message* message = AllocMessage(0);
    ASSERT_NE(message, nullptr);
    FreeMessage(message);
    EXPECT_EQ(message, nullptr);
    FreeMessage(message);
    EXPECT_EQ(AllocMessage(-1), nullptr);
    EXPECT_EQ(AllocMessage(48), nullptr);
    FreeEncoder(nullptr);
    Ecc200Encoder encoder = InitEncoder();
    encoder.message = AllocMessage(3);  // a message without an image, as after a failed image step
    FreeEncoder(&encoder);
    EXPECT_EQ(encoder.message, nullptr);
    FreeEncoder(&encoder);
}

struct Encoder {
    Ecc200Encoder record = InitEncoder();
    Encoder(EncodeScheme scheme = EncodeScheme::Ascii) { record.scheme = scheme; }
    ~Encoder() { FreeEncoder(&record); }
    int Run(const std::string& text, int32_t size = kSmallestSquare) {
        return EncodeMessage(&record, static_cast<int32_t>(text.size()), reinterpret_cast<const uint8_t*>(text.data()),
                             size);
    }
};

TEST(Driver, RecordDescribesTheSymbolOrWhyNot) {
    Encoder e;
    const std::string invalid =
        "invalid symbol size index (use 0-47, -1 for square, -2 for rectangle or -3 for rectangle or DMRE)";
    const std::tuple<std::string, int32_t, std::string> failures[] = {
        {"", kSmallestSquare, "the input is empty"},
        {std::string(50, 'A'), kSmallestRectangle,
         "the input needs 50 data codewords but the largest rectangular symbol (16x48) holds 49"},
        {"A", -4, invalid},
        {"A", 48, invalid}};
    for (const auto& [input, size, reason] : failures) {
        EXPECT_EQ(e.Run(input, size), 0);
        EXPECT_EQ(DescribeEncodeFailure(e.record.failure), reason) << size;
    }
    EXPECT_EQ(e.record.image, nullptr);

    Encoder unknown(static_cast<EncodeScheme>(99));
    EXPECT_EQ(unknown.Run("A"), 0);
    EXPECT_EQ(DescribeEncodeFailure(unknown.record.failure), "unknown encodation scheme 99");
    EXPECT_EQ(EncodeMessage(nullptr, 1, reinterpret_cast<const uint8_t*>("A"), -1), 0);
    ASSERT_EQ(e.Run("123456"), 1);  // the record describes the symbol
    EXPECT_EQ(std::tuple(e.record.sizeIndex, e.record.dataCodewords, e.record.symbolRows, e.record.mappingCols),
              std::tuple(0, 3, 10, 8));
    EXPECT_EQ(EncodeMessage(&e.record, -5, reinterpret_cast<const uint8_t*>("A"), -1), 0);
    EXPECT_EQ(e.record.failure.error, EncodeError::InvalidArgument);
    EXPECT_EQ(e.record.message, nullptr);  // the earlier run's symbol is gone, not mixed in
    EXPECT_EQ(std::tuple(e.record.symbolRows, e.record.dataCodewords), std::tuple(0, 0));
}

TEST(Driver, ImageSizesAreCheckedIn64Bits) {
    Encoder e;
    // 3783 wraps 32 bits as width * height * 3.
    const std::tuple<int32_t, int32_t, EncodeError> refused[] = {
        {3783, 10, EncodeError::ImageSizeOutOfRange},
        {2147483647, 2147483647, EncodeError::ImageSizeOutOfRange},
        {-1, 10, EncodeError::InvalidArgument}};
    for (const auto& [moduleSize, margin, error] : refused) {
        e.record.moduleSize = moduleSize;
        e.record.margin = margin;
        EXPECT_EQ(e.Run("A"), 0);
        EXPECT_EQ(e.record.failure.error, error) << moduleSize;
        EXPECT_EQ(e.record.image, nullptr);
    }
    e.record.moduleSize = 0;  // an all-light image of twice the margin
    ASSERT_EQ(e.Run("A"), 1);
    EXPECT_EQ(e.record.image->width, 20);
    for (int64_t i = 0; i < ModuleImagePixelCount(e.record.image) * 3; ++i) ASSERT_EQ(e.record.image->pixels[i], 255);
    e.record.margin = 0;
    EXPECT_EQ(e.Run("A"), 0);

    e.record.margin = 1;  // a record changed after encoding is not painted at all, so not out of bounds
    ASSERT_EQ(e.Run("A"), 1);
    const uint8_t* pixels = e.record.image->pixels;
    const std::vector<uint8_t> painted(pixels, pixels + ModuleImagePixelCount(e.record.image) * 3);
    e.record.moduleSize = 2147483647;
    GenerateImage(&e.record);
    EXPECT_TRUE(std::equal(painted.begin(), painted.end(), e.record.image->pixels));
}

TEST(ModuleImage, PixelsAreStoredTopRowFirstAndClipped) {
    ModuleImage* image = CreateModuleImage(4, 3);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(ModuleImagePixelCount(image), 12);
    EXPECT_EQ(SetModuleImagePixel(image, 1, 2, 10, 20, 30), 1);  // top row: stored first
    EXPECT_EQ(image->pixels[3], 10);
    EXPECT_EQ(image->pixels[5], 30);
    EXPECT_EQ(SetModuleImagePixel(image, 0, 0, 7, 7, 7), 1);  // bottom row: stored last
    EXPECT_EQ(image->pixels[3 * 8], 7);
    EXPECT_EQ(SetModuleImagePixel(image, 4, 0, 1, 1, 1), 0);
    EXPECT_EQ(SetModuleImagePixel(image, 0, -1, 1, 1, 1), 0);
    // A clip rectangle widened past the pixels still writes nothing outside.
    image->clipXMax = 100;
    EXPECT_EQ(SetModuleImagePixel(image, 50, 0, 1, 1, 1), 0);
    EXPECT_EQ(FreeModuleImage(image), 1);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(FreeModuleImage(image), 0);
    EXPECT_EQ(ModuleImagePixelCount(nullptr), -1);
}

TEST(ModuleImage, RefusesSidesOutsideTheLimitAndDegenerateTransforms) {
    EXPECT_EQ(CreateModuleImage(0, 5), nullptr);
    EXPECT_EQ(CreateModuleImage(5, -1), nullptr);
    EXPECT_EQ(CreateModuleImage(kMaxImageSide + 1, 1), nullptr);
    ModuleImage* edge = CreateModuleImage(kMaxImageSide, 1);
    EXPECT_NE(edge, nullptr);
    FreeModuleImage(edge);
    Point2 p;
    EXPECT_EQ(TransformPoint(p, {1, 1}, Matrix3{}), 0);  // a degenerate transform fails
}

}  // namespace
}  // namespace glyphrun
