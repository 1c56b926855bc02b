// Internal: the stages of a symbol over plain buffers, shared by Encode
// and the records that wrap it.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {

// The one maker of symbols.
struct SymbolMaker {
    // The symbol of `data`, or nothing with the reason in `failure`: the
    // detail (byte, position, capacity) that Encode turns into one line.
    static std::optional<Symbol> Make(std::span<const uint8_t> data, const EncodeOptions& options,
                                      EncodeFailure& failure);
    // The symbol of data codewords already made, in the smallest size of
    // the request that holds them.
    static std::optional<Symbol> MakeOfCodewords(std::span<const uint8_t> codewords, const EncodeOptions& options,
                                                 const DataMeaning& meaning, EncodeFailure& failure);

private:
    static bool Build(Symbol& symbol, const uint8_t* data, int32_t count, int32_t sizeIndex, bool iso144);
    static void LayOutModules(Symbol& symbol, const SymbolSize& size, const uint8_t* mapping);
};

// A failure of the encoder as the Status of its layer.
Status StatusOf(const EncodeFailure& failure);

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
