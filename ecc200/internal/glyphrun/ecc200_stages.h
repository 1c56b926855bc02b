// The encoder's stages one by one: encodation into data codewords,
// Reed-Solomon error correction and module placement. `EncodeMessage` runs
// them in order; this header is for callers that want a single stage.
#pragma once

#include <cstdint>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// ---------------------------------------------------------------- encodation

// Codeword values that start and end schemes.
inline constexpr uint8_t kLatchC40 = 230;
inline constexpr uint8_t kLatchBase256 = 231;
inline constexpr uint8_t kUpperShift = 235;
inline constexpr uint8_t kLatchX12 = 238;
inline constexpr uint8_t kLatchText = 239;
inline constexpr uint8_t kLatchEdifact = 240;
inline constexpr uint8_t kUnlatchTriplet = 254;
inline constexpr uint8_t kUnlatchEdifact = 31;  // a 6-bit EDIFACT value

enum class EncodationError : int32_t {
    None = 0,
    NotEncodable = 1,   // a byte outside the set of the scheme in force
    NotAtBoundary = 2,  // a change of scheme inside a C40/Text/X12 triple
    TooLong = 3,        // the output would pass kMaxDataCodewords
    UnknownScheme = 4,  // a step asked for a scheme without a step routine
    InvalidInput = 5,   // a negative length, or no bytes behind a positive one
};

// Room for every codeword a symbol can hold, plus the two codewords that an
// EDIFACT group reads after its first one.
inline constexpr int kEncodationCodewordSlots = kMaxDataCodewords + 2;

// Positions are in twelfths of a codeword: an ASCII or Base 256 codeword
// adds 12, a C40/Text/X12 value 8, an EDIFACT value 9.
struct EncodationState {
    EncodeScheme scheme;
    EncodationError error;
    const uint8_t* cursor;  // next input byte to consume
    const uint8_t* end;
    const uint8_t* begin;    // the input's first byte, for failure positions
    const uint8_t* errorAt;  // the byte that raised NotEncodable
    int32_t requestedSize;   // 0-47 or a family: kSmallestSquare, kSmallestRectangle, ...
    int32_t written;         // output physically stored
    int32_t consumed;        // output that the consumed input corresponds to
    int32_t schemeStart;     // where the scheme in force began
    bool gs1;                // GS bytes are FNC1 separators
    uint8_t codewords[kEncodationCodewordSlots];
};

// The end-of-data rules measure the room left against `requestedSize`. The
// codewords of `meaning` are written first, in ASCII.
void InitEncodationState(EncodationState& state, const uint8_t* input, int32_t length,
                         int32_t requestedSize = kSmallestSquare, const DataMeaning& meaning = {});

// The codewords that begin data of this meaning, in this order: reader
// programming; Structured Append (233, the position and count, the two
// file identification codewords); the macro; FNC1 for GS1; the ECI
// designator (241 and one to three codewords of its number). Their count.
inline constexpr int kMaxMeaningCodewords = 8;
int32_t MeaningCodewords(const DataMeaning& meaning, uint8_t codewords[kMaxMeaningCodewords]);

inline constexpr uint8_t kFnc1 = 232;
inline constexpr uint8_t kStructuredAppend = 233;
inline constexpr uint8_t kReaderProgramming = 234;
inline constexpr uint8_t kMacro05 = 236;
inline constexpr uint8_t kMacro06 = 237;
inline constexpr uint8_t kEciDesignator = 241;
void ChangeScheme(EncodationState& state, EncodeScheme target, bool omitUnlatch);
void PutValue(EncodationState& state, int32_t value);
void AdvanceConsumed(EncodationState& state, int32_t twelfths);
void AsciiStep(EncodationState& state);
// Consumes at least one input byte in `target`, changing scheme first if needed.
void EncodeStep(EncodationState& state, EncodeScheme target);

// The encodations below write into `output`, which has room for
// `outputCapacity` codewords, and end the data as a symbol of
// `requestedSize` needs. They return the codeword count, 0 on failure, with
// the reason in `failure` when it is not null.

// The whole input in one scheme (0-5).
int32_t EncodeSingleScheme(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                           EncodeScheme scheme, int32_t requestedSize, EncodeFailure* failure,
                           const DataMeaning& meaning = {});

// Character by character, the cheapest of the six schemes so far.
int32_t EncodeAutoBest(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                       int32_t requestedSize, EncodeFailure* failure, const DataMeaning& meaning = {});

// The fewest codewords of all encodations the standard allows, in the
// smallest symbol of the request; `sizeIndex` receives that symbol, whose
// capacity the end of the data was shaped for. `lenientEnd` allows the
// further end forms that EncodeOptions::lenientEnd describes.
int32_t EncodeAutoMinimal(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                          int32_t requestedSize, int32_t& sizeIndex, EncodeFailure* failure,
                          const DataMeaning& meaning = {}, bool lenientEnd = false);

// Appends the fewest codewords that hold `length` bytes after `codewords`
// (whose count the Base 256 randomisation goes by), ending in ASCII so
// that an ECI designator may come next.
void AppendMinimalSegment(std::vector<uint8_t>& codewords, const uint8_t* input, int32_t length);

// ---------------------------------------------------------------- Reed-Solomon

uint8_t GfMultiply(uint8_t a, uint8_t b);
uint8_t GfMultiplyPower(uint8_t a, int32_t power);  // a * alpha^power
// Fills the check codewords after the data codewords of a message that was
// allocated for `sizeIndex`. 0 when message and size do not belong together.
int ComputeEcc(Ecc200Message* message, int32_t sizeIndex);

// ---------------------------------------------------------------- placement

// Lays all codewords of the message into its mapping matrix. Returns the
// number of codewords placed, 0 when message and size do not belong together.
int32_t PlaceCodewords(Ecc200Message* message, int32_t sizeIndex, uint8_t darkValue);

// Status of a module of the whole symbol, row 0 at the bottom: 7 in the low
// bits when dark, ModuleData added inside data regions; -1 outside the symbol.
int32_t ModuleStatus(const Ecc200Message* message, int32_t sizeIndex, int32_t row, int32_t col);

}  // namespace glyphrun
GLYPHRUN_API_END
