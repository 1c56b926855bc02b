#include <gtest/gtest.h>

#include <vector>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun {
namespace {

// Polynomial evaluation of one block (data then check codewords, highest
// power first) at a^i: zero for i = 1..ecc when the block is a codeword.
uint8_t Syndrome(const std::vector<uint8_t>& block, int i) {
    uint8_t s = 0;
    for (uint8_t c : block) s = GfMultiplyPower(s, i) ^ c;
    return s;
}

TEST(ReedSolomon, FieldArithmetic) {
    EXPECT_EQ(GfMultiply(0, 77), 0);
    EXPECT_EQ(GfMultiply(77, 0), 0);
    EXPECT_EQ(GfMultiply(1, 77), 77);
    EXPECT_EQ(GfMultiply(128, 2), 45);  // x^8 reduced by 0x12D
    EXPECT_EQ(GfMultiplyPower(0, 5), 0);
    EXPECT_EQ(GfMultiplyPower(9, 0), 9);
    EXPECT_EQ(GfMultiplyPower(1, 9), 90);
    for (int a = 1; a < 256; ++a) EXPECT_EQ(GfMultiply(a, GfMultiplyPower(1, 0)), a);
}

TEST(ReedSolomon, TenByTenExample) {
    Ecc200Message* message = AllocMessage(0);
    const uint8_t data[] = {142, 164, 186};
    std::copy(data, data + 3, message->codewords);
    EXPECT_EQ(ComputeEcc(message, 0), 1);
    const std::vector<int> expected = {142, 164, 186, 114, 25, 5, 88, 102};
    EXPECT_EQ(std::vector<int>(message->codewords, message->codewords + 8), expected);
    EXPECT_EQ(ComputeEcc(message, 1), 0);  // a message of another size is refused
    FreeMessage(message);
}

// Every size, random data: each interleaved block must be a codeword of the
// generator, with the check codewords where the block's data interleaves.
TEST(ReedSolomon, EveryBlockOfEverySizeHasZeroSyndromes) {
    uint32_t seed = 12345;
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        Ecc200Message* message = AllocMessage(size);
        const int nd = QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size);
        const int nb = QuerySymbolAttribute(SymbolAttribute::AttrBlocks, size);
        const int ne = QuerySymbolAttribute(SymbolAttribute::AttrEccPerBlock, size);
        for (int i = 0; i < nd; ++i)
            message->codewords[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        ComputeEcc(message, size);
        for (int b = 0; b < nb; ++b) {
            std::vector<uint8_t> block;
            for (int p = b; p < nd; p += nb) block.push_back(message->codewords[p]);
            for (int q = DataCodewordsInBlock(size, b) * nb + b; q < message->codewordCount; q += nb)
                block.push_back(message->codewords[q]);
            ASSERT_EQ(static_cast<int>(block.size()), DataCodewordsInBlock(size, b) + ne);
            for (int i = 1; i <= ne; ++i) ASSERT_EQ(Syndrome(block, i), 0) << "block " << b << " root " << i;
        }
        FreeMessage(message);
    }
}

TEST(ReedSolomon, LargestSymbolPutsTheShortBlocksChecksFirst) {
    // Block 8 alone: its first check codeword must land at position 1558.
    Ecc200Message* message = AllocMessage(23);
    message->codewords[8] = 1;
    ComputeEcc(message, 23);
    EXPECT_NE(message->codewords[1558], 0);
    EXPECT_EQ(message->codewords[1559], 0);
    EXPECT_EQ(message->codewords[1560], 0);
    FreeMessage(message);
}

}  // namespace
}  // namespace glyphrun
