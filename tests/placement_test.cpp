#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun {
namespace {

int32_t Attr(SymbolAttribute a, int32_t i) { return QuerySymbolAttribute(a, i); }

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

}  // namespace
}  // namespace glyphrun
