#include <array>
#include <iterator>

#include "failure.h"

namespace glyphrun {
namespace {

// rows, cols, region rows and cols, regions across and down, blocks, check
// codewords and correctable errors per block, data codewords.
// clang-format off
constexpr SymbolSize kSizes[kAllSymbolSizeCount] = {
    { 10,  10,  8,  8, 1, 1,  1,  5,  2,    3},
    { 12,  12, 10, 10, 1, 1,  1,  7,  3,    5},
    { 14,  14, 12, 12, 1, 1,  1, 10,  5,    8},
    { 16,  16, 14, 14, 1, 1,  1, 12,  6,   12},
    { 18,  18, 16, 16, 1, 1,  1, 14,  7,   18},
    { 20,  20, 18, 18, 1, 1,  1, 18,  9,   22},
    { 22,  22, 20, 20, 1, 1,  1, 20, 10,   30},
    { 24,  24, 22, 22, 1, 1,  1, 24, 12,   36},
    { 26,  26, 24, 24, 1, 1,  1, 28, 14,   44},
    { 32,  32, 14, 14, 2, 2,  1, 36, 18,   62},
    { 36,  36, 16, 16, 2, 2,  1, 42, 21,   86},
    { 40,  40, 18, 18, 2, 2,  1, 48, 24,  114},
    { 44,  44, 20, 20, 2, 2,  1, 56, 28,  144},
    { 48,  48, 22, 22, 2, 2,  1, 68, 34,  174},
    { 52,  52, 24, 24, 2, 2,  2, 42, 21,  204},
    { 64,  64, 14, 14, 4, 4,  2, 56, 28,  280},
    { 72,  72, 16, 16, 4, 4,  4, 36, 18,  368},
    { 80,  80, 18, 18, 4, 4,  4, 48, 24,  456},
    { 88,  88, 20, 20, 4, 4,  4, 56, 28,  576},
    { 96,  96, 22, 22, 4, 4,  4, 68, 34,  696},
    {104, 104, 24, 24, 4, 4,  6, 56, 28,  816},
    {120, 120, 18, 18, 6, 6,  6, 68, 34, 1050},
    {132, 132, 20, 20, 6, 6,  8, 62, 31, 1304},
    {144, 144, 22, 22, 6, 6, 10, 62, 31, 1558},
    {  8,  18,  6, 16, 1, 1,  1,  7,  3,    5},
    {  8,  32,  6, 14, 2, 1,  1, 11,  5,   10},
    { 12,  26, 10, 24, 1, 1,  1, 14,  7,   16},
    { 12,  36, 10, 16, 2, 1,  1, 18,  9,   22},
    { 16,  36, 14, 16, 2, 1,  1, 24, 12,   32},
    { 16,  48, 14, 22, 2, 1,  1, 28, 14,   49},
    // DMRE: one Reed-Solomon block each, which is what readers expect.
    {  8,  48,  6, 22, 2, 1,  1, 15,  7,   18},
    {  8,  64,  6, 14, 4, 1,  1, 18,  9,   24},
    {  8,  80,  6, 18, 4, 1,  1, 22, 11,   32},
    {  8,  96,  6, 22, 4, 1,  1, 28, 14,   38},
    {  8, 120,  6, 18, 6, 1,  1, 32, 16,   49},
    {  8, 144,  6, 22, 6, 1,  1, 36, 18,   63},
    { 12,  64, 10, 14, 4, 1,  1, 27, 13,   43},
    { 12,  88, 10, 20, 4, 1,  1, 36, 18,   64},
    { 16,  64, 14, 14, 4, 1,  1, 36, 18,   62},
    { 20,  36, 18, 16, 2, 1,  1, 28, 14,   44},
    { 20,  44, 18, 20, 2, 1,  1, 34, 17,   56},
    { 20,  64, 18, 14, 4, 1,  1, 42, 21,   84},
    { 22,  48, 20, 22, 2, 1,  1, 38, 19,   72},
    { 24,  48, 22, 22, 2, 1,  1, 41, 20,   80},
    { 24,  64, 22, 14, 4, 1,  1, 46, 23,  108},
    { 26,  40, 24, 18, 2, 1,  1, 38, 19,   70},
    { 26,  48, 24, 22, 2, 1,  1, 42, 21,   90},
    { 26,  64, 24, 14, 4, 1,  1, 50, 25,  118},
};
// clang-format on

constexpr int kFirstRectangle = 24;

// Each family in the order a request searches it, which is increasing size
// (so the first that fits is the smallest), and every index once for the
// fixed requests.
constexpr std::array<int32_t, kAllSymbolSizeCount> kEveryIndex = [] {
    std::array<int32_t, kAllSymbolSizeCount> every{};
    for (int32_t i = 0; i < kAllSymbolSizeCount; ++i) every[i] = i;
    return every;
}();
// The rectangles with the DMRE sizes by area; of two of the same area the
// ECC200 rectangle first, which more readers know.
constexpr int32_t kRectanglesAndDmre[kAllSymbolSizeCount - kFirstRectangle] = {
    24, 25, 26, 30, 27, 31, 28, 32, 39, 29, 33, 36, 40, 34, 38, 45, 37, 42, 35, 43, 46, 41, 44, 47};

constexpr int32_t Area(int32_t i) { return kSizes[i].rows * kSizes[i].cols; }

// Each rectangle and DMRE size once, by area, then by index.
constexpr bool OrderedByArea() {
    bool seen[kAllSymbolSizeCount] = {};
    for (int32_t k = 0; k < std::ssize(kRectanglesAndDmre); ++k) {
        const int32_t i = kRectanglesAndDmre[k];
        if (i < kFirstRectangle || i >= kAllSymbolSizeCount || seen[i]) return false;
        seen[i] = true;
        if (k > 0) {
            const int32_t before = kRectanglesAndDmre[k - 1];
            if (Area(before) > Area(i) || (Area(before) == Area(i) && before > i)) return false;
        }
    }
    return true;
}
static_assert(OrderedByArea());

// The table's columns agree with each other: the regions tile the symbol
// inside their finder and clock lines, the mapping matrix holds every
// codeword's eight modules (with at most four left over), and a block is
// no longer than a Reed-Solomon code over 256 elements can be.
constexpr bool ConsistentTable() {
    for (const SymbolSize& s : kSizes) {
        if (s.rows != s.regionsDown * (s.regionRows + 2) || s.cols != s.regionsAcross * (s.regionCols + 2))
            return false;
        const int32_t spare = s.mappingRows() * s.mappingCols() - 8 * s.totalCodewords();
        if (spare != 0 && spare != 4) return false;
        if (s.correctablePerBlock != s.eccPerBlock / 2) return false;
        if ((s.dataCodewords + s.blocks - 1) / s.blocks + s.eccPerBlock > 255) return false;
    }
    return kSizes[kLargestSquareSize].dataCodewords == kMaxDataCodewords;
}
static_assert(ConsistentTable());

constexpr bool IsSizeIndex(int32_t sizeIndex) { return sizeIndex >= 0 && sizeIndex < kAllSymbolSizeCount; }

}  // namespace

std::span<const int32_t> SizesOf(int32_t requestedSize) {
    const std::span<const int32_t> every(kEveryIndex);
    switch (requestedSize) {
        case kSmallestSquare: return every.first(kLargestSquareSize + 1);
        case kSmallestRectangle: return every.subspan(kFirstRectangle, kSymbolSizeCount - kFirstRectangle);
        case kSmallestRectangleOrDmre: return kRectanglesAndDmre;
        default: return IsSizeIndex(requestedSize) ? every.subspan(requestedSize, 1) : std::span<const int32_t>();
    }
}

std::span<const SymbolSize, kAllSymbolSizeCount> SymbolSizes() { return kSizes; }

int32_t QuerySymbolAttribute(SymbolAttribute attribute, int32_t i) {
    if (!IsSizeIndex(i)) return -1;
    const SymbolSize& s = kSizes[i];
    switch (attribute) {
        case SymbolAttribute::AttrSymbolRows: return s.rows;
        case SymbolAttribute::AttrSymbolCols: return s.cols;
        case SymbolAttribute::AttrRegionRows: return s.regionRows;
        case SymbolAttribute::AttrRegionCols: return s.regionCols;
        case SymbolAttribute::AttrRegionsAcross: return s.regionsAcross;
        case SymbolAttribute::AttrRegionsDown: return s.regionsDown;
        case SymbolAttribute::AttrMappingRows: return s.mappingRows();
        case SymbolAttribute::AttrMappingCols: return s.mappingCols();
        case SymbolAttribute::AttrBlocks: return s.blocks;
        case SymbolAttribute::AttrEccPerBlock: return s.eccPerBlock;
        case SymbolAttribute::AttrCorrectablePerBlock: return s.correctablePerBlock;
        case SymbolAttribute::AttrDataCodewords: return s.dataCodewords;
        case SymbolAttribute::AttrEccCodewords: return s.eccCodewords();
        case SymbolAttribute::AttrCorrectableTotal: return s.correctablePerBlock * s.blocks;
    }
    return -1;  // an id cast from an integer outside the enumeration
}

int32_t SelectSymbolSize(int32_t dataCodewords, int32_t requestedSize) {
    if (dataCodewords <= 0) return -1;
    for (int32_t i : SizesOf(requestedSize))
        if (kSizes[i].dataCodewords >= dataCodewords) return i;
    return -1;
}

int32_t DataCodewordsInBlock(int32_t sizeIndex, int32_t block) {
    if (!IsSizeIndex(sizeIndex) || block < 0 || block >= kSizes[sizeIndex].blocks) return -1;
    const SymbolSize& size = kSizes[sizeIndex];
    return size.dataCodewords / size.blocks + (block < size.dataCodewords % size.blocks ? 1 : 0);
}

}  // namespace glyphrun
