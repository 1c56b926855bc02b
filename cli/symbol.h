// One symbol from bytes to a file: the work of a single input and of each
// line of a batch.
#pragma once

#include <span>
#include <string>

#include "options.h"

namespace glyphrun::cli {

using ByteSpan = std::span<const unsigned char>;

// The bytes to encode: GS1 element strings checked and joined, UTF-8
// checked, anything else as it is. `error` says what is wrong.
struct PreparedInput {
    std::string bytes;
    std::string error;
};
PreparedInput PrepareInput(ByteSpan input, const Options& options);

// Encodes prepared bytes with the options' scheme, size and meaning into
// `encoder` (which the caller frees); empty, or why it failed.
std::string EncodeModules(const std::string& input, const Options& options, int32_t moduleSize, int32_t margin,
                          Ecc200Encoder& encoder);

// Writes the symbol of `input` to `path` ("-": PNG to standard output) in
// the options' format. Empty on success, else why it failed, in one line.
std::string WriteSymbol(ByteSpan input, const Options& options, const std::string& path);

}  // namespace glyphrun::cli
