#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

// The stored columns, indexed by size index: 24 square sizes, then 6 rectangles.
constexpr int32_t kSymbolRows[kSymbolSizeCount] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48, 52,
                                                   64, 72, 80, 88, 96, 104, 120, 132, 144, 8, 8, 12, 12, 16, 16};
constexpr int32_t kSymbolCols[kSymbolSizeCount] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48, 52,
                                                   64, 72, 80, 88, 96, 104, 120, 132, 144, 18, 32, 26, 36, 36, 48};
constexpr int32_t kRegionRows[kSymbolSizeCount] = {8,  10, 12, 14, 16, 18, 20, 22, 24, 14, 16, 18, 20, 22, 24,
                                                   14, 16, 18, 20, 22, 24, 18, 20, 22, 6,  6,  10, 10, 14, 14};
constexpr int32_t kRegionCols[kSymbolSizeCount] = {8,  10, 12, 14, 16, 18, 20, 22, 24, 14, 16, 18, 20, 22, 24,
                                                   14, 16, 18, 20, 22, 24, 18, 20, 22, 16, 14, 24, 16, 16, 22};
constexpr int32_t kRegionsAcross[kSymbolSizeCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2,
                                                      4, 4, 4, 4, 4, 4, 6, 6, 6, 1, 2, 1, 2, 2, 2};
constexpr int32_t kBlocks[kSymbolSizeCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2,
                                               2, 4, 4, 4, 4, 6, 6, 8, 10, 1, 1, 1, 1, 1, 1};
constexpr int32_t kEccPerBlock[kSymbolSizeCount] = {5,  7,  10, 12, 14, 18, 20, 24, 28, 36, 42, 48, 56, 68, 42,
                                                    56, 36, 48, 56, 68, 56, 68, 62, 62, 7,  11, 14, 18, 24, 28};
constexpr int32_t kCorrectablePerBlock[kSymbolSizeCount] = {2,  3,  5,  6,  7,  9,  10, 12, 14, 18, 21, 24, 28, 34, 21,
                                                            28, 18, 24, 28, 34, 28, 34, 31, 31, 3,  5,  7,  9,  12, 14};
constexpr int32_t kDataCodewords[kSymbolSizeCount] = {3,   5,   8,   12,  18,  22,  30,   36,   44,   62,
                                                      86,  114, 144, 174, 204, 280, 368,  456,  576,  696,
                                                      816, 1050, 1304, 1558, 5, 10, 16, 22, 32, 49};

constexpr int kFirstRectangle = 24;
constexpr int kLargestSquare = 23;

constexpr bool IsSizeIndex(int32_t sizeIndex) { return sizeIndex >= 0 && sizeIndex < kSymbolSizeCount; }

int32_t RegionsDown(int32_t i) { return i >= kFirstRectangle ? 1 : kRegionsAcross[i]; }

int32_t FirstFitting(int32_t dataCodewords, int32_t first, int32_t last) {
    for (int32_t i = first; i <= last; ++i)
        if (kDataCodewords[i] >= dataCodewords) return i;
    return -1;
}

}  // namespace

int32_t QuerySymbolAttribute(SymbolAttribute attribute, int32_t i) {
    if (!IsSizeIndex(i)) return -1;
    switch (attribute) {
        case SymbolAttribute::AttrSymbolRows: return kSymbolRows[i];
        case SymbolAttribute::AttrSymbolCols: return kSymbolCols[i];
        case SymbolAttribute::AttrRegionRows: return kRegionRows[i];
        case SymbolAttribute::AttrRegionCols: return kRegionCols[i];
        case SymbolAttribute::AttrRegionsAcross: return kRegionsAcross[i];
        case SymbolAttribute::AttrRegionsDown: return RegionsDown(i);
        case SymbolAttribute::AttrMappingRows: return RegionsDown(i) * kRegionRows[i];
        case SymbolAttribute::AttrMappingCols: return kRegionsAcross[i] * kRegionCols[i];
        case SymbolAttribute::AttrBlocks: return kBlocks[i];
        case SymbolAttribute::AttrEccPerBlock: return kEccPerBlock[i];
        case SymbolAttribute::AttrCorrectablePerBlock: return kCorrectablePerBlock[i];
        case SymbolAttribute::AttrDataCodewords: return kDataCodewords[i];
        case SymbolAttribute::AttrEccCodewords: return kEccPerBlock[i] * kBlocks[i];
        case SymbolAttribute::AttrCorrectableTotal: return kCorrectablePerBlock[i] * kBlocks[i];
    }
    return -1;  // an id cast from an integer outside the enumeration
}

int32_t SelectSymbolSize(int32_t dataCodewords, int32_t requestedSize) {
    if (dataCodewords <= 0) return -1;
    if (requestedSize == kSmallestSquare) return FirstFitting(dataCodewords, 0, kLargestSquare);
    if (requestedSize == kSmallestRectangle) return FirstFitting(dataCodewords, kFirstRectangle, kSymbolSizeCount - 1);
    if (!IsSizeIndex(requestedSize)) return -1;
    return kDataCodewords[requestedSize] >= dataCodewords ? requestedSize : -1;
}

int32_t DataCodewordsInBlock(int32_t sizeIndex, int32_t block) {
    if (!IsSizeIndex(sizeIndex) || block < 0 || block >= kBlocks[sizeIndex]) return -1;
    // Only 144 x 144 does not divide evenly: its first 8 blocks carry one more.
    const int32_t extra = (sizeIndex == kLargestSquare && block < 8) ? 1 : 0;
    return kDataCodewords[sizeIndex] / kBlocks[sizeIndex] + extra;
}

}  // namespace glyphrun
