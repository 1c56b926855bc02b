// A checker of ours for the end of each scheme's data. It walks a symbol's
// data codewords as a reader does and refuses every end that the
// standard's end rules do not lay down, although common readers may
// decode it:
// - C40, Text and X12 end with the unlatch, with a last triple that fills
//   the symbol, or where one codeword is left at a triple boundary: the
//   reader is in ASCII again, and that codeword is a pad or one character
//   that is a single value of the scheme (no unlatch, no digit pair);
// - no triple leaves a shift or an Upper Shift without its value at the
//   end of its segment, except a Shift 1 as the last value, which pads;
// - after EDIFACT (one or two codewords left at a group boundary), they
//   hold at most two characters in ASCII: one each, a digit pair, or an
//   Upper Shift and its character; a pad fills the rest.
// It also checks that the data ends where the symbol says it does: the pad
// comes exactly after `dataCodewords`, in ASCII.
#pragma once

#include <string>

#include "glyphrun/symbol.h"

namespace glyphrun::testing {

// Empty when every end is one of the standard's, else the first fault in
// one line, naming the codeword (counted from 1).
std::string EndFormFault(const Symbol& symbol);

}  // namespace glyphrun::testing
