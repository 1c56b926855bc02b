#include <gtest/gtest.h>

#include "glyphrun/ecc200.h"

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

}  // namespace
}  // namespace glyphrun
