// One symbol from bytes to a file: the work of a single input and of each
// line of a batch.
#pragma once

#include <span>
#include <string>

#include "options.h"
#include "report.h"

namespace glyphrun::cli {

using ByteSpan = std::span<const unsigned char>;

// The bytes to encode into `bytes`: GS1 element strings checked and
// joined, UTF-8 checked, anything else as it is.
Failure PrepareInput(ByteSpan input, const Options& options, std::string& bytes);

// Encodes prepared bytes with the options' scheme, size and meaning into
// `encoder` (which the caller frees).
Failure EncodeModules(const std::string& input, const Options& options, int32_t moduleSize, int32_t margin,
                      Ecc200Encoder& encoder);

// Writes the symbol of `input` to `path` ("-": PNG to standard output) in
// the options' format. Memory that runs out is this input's failure.
Failure WriteSymbol(ByteSpan input, const Options& options, const std::string& path);

}  // namespace glyphrun::cli
