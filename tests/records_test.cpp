#include <gtest/gtest.h>

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

}  // namespace
}  // namespace glyphrun
