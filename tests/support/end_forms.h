// A checker of ours for the end of each scheme's data. It walks a symbol's
// data codewords as a reader does and refuses every end that the
// standard's end rules do not lay down, although common readers may
// decode it:
// - where a reader returns to ASCII by itself after C40, Text or X12 (one
//   codeword left at a triple boundary), that codeword is the unlatch or
//   one character alone: no digit pair, no pad;
// - after EDIFACT (one or two codewords left at a group boundary), they
//   hold one character each or pad: no digit pair, no Upper Shift.
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
