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
    int32_t size = kSmallestSquare;  // 0-47 or a family: kSmallestSquare, kSmallestRectangle, ...
    DataMeaning meaning{};           // GS1, an ECI, reader programming; zero for plain bytes
    // Input that is a whole Macro 05 or 06 message, "[)>" RS "05" GS (or
    // "06") ... RS EOT, is encoded as the body after one codeword that
    // stands for header and trailer. Off: the bytes stay as they are.
    bool detectMacro = true;
    bool dmre = false;  // kSmallestRectangle chooses among the DMRE sizes too
    // 144 x 144 only: the check codewords start with block 0's, as the
    // standard's text has them and the readers that follow it read them, rather than with
    // the two shorter blocks' that most readers expect.
    bool iso144 = false;
    // The minimal encodation only: after C40, Text, X12 or EDIFACT the last
    // codewords may also be any ASCII that fits once the reader returns to
    // ASCII by itself (a digit pair, an Upper Shift pair), not only one
    // character per codeword as the standard's end rules have it. Now and
    // then a size smaller; common readers decode it, strict ones need not.
    bool lenientEnd = false;
};

// The size request that `options` make: kSmallestRectangle widened to
// kSmallestRectangleOrDmre when `dmre` asks for it.
int32_t RequestedSize(const EncodeOptions& options);

struct Symbol {
    int32_t sizeIndex = -1;
    int32_t rows = 0, cols = 0;
    int32_t dataCodewords = 0;       // what the encodation produced, before padding
    std::vector<uint8_t> codewords;  // the padded data, then the interleaved check codewords
    std::vector<uint8_t> modules;    // rows x cols, row 0 at the top: 1 dark, 0 light
    DataMeaning meaning{};           // what its first codewords say, a macro found included

    bool dark(int32_t row, int32_t col) const { return modules[static_cast<size_t>(row) * cols + col] != 0; }
    int32_t capacity() const { return SymbolSizes()[sizeIndex].dataCodewords; }
};

// The encoder's Result<Symbol> (glyphrun/status.h) in all but name: true
// when it worked, else a one-line reason(), with the detail of the failure
// in an EncodeFailure. Status::Failed(failure.error, reason()) hands it on
// as a Status.
struct EncodeResult {
    Symbol symbol;
    EncodeFailure failure{};  // error None when the symbol was made

    explicit operator bool() const { return failure.error == EncodeError::None; }
    std::string reason() const { return DescribeEncodeFailure(failure); }  // one line
};

EncodeResult Encode(std::span<const uint8_t> data, const EncodeOptions& options = {});

// Structured Append: one message over 2-16 symbols, each of the options'
// scheme and size, which a reader joins back into the whole input.
struct StructuredAppendOptions {
    // 2-16; 0: as few as hold the input, which is one symbol of its own
    // (without Structured Append) when one holds it.
    int32_t symbols = 0;
    // The message's identification, 1-254 each, which tells a reader the
    // symbols of one message from those of another: give each its own.
    uint8_t fileId1 = 1, fileId2 = 1;
};

// The same for the symbols of one message.
struct StructuredAppendResult {
    std::vector<Symbol> symbols;  // in the order a reader joins them
    EncodeFailure failure{};      // error None when every symbol was made

    explicit operator bool() const { return failure.error == EncodeError::None; }
    std::string reason() const { return DescribeEncodeFailure(failure); }  // one line
};

// Each symbol carries its part of the bytes, in order, after its
// Structured Append codewords; an ECI is repeated in every symbol, GS1's
// FNC1 goes only into the first, and no macro codeword is used. Reader
// programming is refused.
StructuredAppendResult EncodeStructuredAppend(std::span<const uint8_t> data, const EncodeOptions& options,
                                              const StructuredAppendOptions& append);

// The schemes a symbol's data codewords use, in order, as its codewords say
// (a latch counts to the scheme it starts, an unlatch to the one it ends).
struct SchemeRun {
    EncodeScheme scheme;
    int32_t codewords;
};
std::vector<SchemeRun> SchemeRunsOf(const Symbol& symbol);

}  // namespace glyphrun
