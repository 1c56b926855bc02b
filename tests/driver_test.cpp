// The encoder record: what a run fills in, and failures that leave nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

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

}  // namespace
}  // namespace glyphrun
