// Internal: the stages of a symbol over plain buffers, shared by Encode
// and the records that wrap it.
#pragma once

#include "glyphrun/ecc200.h"

namespace glyphrun {

// Fills the check codewords after the data codewords of `codewords`, which
// holds the size's total.
void FillCheckCodewords(uint8_t* codewords, int32_t sizeIndex);

// Lays the size's codewords into `modules`, its zeroed mapping matrix (row
// 0 at the top), setting `darkValue` in dark modules. The codewords placed.
int32_t PlaceIntoMapping(uint8_t* modules, const uint8_t* codewords, int32_t sizeIndex, uint8_t darkValue);

}  // namespace glyphrun
