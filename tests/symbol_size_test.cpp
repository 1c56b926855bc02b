#include <gtest/gtest.h>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

int32_t Attr(SymbolAttribute a, int32_t i) { return QuerySymbolAttribute(a, i); }

TEST(SymbolSize, SelectsSmallestFittingSizeOfTheFamily) {
    EXPECT_EQ(SelectSymbolSize(3, kSmallestSquare), 0);
    EXPECT_EQ(SelectSymbolSize(4, kSmallestSquare), 1);
    EXPECT_EQ(SelectSymbolSize(1558, kSmallestSquare), 23);
    EXPECT_EQ(SelectSymbolSize(1559, kSmallestSquare), -1);
    EXPECT_EQ(SelectSymbolSize(5, kSmallestRectangle), 24);
    EXPECT_EQ(SelectSymbolSize(6, kSmallestRectangle), 25);
    EXPECT_EQ(SelectSymbolSize(50, kSmallestRectangle), -1);  // no DMRE size unless asked for
    // With the DMRE sizes, the smallest by area that holds the data: 17
    // codewords take 8 x 48 (384 modules) rather than 12 x 36 (432), 33 take
    // 20 x 36 (720) rather than 8 x 96 (768), which holds fewer, and 45 take
    // 16 x 48 rather than 8 x 120, which holds as many.
    EXPECT_EQ(SelectSymbolSize(16, kSmallestRectangleOrDmre), 26);
    EXPECT_EQ(SelectSymbolSize(17, kSmallestRectangleOrDmre), 30);
    EXPECT_EQ(SelectSymbolSize(33, kSmallestRectangleOrDmre), 39);
    EXPECT_EQ(SelectSymbolSize(45, kSmallestRectangleOrDmre), 29);
    EXPECT_EQ(SelectSymbolSize(118, kSmallestRectangleOrDmre), 47);
    EXPECT_EQ(SelectSymbolSize(119, kSmallestRectangleOrDmre), -1);
    EXPECT_EQ(SelectSymbolSize(90, 46), 46);
    EXPECT_EQ(SelectSymbolSize(10, 5), 5);
    EXPECT_EQ(SelectSymbolSize(23, 5), -1);
    for (int32_t request : {-3, -2, -1, 0, 29, 47}) EXPECT_EQ(SelectSymbolSize(0, request), -1);
    for (int32_t request : {-4, 48, 1000}) EXPECT_EQ(SelectSymbolSize(1, request), -1);
}

TEST(SymbolSize, InvalidIndexAndAttributeReadAsMinusOne) {
    for (int32_t id = 0; id <= 13; ++id) {
        EXPECT_EQ(Attr(static_cast<SymbolAttribute>(id), 48), -1);
        EXPECT_EQ(Attr(static_cast<SymbolAttribute>(id), -1), -1);
    }
    EXPECT_EQ(Attr(static_cast<SymbolAttribute>(14), 0), -1);
    EXPECT_EQ(Attr(static_cast<SymbolAttribute>(-1), 0), -1);
}

TEST(SymbolSize, EveryRowHoldsTheTableInvariants) {
    using A = SymbolAttribute;
    for (int32_t i = 0; i < kAllSymbolSizeCount; ++i) {
        SCOPED_TRACE(i);
        const int32_t down = Attr(A::AttrRegionsDown, i), across = Attr(A::AttrRegionsAcross, i);
        EXPECT_EQ(down, i >= 24 ? 1 : across);
        EXPECT_EQ(Attr(A::AttrSymbolRows, i), down * (Attr(A::AttrRegionRows, i) + 2));
        EXPECT_EQ(Attr(A::AttrSymbolCols, i), across * (Attr(A::AttrRegionCols, i) + 2));
        const int32_t modules = Attr(A::AttrMappingRows, i) * Attr(A::AttrMappingCols, i);
        const int32_t codewords = Attr(A::AttrDataCodewords, i) + Attr(A::AttrEccCodewords, i);
        const bool fixedCorner = i == 1 || i == 3 || i == 5 || i == 7;
        EXPECT_EQ(modules, 8 * codewords + (fixedCorner ? 4 : 0));
        EXPECT_EQ(Attr(A::AttrCorrectablePerBlock, i), Attr(A::AttrEccPerBlock, i) / 2);
        EXPECT_EQ(Attr(A::AttrCorrectableTotal, i), Attr(A::AttrCorrectablePerBlock, i) * Attr(A::AttrBlocks, i));
        int32_t sum = 0;
        for (int32_t b = 0; b < Attr(A::AttrBlocks, i); ++b) sum += DataCodewordsInBlock(i, b);
        EXPECT_EQ(sum, Attr(A::AttrDataCodewords, i));
    }
    EXPECT_EQ(Attr(A::AttrMappingCols, 25), 28);
    EXPECT_EQ(Attr(A::AttrMappingRows, 25), 6);
}

TEST(SymbolSize, DataCodewordsPerBlock) {
    EXPECT_EQ(DataCodewordsInBlock(23, 7), 156);
    EXPECT_EQ(DataCodewordsInBlock(23, 8), 155);
    EXPECT_EQ(DataCodewordsInBlock(14, 1), 102);
    EXPECT_EQ(DataCodewordsInBlock(23, 10), -1);
    EXPECT_EQ(DataCodewordsInBlock(23, -1), -1);
    EXPECT_EQ(DataCodewordsInBlock(0, 1), -1);
    EXPECT_EQ(DataCodewordsInBlock(35, 0), 63);  // 8 x 144: one block, like every DMRE size
    EXPECT_EQ(DataCodewordsInBlock(48, 0), -1);
}

}  // namespace
}  // namespace glyphrun
