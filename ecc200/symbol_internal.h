// Internal: the stages of a symbol over plain buffers, shared by Encode
// and the records that wrap it.
#pragma once

#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {

// Fills the check codewords after the data codewords of `codewords`, which
// holds the size's total; `iso144` as in EncodeOptions. False when memory
// for the size's tables ran out.
bool FillCheckCodewords(uint8_t* codewords, int32_t sizeIndex, bool iso144 = false);

// Where a size's codewords go in its mapping matrix (row * columns + column,
// row 0 at the top): bit b (from the most significant) of codeword k at
// bitModules[8k + b]; the modules of the fixed pattern that sizes with four
// spare modules have are dark in every symbol. Nothing when memory for it
// ran out.
struct MappingPlacement {
    std::vector<int32_t> bitModules;
    std::vector<int32_t> fixedDark;
};
const MappingPlacement* PlacementOf(int32_t sizeIndex);

// Lays the size's codewords into `modules`, its zeroed mapping matrix (row
// 0 at the top), setting `darkValue` in dark modules. The codewords placed:
// 0 when memory for the size's placement ran out.
int32_t PlaceIntoMapping(uint8_t* modules, const uint8_t* codewords, int32_t sizeIndex, uint8_t darkValue);

}  // namespace glyphrun
