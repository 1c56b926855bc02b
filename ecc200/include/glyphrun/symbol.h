// The encoder's one product: a finished symbol, made by one call.
//
//     const Result<Symbol> made = Encode(bytes);
//     if (!made) puts(made.reason().c_str());
//     else Draw(made.value());  // rows() x cols() modules, dark(row, col)
//
// Every output (raster and vector files, the window, the readers in the
// tests) draws a Symbol. Nothing here writes to standard error or throws.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// ---------------------------------------------------------------- sizes

// Indexes 0-29: the 30 ECC200 sizes, 24 squares from 10 x 10, then 6
// rectangles. Indexes 30-47: the 18 DMRE rectangles (ISO/IEC 21471), which
// only a request for them gets, so that no reader without DMRE is handed one.
inline constexpr int kSymbolSizeCount = 30;
inline constexpr int kDmreSizeCount = 18;
inline constexpr int kFirstDmreSize = kSymbolSizeCount;
inline constexpr int kAllSymbolSizeCount = kSymbolSizeCount + kDmreSizeCount;
inline constexpr int kLargestSquareSize = 23;   // 144 x 144, the largest symbol
inline constexpr int kMaxDataCodewords = 1558;  // its capacity

constexpr bool IsDmreSize(int32_t sizeIndex) { return sizeIndex >= kFirstDmreSize && sizeIndex < kAllSymbolSizeCount; }

// Requested size index values besides a fixed index 0-47.
inline constexpr int kSmallestSquare = -1;
inline constexpr int kSmallestRectangle = -2;
// The smallest by area of the rectangles and the DMRE sizes together; of
// two with the same area, the ECC200 rectangle.
inline constexpr int kSmallestRectangleOrDmre = -3;

// One row of the size table. A data region is `regionRows` x `regionCols`
// modules inside its finder and clock lines; the mapping matrix is the
// data regions side by side without those lines.
struct SymbolSize {
    int32_t rows, cols;  // modules of the whole symbol
    int32_t regionRows, regionCols;
    int32_t regionsAcross, regionsDown;
    int32_t blocks;  // interleaved Reed-Solomon blocks
    int32_t eccPerBlock, correctablePerBlock;
    int32_t dataCodewords;  // the capacity

    constexpr int32_t mappingRows() const { return regionsDown * regionRows; }
    constexpr int32_t mappingCols() const { return regionsAcross * regionCols; }
    constexpr int32_t eccCodewords() const { return blocks * eccPerBlock; }
    constexpr int32_t totalCodewords() const { return dataCodewords + eccCodewords(); }
};

// The table, indexed by size index: 24 squares from 10 x 10, 6 rectangles,
// then the 18 DMRE rectangles.
std::span<const SymbolSize, kAllSymbolSizeCount> SymbolSizes();

// ---------------------------------------------------------------- schemes and meanings

enum class EncodeScheme : int32_t {
    Ascii = 0,
    C40 = 1,
    Text = 2,
    X12 = 3,
    Edifact = 4,
    Base256 = 5,
    AutoBest = 6,     // a look-ahead choice of scheme, character by character
    AutoMinimal = 8,  // the fewest data codewords of all encodations (7 is no scheme)
};

// "ASCII", "C40", ... "minimal automatic"; "unknown" for any other value.
const char* SchemeName(EncodeScheme scheme);

enum class EncodeError : int32_t {
    None = 0,
    InvalidArgument,  // null record, null input, negative length or sizes
    EmptyInput,
    UnknownScheme,        // a scheme value outside the enumeration
    NotEncodable,         // `byteValue` at `position` (1-based) is outside the scheme's set
    TooLong,              // the encodation passed kMaxDataCodewords
    DoesNotFit,           // `needed` data codewords, the requested size holds `capacity`
    InvalidSize,          // requested size index neither 0-47 nor a family
    ImageSizeOutOfRange,  // a side of the image would be outside 1-kMaxImageSide
    OutOfMemory,
    OutputTooSmall,                  // the caller's codeword buffer holds `capacity`, `needed` are produced
    Fnc1NotEncodable,                // the scheme cannot hold the FNC1 separator at `position`
    InvalidEci,                      // the ECI number `byteValue` is outside 0-999999
    Gs1WithEci,                      // GS1 data carries no ECI designator
    Gs1LeadingSeparator,             // GS1 data starts with FNC1 already; a separator cannot follow it
    ReaderInitWithGs1,               // a reader programming symbol carries no GS1 data
    ReaderInitWithStructuredAppend,  // nor is it part of a message over several symbols
    MacroNotFirst,                   // the Macro codeword cannot share the first place with GS1, reader
                                     // programming or Structured Append
    InvalidMacro,                    // a macro `byteValue` other than 5 or 6
    InvalidSymbolCount,              // Structured Append over `needed` symbols (not 2-16), or at a
                                     // position `position` outside them
    InvalidFileId,                   // a file identification `byteValue` outside 1-254
    NeedsMoreSymbols,                // more than the `capacity` symbols allowed of the requested size
    FewerBytesThanSymbols,           // `needed` symbols cannot each take one of `capacity` bytes
    TooFewPlacesToSplit,             // `needed` symbols, but the input has places to begin only `capacity`
};

// A symbol's place in a message spread over 2-16 symbols, which a reader
// joins in the order of their positions.
struct StructuredAppend {
    int32_t index;    // 0-based position
    int32_t count;    // symbols of the message, 2-16; 0: the symbol stands alone
    uint8_t fileId1;  // the message's identification, 1-254 each, the same
    uint8_t fileId2;  // in all of its symbols
};

// What the bytes stand for beyond themselves. All zero (the default) means
// plain bytes, encoded as they always were. Each meaning is a codeword or
// a few before the data; those that a reader takes only in first place
// (reader programming, Structured Append, a macro) exclude one another.
struct DataMeaning {
    bool gs1 = false;       // GS1 data: FNC1 in first position, and every GS byte
                            // (0x1D) an FNC1 separator rather than a character
    bool eciGiven = false;  // an ECI designator comes before the data
    int32_t eci = 0;        // its number, 0-999999 (kUtf8Eci is UTF-8)
    // 5 or 6: the bytes are the body of a Macro 05 or 06 message, whose
    // header "[)>" RS "05" GS and trailer RS EOT the one codeword stands for.
    int32_t macro = 0;
    bool readerInit = false;    // reader programming: the data sets up the reader
    StructuredAppend append{};  // GS1's FNC1 goes only into the first symbol of a message
    // GS1 data whose fields are separated by the GS character itself, as
    // some national pharmacy rules ask, rather than by FNC1.
    bool gs1Gs = false;
};

inline constexpr int32_t kUtf8Eci = 26;
inline constexpr uint8_t kGroupSeparator = 0x1D;
// Whether a GS byte of the data is encoded as FNC1.
inline bool GsIsFnc1(const DataMeaning& meaning) { return meaning.gs1 && !meaning.gs1Gs; }
inline constexpr int32_t kMaxAppendSymbols = 16;
GLYPHRUN_ERROR_ENUM(EncodeError)

// ---------------------------------------------------------------- the symbol

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
    // codewords may be any ASCII that fits once the reader returns to ASCII
    // by itself (a digit pair or a shifted character after a triple, three
    // or four characters after EDIFACT), not only what the standard's end
    // rules allow. Now and then a size smaller; common readers decode it,
    // strict ones need not.
    bool lenientEnd = false;
};

// The size request that `options` make: kSmallestRectangle widened to
// kSmallestRectangleOrDmre when `dmre` asks for it.
int32_t RequestedSize(const EncodeOptions& options);

// A finished symbol. Only the encoder makes one, so every Symbol is whole:
// its size is one of the table's, its grid rows() x cols() and its
// codewords the size's total.
class Symbol {
public:
    int32_t sizeIndex() const { return sizeIndex_; }  // 0-47
    const SymbolSize& size() const { return SymbolSizes()[static_cast<size_t>(sizeIndex_)]; }
    int32_t rows() const { return size().rows; }
    int32_t cols() const { return size().cols; }
    int32_t capacity() const { return size().dataCodewords; }
    int32_t dataCodewords() const { return dataCodewords_; }  // what the encodation produced, before padding
    // The padded data, then the interleaved check codewords.
    const std::vector<uint8_t>& codewords() const { return codewords_; }
    // rows() x cols(), row 0 at the top: 1 dark, 0 light.
    const std::vector<uint8_t>& modules() const { return modules_; }
    // False outside the symbol, which is all light quiet zone.
    bool dark(int32_t row, int32_t col) const {
        return row >= 0 && row < rows() && col >= 0 && col < cols() &&
               modules_[static_cast<size_t>(row) * static_cast<size_t>(cols()) + static_cast<size_t>(col)] != 0;
    }
    const DataMeaning& meaning() const { return meaning_; }  // what its first codewords say, a macro found included

    bool operator==(const Symbol& other) const {
        return sizeIndex_ == other.sizeIndex_ && dataCodewords_ == other.dataCodewords_ &&
               codewords_ == other.codewords_ && modules_ == other.modules_;
    }

private:
    friend struct SymbolMaker;  // the encoder's own
    Symbol() = default;

    int32_t sizeIndex_ = 0;
    int32_t dataCodewords_ = 0;
    std::vector<uint8_t> codewords_;
    std::vector<uint8_t> modules_;
    DataMeaning meaning_{};
};

// The symbol of `data`, or why there is none (an EncodeError, with the
// byte, the position or the size in its one line).
Result<Symbol> Encode(std::span<const uint8_t> data, const EncodeOptions& options = {});

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

// The symbols in the order a reader joins them. Each carries its part of
// the bytes, in order, after its Structured Append codewords; an ECI is
// repeated in every symbol, GS1's FNC1 goes only into the first, and no
// macro codeword is used. Reader programming is refused.
Result<std::vector<Symbol>> EncodeStructuredAppend(std::span<const uint8_t> data, const EncodeOptions& options,
                                                   const StructuredAppendOptions& append);

// One part of a message in a character set of its own, announced by its
// ECI designator.
struct Segment {
    int32_t eci = 0;  // 0-999999
    std::span<const uint8_t> bytes;
};
// A symbol of several segments, each after its ECI designator and in the
// fewest codewords that return to ASCII, where an ECI may be changed; in
// the smallest size of `options.size` that holds them. Its meaning is the
// first segment's ECI. GS1, reader programming, macros and
// Structured Append are refused, and so is an empty list.
Result<Symbol> EncodeSegments(std::span<const Segment> segments, const EncodeOptions& options = {});

// The schemes a symbol's data codewords use, in order, as its codewords say
// (a latch counts to the scheme it starts, an unlatch to the one it ends).
struct SchemeRun {
    EncodeScheme scheme;
    int32_t codewords;
};
std::vector<SchemeRun> SchemeRunsOf(const Symbol& symbol);

}  // namespace glyphrun
GLYPHRUN_API_END
