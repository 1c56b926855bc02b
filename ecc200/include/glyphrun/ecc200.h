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

#include "glyphrun/export.h"
#include "glyphrun/symbol.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// ---------------------------------------------------------------- sizes

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
GLYPHRUN_API_END
