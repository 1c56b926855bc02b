// The codewords of a symbol read straight off its module grid, for what the
// outside reader cannot check (the iso144 block layout). Written apart from
// the encoder's placement so that the two check each other.
#pragma once

#include <cstdint>
#include <vector>

#include "glyphrun/symbol.h"

namespace glyphrun::testing {

// Every codeword in placement order, the data and then the check codewords
// as the grid holds them. Empty when the grid does not fit the symbol's size,
// and for 26 x 40 and 26 x 48 (mapping matrices 24 rows high and 4 mod 8
// wide), where the walk would wrap a character at the left edge below the
// bottom one: those two are left to the outside reader.
std::vector<uint8_t> ReadCodewordsOffModules(const Symbol& symbol);

}  // namespace glyphrun::testing
