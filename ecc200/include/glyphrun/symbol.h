// The encoder's one product: a finished symbol, made by one call.
//
//     const EncodeResult result = Encode(bytes);
//     if (!result) puts(result.reason().c_str());
//     else draw(result.symbol);  // rows x cols modules, dark(row, col)
//
// Every output (raster and vector files, the window, the readers in the
// tests) draws a Symbol. Nothing here writes to standard error or throws.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {

struct EncodeOptions {
    EncodeScheme scheme = EncodeScheme::AutoMinimal;
    int32_t size = kSmallestSquare;  // 0-29, kSmallestSquare or kSmallestRectangle
    DataMeaning meaning{};           // GS1 or an ECI; zero for plain bytes
    // The minimal encodation only: after C40, Text, X12 or EDIFACT the last
    // codewords may also be any ASCII that fits once the reader returns to
    // ASCII by itself (a digit pair, an Upper Shift pair), not only one
    // character per codeword as the standard's end rules have it. Now and
    // then a size smaller; common readers decode it, strict ones need not.
    bool lenientEnd = false;
};

struct Symbol {
    int32_t sizeIndex = -1;
    int32_t rows = 0, cols = 0;
    int32_t dataCodewords = 0;       // what the encodation produced, before padding
    std::vector<uint8_t> codewords;  // the padded data, then the interleaved check codewords
    std::vector<uint8_t> modules;    // rows x cols, row 0 at the top: 1 dark, 0 light

    bool dark(int32_t row, int32_t col) const { return modules[static_cast<size_t>(row) * cols + col] != 0; }
    int32_t capacity() const { return SymbolSizes()[sizeIndex].dataCodewords; }
};

struct EncodeResult {
    Symbol symbol;
    EncodeFailure failure{};  // error None when the symbol was made

    explicit operator bool() const { return failure.error == EncodeError::None; }
    std::string reason() const { return DescribeEncodeFailure(failure); }  // one line
};

EncodeResult Encode(std::span<const uint8_t> data, const EncodeOptions& options = {});

// The schemes a symbol's data codewords use, in order, as its codewords say
// (a latch counts to the scheme it starts, an unlatch to the one it ends).
struct SchemeRun {
    EncodeScheme scheme;
    int32_t codewords;
};
std::vector<SchemeRun> SchemeRunsOf(const Symbol& symbol);

}  // namespace glyphrun
