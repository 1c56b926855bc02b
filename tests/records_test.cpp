#include <gtest/gtest.h>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

TEST(Records, PaddingFillsToCapacityWithRandomisedPads) {
    uint8_t codewords[6] = {66};
    int32_t count = 1;
    PadCodewords(codewords, count, 6);
    EXPECT_EQ(count, 6);
    const uint8_t expected[6] = {66, 129, 70, 220, 115, 11};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(codewords[i], expected[i]) << i;
    EXPECT_EQ(Randomize253(129, 2), 175);

    uint8_t full[3] = {1, 2, 3};
    count = 3;
    PadCodewords(full, count, 3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(full[2], 3);

    uint8_t oneShort[3] = {1, 2};
    count = 2;
    PadCodewords(oneShort, count, 3);
    EXPECT_EQ(oneShort[2], 129);

    count = -1;  // refused rather than written before the buffer
    PadCodewords(oneShort, count, 3);
    EXPECT_EQ(count, -1);
}

TEST(Records, Randomize255IsInvertedForEveryByteAndPosition) {
    EXPECT_EQ(Randomize255(0, 2), 44);
    EXPECT_EQ(Unrandomize255(44, 2), 0);
    for (int p = 1; p <= 1558; ++p)
        for (int v = 0; v < 256; ++v) ASSERT_EQ(Unrandomize255(Randomize255(v, p), p), v) << v << " at " << p;
    for (int p : {1, 2, 1558, -7, 2147483647, -2147483647 - 1}) {
        const int r = Randomize253(129, p);
        EXPECT_GE(r, 1);
        EXPECT_LE(r, 254);
        EXPECT_EQ(Unrandomize255(Randomize255(200, p), p), 200);
    }
}

TEST(Records, MessageAllocationAndRelease) {
    Ecc200Message* message = AllocMessage(0);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->moduleCount, 64);
    EXPECT_EQ(message->codewordCount, 8);
    FreeMessage(message);
    EXPECT_EQ(message, nullptr);
    FreeMessage(message);  // null is left alone

    EXPECT_EQ(AllocMessage(-1), nullptr);
    EXPECT_EQ(AllocMessage(48), nullptr);
    message = AllocMessage(23);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->codewordCount, 2178);
    FreeMessage(message);
}

TEST(Records, FreeEncoderInEveryState) {
    FreeEncoder(nullptr);
    Ecc200Encoder encoder = InitEncoder();
    encoder.message = AllocMessage(3);  // a message without an image, as after a failed image step
    FreeEncoder(&encoder);
    EXPECT_EQ(encoder.message, nullptr);
    EXPECT_EQ(encoder.moduleSize, 0);
    FreeEncoder(&encoder);
}

}  // namespace
}  // namespace glyphrun
