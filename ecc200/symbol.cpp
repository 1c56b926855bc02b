#include "glyphrun/symbol.h"

#include <cstring>
#include <limits>
#include <new>

#include "failure.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

// The largest mapping matrix, 132 x 132 modules of the 144 x 144 symbol.
constexpr int32_t kMaxMappingModules = 132 * 132;

// Draws the finder and clock lines of every data region around the mapping
// matrix: each region has a solid line on its left and bottom and
// alternating modules on its top and right, dark where they meet the solid
// lines.
void LayOutModules(Symbol& symbol, const SymbolSize& size, const uint8_t* mapping) {
    const int32_t regionHeight = size.regionRows + 2, regionWidth = size.regionCols + 2;
    const int32_t mappingCols = size.mappingCols();
    symbol.modules.assign(static_cast<size_t>(size.rows) * size.cols, 0);
    for (int32_t r = 0; r < size.rows; ++r) {
        uint8_t* out = symbol.modules.data() + static_cast<size_t>(r) * size.cols;
        const int32_t inRegion = r % regionHeight;
        if (inRegion == regionHeight - 1) {  // the solid bottom line
            std::memset(out, 1, static_cast<size_t>(size.cols));
            continue;
        }
        if (inRegion == 0) {  // the clock line on top, dark from the left column on
            for (int32_t c = 0; c < size.cols; c += 2) out[c] = 1;
            continue;
        }
        const uint8_t* data = mapping + static_cast<size_t>((r / regionHeight) * size.regionRows + inRegion - 1) * mappingCols;
        // The right clock line is dark on every second row from the bottom,
        // whose row count is even.
        const uint8_t clock = (size.rows - 1 - r) % 2 == 0 ? 1 : 0;
        for (int32_t across = 0; across < size.regionsAcross; ++across, data += size.regionCols) {
            uint8_t* region = out + across * regionWidth;
            region[0] = 1;
            for (int32_t c = 0; c < size.regionCols; ++c) region[c + 1] = data[c] & 1;
            region[regionWidth - 1] = clock;
        }
    }
}

void Build(Symbol& symbol, const uint8_t* data, int32_t count, int32_t sizeIndex) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    symbol.sizeIndex = sizeIndex;
    symbol.rows = size.rows;
    symbol.cols = size.cols;
    symbol.dataCodewords = count;
    symbol.codewords.assign(static_cast<size_t>(size.totalCodewords()), 0);
    std::memcpy(symbol.codewords.data(), data, static_cast<size_t>(count));
    PadCodewords(symbol.codewords.data(), count, size.dataCodewords);
    FillCheckCodewords(symbol.codewords.data(), sizeIndex);

    uint8_t mapping[kMaxMappingModules];
    std::memset(mapping, 0, static_cast<size_t>(size.mappingRows()) * size.mappingCols());
    PlaceIntoMapping(mapping, symbol.codewords.data(), sizeIndex, 1);
    LayOutModules(symbol, size, mapping);
}

}  // namespace

EncodeResult Encode(std::span<const uint8_t> data, const EncodeOptions& options) {
    EncodeResult result;
    // A length past the counts' range is far past what any symbol holds.
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        FailToFit(&result.failure, options.scheme, kMaxDataCodewords + 1, options.size);
        return result;
    }
    uint8_t codewords[kMaxDataCodewords];
    int32_t sizeIndex = options.size;
    const int32_t count = EncodeCodewords(codewords, kMaxDataCodewords, data.data(), static_cast<int32_t>(data.size()),
                                          options.scheme, sizeIndex, &result.failure, options.meaning);
    if (count <= 0) return result;
    try {
        Build(result.symbol, codewords, count, sizeIndex);
    } catch (const std::bad_alloc&) {
        result.symbol = Symbol{};
        Fail(&result.failure, EncodeError::OutOfMemory, options.scheme);
    }
    return result;
}

}  // namespace glyphrun
