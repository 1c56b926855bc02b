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

// Every size, random data: each interleaved block is a codeword of the
// generator, its checks where its data interleaves (in 144 x 144 the two
// shorter blocks' checks come first).
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

}  // namespace
}  // namespace glyphrun
