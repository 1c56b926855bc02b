// --verify: each symbol read back, by an independent reader (zxing-cpp),
// from the picture about to be written, and compared with what was meant
// before the file is kept.
#pragma once

#include <span>

#include "glyphrun/symbol.h"
#include "options.h"
#include "symbol.h"

namespace glyphrun::cli {

// Whether --verify can run: the reader module was built (with
// libzxing-dev) and is found beside the program; else why not.
Status VerifierReady();

// Nothing when the symbols of `input` (one, or those of a Structured
// Append message in order), drawn as `options` draw them (raster formats
// at their pixels, vector ones as their module grid), read back as the
// bytes, ECI and GS1 meaning that `input` was made into; else what was read.
Status Verify(std::span<const Symbol> symbols, ByteSpan input, const Options& options);

}  // namespace glyphrun::cli
