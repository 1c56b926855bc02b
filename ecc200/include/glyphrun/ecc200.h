// Data Matrix ECC200 encoder: symbol sizes, encoder records, the encode
// driver and the module image it renders into.
//
// Plain records and free functions. Failures are values: 0 for counts and
// success flags, null for created records, -1 for size queries; nothing
// throws and nothing exits. `EncodeMessage` also leaves a `EncodeFailure` in
// the record that says in one line why it failed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace glyphrun {

// ---------------------------------------------------------------- sizes

// Indexes 0-29: the 30 ECC200 sizes, 24 squares from 10 x 10, then 6
// rectangles. Indexes 30-47: the 18 DMRE rectangles (ISO/IEC 21471), which
// only a request for them gets, so that no reader without DMRE is handed one.
inline constexpr int kSymbolSizeCount = 30;
inline constexpr int kDmreSizeCount = 18;
inline constexpr int kFirstDmreSize = kSymbolSizeCount;
inline constexpr int kAllSymbolSizeCount = kSymbolSizeCount + kDmreSizeCount;
inline constexpr int kMaxDataCodewords = 1558;  // 144 x 144, the largest symbol

constexpr bool IsDmreSize(int32_t sizeIndex) { return sizeIndex >= kFirstDmreSize && sizeIndex < kAllSymbolSizeCount; }

// Requested size index values besides a fixed index 0-47.
inline constexpr int kSmallestSquare = -1;
inline constexpr int kSmallestRectangle = -2;
// The smallest by area of the rectangles and the DMRE sizes together; of
// two with the same area, the ECC200 rectangle.
inline constexpr int kSmallestRectangleOrDmre = -3;

enum class SymbolAttribute : int32_t {
    AttrSymbolRows = 0,
    AttrSymbolCols,
    AttrRegionRows,
    AttrRegionCols,
    AttrRegionsAcross,
    AttrRegionsDown,
    AttrMappingRows,
    AttrMappingCols,
    AttrBlocks,
    AttrEccPerBlock,
    AttrCorrectablePerBlock,
    AttrDataCodewords,
    AttrEccCodewords,
    AttrCorrectableTotal,
};

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

// -1 for a size index outside 0-47 or an attribute id outside the enum.
int32_t QuerySymbolAttribute(SymbolAttribute attribute, int32_t sizeIndex);

// Smallest size of the requested family (kSmallestSquare, kSmallestRectangle,
// kSmallestRectangleOrDmre) or the fixed index itself that holds
// `dataCodewords`; -1 when none does or when `dataCodewords` <= 0.
int32_t SelectSymbolSize(int32_t dataCodewords, int32_t requestedSize);

// Data codewords carried by one interleaved block; -1 for a bad size or block.
// Where the data does not divide evenly (only 144 x 144) the first blocks
// carry one more.
int32_t DataCodewordsInBlock(int32_t sizeIndex, int32_t block);

// ---------------------------------------------------------------- schemes

enum class EncodeScheme : int32_t {
    Ascii = 0,
    C40 = 1,
    Text = 2,
    X12 = 3,
    Edifact = 4,
    Base256 = 5,
    AutoBest = 6,
    AutoFast = 7,     // declared only: encoding with it always fails
    AutoMinimal = 8,  // the fewest data codewords of all encodations
};

const char* SchemeName(EncodeScheme scheme);

// ---------------------------------------------------------------- module image

// 3-byte pixels, rows packed, y growing upward: pixel (x, y) is stored at
// index x + (height - 1 - y) * width, so the first stored row is the top.
struct ModuleImage {
    int32_t width;
    int32_t height;
    int32_t clipXMin, clipXMax, clipYMin, clipYMax;  // inclusive
    uint8_t* pixels;                                 // width * height * 3
};

inline constexpr int32_t kMaxImageSide = 16384;

// Null when a side is below 1 or above kMaxImageSide, or allocation fails.
ModuleImage* CreateModuleImage(int32_t width, int32_t height);
// 1 after freeing and nulling the pointer; 0 when it was already null.
int FreeModuleImage(ModuleImage*& image);
int64_t ModuleImagePixelCount(const ModuleImage* image);  // -1 for null
// 1 when written; 0 outside the clip rectangle (nothing written).
int SetModuleImagePixel(ModuleImage* image, int32_t x, int32_t y, uint8_t c0, uint8_t c1, uint8_t c2);

// 3 x 3 homogeneous transform, row-major; points are row vectors (x, y, 1)
// multiplied from the left, so translation lives in m[2][0] and m[2][1].
struct Matrix3 {
    double m[3][3];
};
struct Point2 {
    double x, y;
};

void Matrix3Identity(Matrix3& matrix);
void Matrix3Translate(Matrix3& matrix, double tx, double ty);
void Matrix3Scale(Matrix3& matrix, double sx, double sy);
// out = a x b: applying out applies a first, then b. `out` may alias a or b.
void Matrix3Multiply(Matrix3& out, const Matrix3& a, const Matrix3& b);
// 1 and the point; 0 and both coordinates FLT_MAX when |w| < 1e-6.
int TransformPoint(Point2& out, const Point2& in, const Matrix3& matrix);

// ---------------------------------------------------------------- records

// Status bits of one module of the mapping matrix.
inline constexpr uint8_t ModuleDarkBits = 0x07;
inline constexpr uint8_t ModuleAssigned = 0x10;
inline constexpr uint8_t ModuleVisited = 0x20;
inline constexpr uint8_t ModuleData = 0x40;  // only in ModuleStatus results

struct Ecc200Message {
    int32_t moduleCount;    // mapping rows x mapping columns
    int32_t codewordCount;  // data + error-correction codewords
    uint8_t* modules;       // one status byte per mapping module, row after row
    uint8_t* codewords;     // padded data, then interleaved check codewords
};

// Null when memory is short or the size index is outside 0-47; nothing is
// written to standard error.
Ecc200Message* AllocMessage(int32_t sizeIndex);
void FreeMessage(Ecc200Message*& message);

enum class EncodeError : int32_t {
    None = 0,
    InvalidArgument,  // null record, null input, negative length or sizes
    EmptyInput,
    UnknownScheme,        // a scheme value outside the enumeration
    Unsupported,          // a scheme without an encodation (AutoFast)
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
    int32_t eci = 0;        // its number, 0-999999 (26 is UTF-8)
    // 5 or 6: the bytes are the body of a Macro 05 or 06 message, whose
    // header "[)>" RS "05" GS and trailer RS EOT the one codeword stands for.
    int32_t macro = 0;
    bool readerInit = false;    // reader programming: the data sets up the reader
    StructuredAppend append{};  // GS1's FNC1 goes only into the first symbol of a message
};

inline constexpr uint8_t kGroupSeparator = 0x1D;
inline constexpr int32_t kMaxAppendSymbols = 16;

struct EncodeFailure {
    EncodeError error;
    EncodeScheme scheme;
    int32_t byteValue;
    int32_t position;
    int32_t needed;
    int32_t capacity;
    int32_t requestedSize;
    int64_t imageWidth, imageHeight;  // ImageSizeOutOfRange
};

// One line, no trailing newline: "C40 cannot encode byte 0x61 at position 3".
std::string DescribeEncodeFailure(const EncodeFailure& failure);

struct Ecc200Encoder {
    int32_t moduleSize;  // pixels per module
    int32_t margin;      // quiet zone in pixels on each side
    EncodeScheme scheme;
    Ecc200Message* message;  // owned
    ModuleImage* image;      // owned
    int32_t sizeIndex;
    int32_t dataCodewords;  // codewords the encodation produced, before padding
    int32_t symbolRows, symbolCols;
    int32_t mappingRows, mappingCols;
    Matrix3 moduleToPixel;
    EncodeFailure failure;  // why the last EncodeMessage failed
    DataMeaning meaning;    // zero: plain bytes
};

// Module size 5, margin 10, AutoBest, everything else zero.
Ecc200Encoder InitEncoder();
// Frees image and message and zeroes the record; accepts null.
void FreeEncoder(Ecc200Encoder* encoder);

// ---------------------------------------------------------------- padding

// Pads `count` up to `capacity` with 129 and then 253-state randomised 129s.
void PadCodewords(uint8_t* codewords, int32_t& count, int32_t capacity);
uint8_t Randomize253(int32_t value, int32_t position);
uint8_t Randomize255(int32_t value, int32_t position);
uint8_t Unrandomize255(int32_t value, int32_t position);

// ---------------------------------------------------------------- driver

// Encodes `length` bytes with the record's scheme into a symbol of the
// requested size (0-47 fixed, or the family kSmallestSquare,
// kSmallestRectangle or kSmallestRectangleOrDmre) and renders it into
// `encoder->image`. 1 on success; 0 on failure, with the reason in
// `encoder->failure`.
int EncodeMessage(Ecc200Encoder* encoder, int32_t length, const uint8_t* bytes, int32_t requestedSize);

// Encodes into `output` (room for `outputCapacity` codewords) and chooses
// the size into `sizeIndex` (in: the request; out: the size, -1 on
// failure). Returns the number of data codewords, 0 on failure.
// The codewords of `meaning` (reader programming, Structured Append, a macro,
// FNC1 first, the ECI designator) come first. `lenientEnd` is
// EncodeOptions::lenientEnd.
int32_t EncodeCodewords(uint8_t* output, int32_t outputCapacity, const uint8_t* bytes, int32_t length,
                        EncodeScheme scheme, int32_t& sizeIndex, EncodeFailure* failure,
                        const DataMeaning& meaning = {}, bool lenientEnd = false);

// Paints the record's symbol into its image.
void GenerateImage(Ecc200Encoder* encoder);

}  // namespace glyphrun
