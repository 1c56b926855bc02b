// Symbol sizes, Reed-Solomon checks and module placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/ecc200_stages.h"
#include "reader.h"

namespace glyphrun {
namespace {

int32_t Attr(SymbolAttribute a, int32_t i) { return QuerySymbolAttribute(a, i); }

// {data codewords, request, size chosen or -1}. With the DMRE sizes, the
// smallest by area that holds the data: 17 codewords take 8 x 48 (384
// modules) rather than 12 x 36 (432), 33 take 20 x 36 (720) rather than
// 8 x 96 (768), which holds fewer, and 45 take 16 x 48 rather than 8 x 120,
// which holds as many. A rectangle request gets no DMRE size unless it asks.
TEST(SymbolSize, SelectsSmallestFittingSizeOfTheFamily) {
    constexpr int32_t kSquare = kSmallestSquare, kRect = kSmallestRectangle, kDmre = kSmallestRectangleOrDmre;
    const int32_t cases[][3] = {{3, kSquare, 0},  {4, kSquare, 1}, {1558, kSquare, 23}, {1559, kSquare, -1},
                                {5, kRect, 24},   {6, kRect, 25},  {50, kRect, -1},     {16, kDmre, 26},
                                {17, kDmre, 30},  {33, kDmre, 39}, {45, kDmre, 29},     {118, kDmre, 47},
                                {119, kDmre, -1}, {90, 46, 46},    {10, 5, 5},          {23, 5, -1},
                                {0, kDmre, -1},   {0, 29, -1},     {1, -4, -1},         {1, 48, -1}};
    for (const auto& [codewords, request, size] : cases)
        EXPECT_EQ(SelectSymbolSize(codewords, request), size) << codewords << " for " << request;
}

TEST(SymbolSize, InvalidIndexAndAttributeReadAsMinusOne) {
    for (auto [id, index] : {std::pair{0, 48}, {13, -1}, {14, 0}, {-1, 0}})
        EXPECT_EQ(Attr(static_cast<SymbolAttribute>(id), index), -1) << id << " " << index;
}

// {size, block, data codewords or -1}: 8 x 144 has one block, like every DMRE size.
TEST(SymbolSize, DataCodewordsPerBlock) {
    const int32_t cases[][3] = {{23, 7, 156}, {23, 8, 155}, {14, 1, 102}, {35, 0, 63},
                                {23, 10, -1}, {23, -1, -1}, {0, 1, -1},   {48, 0, -1}};
    for (const auto& [size, block, codewords] : cases) EXPECT_EQ(DataCodewordsInBlock(size, block), codewords);
}

TEST(Placement, TenByTenExample) {
    Ecc200Message* message = AllocMessage(0);
    const uint8_t codewords[] = {142, 164, 186, 114, 25, 5, 88, 102};
    std::copy(codewords, codewords + 8, message->codewords);
    EXPECT_EQ(PlaceCodewords(message, 0, ModuleDarkBits), 8);
    const std::vector<std::string> expected = {"1010101010", "1100101101", "1100000100", "1100011101", "1100001000",
                                               "1000001111", "1110110000", "1111011001", "1001110100", "1111111111"};
    std::vector<std::string> picture;
    for (int r = 9; r >= 0; --r) {
        picture.emplace_back();
        for (int c = 0; c < 10; ++c) picture.back() += (ModuleStatus(message, 0, r, c) & ModuleDarkBits) ? '1' : '0';
    }
    EXPECT_EQ(picture, expected);
    FreeMessage(message);
}

// With every codeword 0xFF a module is dark exactly when a codeword bit or
// the fixed corner pattern reached it: each size covers its mapping matrix
// once but for the fixed corner, and has its finder and clock lines.
TEST(Placement, EverySizeCoversItsMappingMatrixInsideItsPatterns) {
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        Ecc200Message* message = AllocMessage(size);
        for (int i = 0; i < message->codewordCount; ++i) message->codewords[i] = 0xFF;
        EXPECT_EQ(PlaceCodewords(message, size, ModuleDarkBits), message->codewordCount);
        int assigned = 0;
        for (int i = 0; i < message->moduleCount; ++i) assigned += (message->modules[i] & ModuleAssigned) ? 1 : 0;
        EXPECT_EQ(assigned, 8 * message->codewordCount);
        const bool fixedCorner = message->moduleCount != assigned;
        EXPECT_EQ(fixedCorner, size == 1 || size == 3 || size == 5 || size == 7);
        const int rows = Attr(SymbolAttribute::AttrSymbolRows, size);
        const int cols = Attr(SymbolAttribute::AttrSymbolCols, size);
        for (int c = 0; c < cols; ++c) {
            EXPECT_EQ(ModuleStatus(message, size, 0, c), 7);
            EXPECT_EQ(ModuleStatus(message, size, rows - 1, c), c % 2 == 0 ? 7 : 0);
        }
        for (int r = 0; r < rows; ++r) {
            EXPECT_EQ(ModuleStatus(message, size, r, 0), 7);
            EXPECT_EQ(ModuleStatus(message, size, r, cols - 1), r % 2 == 0 ? 7 : 0);
        }
        for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {rows, 0}, {0, cols}})
            EXPECT_EQ(ModuleStatus(message, size, r, c), -1);
        FreeMessage(message);
    }
}

// The fixed corner of 12 x 12 (dark on its diagonal), and the inner lines of 8 x 32's two regions.
TEST(Placement, FixedCornerAndRegionBorders) {
    Ecc200Message* message = AllocMessage(1);
    PlaceCodewords(message, 1, ModuleDarkBits);
    const auto at = [&](int r, int c) { return message->modules[r * 10 + c] & ModuleDarkBits; };
    EXPECT_EQ(at(9, 9) + at(8, 8), 2 * ModuleDarkBits);
    EXPECT_EQ(at(9, 8) + at(8, 9), 0);
    FreeMessage(message);
    message = AllocMessage(25);
    PlaceCodewords(message, 25, ModuleDarkBits);
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(ModuleStatus(message, 25, r, 16), 7);
        EXPECT_EQ(ModuleStatus(message, 25, r, 15), r % 2 == 0 ? 7 : 0);
    }
    EXPECT_EQ(ModuleStatus(message, 48, 0, 0), -1);
    EXPECT_EQ(PlaceCodewords(message, 24, ModuleDarkBits), 0);  // not this message's size
    FreeMessage(message);
}

// A block, data then checks, highest power first, is a codeword when it is 0 at each root a^1 .. a^checks.
bool HasZeroSyndromes(const std::vector<uint8_t>& block, int checks) {
    for (int i = 1; i <= checks; ++i) {
        uint8_t s = 0;
        for (uint8_t c : block) s = GfMultiplyPower(s, i) ^ c;
        if (s != 0) return false;
    }
    return true;
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
            ASSERT_TRUE(HasZeroSyndromes(block, ne)) << "block " << b;
        }
        FreeMessage(message);
    }
}

// The iso144 layout puts check j of block b at 10 j + b past the data: the same data, its blocks right in that
// interleaving. zxing-cpp reads the default layout; no other size has a second one.
TEST(ReedSolomon, LargestSymbolInEitherBlockLayout) {
    std::string text;
    for (int i = 0; i < kMaxDataCodewords; ++i) text += static_cast<char>('A' + i % 23);
    const auto encode = [&](int32_t size, bool iso144, size_t length) {
        const std::string data = text.substr(0, length);
        return Encode({reinterpret_cast<const uint8_t*>(data.data()), data.size()},
                      {.scheme = EncodeScheme::Ascii, .size = size, .iso144 = iso144})
            .value();
    };
    const Symbol common = encode(23, false, text.size()), iso = encode(23, true, text.size());
    EXPECT_EQ(testing::ReadSymbol(common), text);
    const std::vector<uint8_t>&c = common.codewords(), &i = iso.codewords();
    EXPECT_TRUE(std::equal(i.begin(), i.begin() + kMaxDataCodewords, c.begin()));
    EXPECT_NE(i, c);
    for (int b = 0; b < 10; ++b) {
        std::vector<uint8_t> block;
        for (int p = b; p < kMaxDataCodewords; p += 10) block.push_back(i[p]);
        for (int j = 0; j < 62; ++j) block.push_back(i[kMaxDataCodewords + 10 * j + b]);
        EXPECT_TRUE(HasZeroSyndromes(block, 62)) << "block " << b;
    }
    for (int size : {22, 35}) EXPECT_EQ(encode(size, false, 60).modules(), encode(size, true, 60).modules());
}

}  // namespace
}  // namespace glyphrun
