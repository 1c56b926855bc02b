// The independent reader: decodes a rendered symbol with zxing-cpp's
// reading API, so that a symbol counts as right only when a reader we did
// not write gets the input bytes back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/symbol.h"

namespace glyphrun::testing {

// What the reader makes of a symbol beyond its bytes.
struct Reading {
    std::string bytes;                // the content, FNC1 separators as GS (0x1D)
    std::string text;                 // as UTF-8, after any ECI
    std::string symbologyIdentifier;  // "]d1"; "]d2" for GS1 data
    bool hasEci = false;
    bool readerInit = false;  // a reader programming symbol
    // Structured Append: the 0-based position, the count and the message's
    // identification (256 x the first file identification codeword + the
    // second, in decimal); -1, -1 and empty for a symbol on its own.
    int sequenceIndex = -1, sequenceSize = -1;
    std::string sequenceId;
};
// Decodes the Data Matrix symbol in `image`, its bytes exactly (128-255
// unchanged); nothing when the reader finds no symbol. The picture is
// scaled so that a module spans at least three pixels and padded with a
// light border, so module size 1 and margin 0 can be read too.
std::optional<Reading> ReadSymbolFully(const ModuleImage& image, int moduleSize);

// A symbol drawn at three pixels per module with a four-module light border.
std::optional<std::string> ReadSymbol(const Symbol& symbol);
std::optional<Reading> ReadSymbolFully(const Symbol& symbol);

inline std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}
inline Result<Symbol> EncodeText(const std::string& text, const EncodeOptions& options = {}) {
    return Encode(BytesOf(text), options);
}

// Encodes `bytes` with `scheme` at `requestedSize` and decodes the symbol.
// Nothing when encoding or reading fails.
std::optional<std::string> EncodeAndRead(const std::string& bytes, EncodeScheme scheme, int32_t requestedSize);

}  // namespace glyphrun::testing
