// Internal: the pieces every encodation is built from, for the forced
// schemes, the automatic choice, the minimal search and the reading of a
// symbol's schemes alike: character classes, the codewords that change
// scheme, and how triples, EDIFACT groups, digit pairs and Base 256
// lengths become codewords. Written once so that the encoders cannot drift
// apart in their corners.
#pragma once

#include <algorithm>
#include <cstdint>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun {

// ---------------------------------------------------------------- characters

constexpr bool IsDigit(uint8_t byte) { return byte >= '0' && byte <= '9'; }
// The bytes that EDIFACT holds, space to '^', as their low six bits.
constexpr bool IsEdifactByte(uint8_t byte) { return byte >= 32 && byte <= 94; }
constexpr bool IsTripletScheme(EncodeScheme scheme) {
    return scheme == EncodeScheme::C40 || scheme == EncodeScheme::Text || scheme == EncodeScheme::X12;
}

// ---------------------------------------------------------------- ASCII

inline constexpr uint8_t kFirstDigitPair = 130;  // "00"; "99" is 229

constexpr uint8_t DigitPairCodeword(uint8_t first, uint8_t second) {
    return static_cast<uint8_t>(kFirstDigitPair + 10 * (first - '0') + (second - '0'));
}

// Codewords of one character in ASCII when it does not pair: an Upper
// Shift before a byte from 128 up. An FNC1 is one codeword.
constexpr int AsciiCodewords(uint8_t byte, bool fnc1) { return byte >= 128 && !fnc1 ? 2 : 1; }

// Codewords of `from` to `to` in ASCII, digits paired from the first.
constexpr int32_t AsciiCodewordsOf(const uint8_t* from, const uint8_t* to) {
    int32_t codewords = 0;
    for (; from < to; ++from, ++codewords) {
        if (IsDigit(*from) && from + 1 < to && IsDigit(from[1]))
            ++from;
        else if (*from >= 128)
            ++codewords;
    }
    return codewords;
}

// ---------------------------------------------------------------- latches

// The ASCII codeword that enters `scheme`; 0 for ASCII itself, which is
// entered by each scheme's own way out.
constexpr uint8_t LatchCodeword(EncodeScheme scheme) {
    switch (scheme) {
        case EncodeScheme::C40: return kLatchC40;
        case EncodeScheme::Text: return kLatchText;
        case EncodeScheme::X12: return kLatchX12;
        case EncodeScheme::Edifact: return kLatchEdifact;
        case EncodeScheme::Base256: return kLatchBase256;
        default: return 0;
    }
}

// ---------------------------------------------------------------- C40, Text, X12

// Values 0-2 of C40 and Text select the set of the next value; a Shift 1
// that closes the last triple is padding, as it shifts nothing.
inline constexpr uint8_t kShift1 = 0, kShift2 = 1, kShift3 = 2;
inline constexpr uint8_t kUpperShiftValue = 30, kFnc1Value = 27;  // in the Shift 2 set

// The C40, Text and X12 values of one byte (up to four); 0 when it has none.
// With `fnc1`, the byte is FNC1 (Shift 2 and 27 in C40 and Text).
// Writes all four entries of `values`, those past the count included.
int MapTripletChar(uint8_t byte, EncodeScheme scheme, uint8_t values[4], bool fnc1 = false);
// Only the number of values.
int TripletValueCount(uint8_t byte, EncodeScheme scheme, bool fnc1 = false);

// Three values of 0-39 as the number that two codewords hold.
constexpr int32_t PackTriple(const uint8_t values[3]) { return 1600 * values[0] + 40 * values[1] + values[2] + 1; }
constexpr void UnpackTriple(uint8_t first, uint8_t second, uint8_t values[3]) {
    const int32_t v = 256 * first + second - 1;
    values[0] = static_cast<uint8_t>(v / 1600);
    values[1] = static_cast<uint8_t>(v / 40 % 40);
    values[2] = static_cast<uint8_t>(v % 40);
}

// ---------------------------------------------------------------- EDIFACT

// Four 6-bit values share three codewords as one 24-bit number, most
// significant first. A group cut short by the unlatch takes as many
// codewords as it holds values, three at most.
constexpr uint32_t PackEdifactGroup(const uint8_t values[4]) {
    return static_cast<uint32_t>(values[0]) << 18 | values[1] << 12 | values[2] << 6 | values[3];
}
constexpr void UnpackEdifactGroup(uint32_t packed, uint8_t values[4]) {
    for (int i = 0; i < 4; ++i) values[i] = static_cast<uint8_t>(packed >> (18 - 6 * i) & 63);
}
constexpr int EdifactGroupCodewords(int values) { return std::min(values, 3); }
constexpr uint8_t EdifactGroupCodeword(uint32_t packed, int i) { return static_cast<uint8_t>(packed >> (16 - 8 * i)); }

// ---------------------------------------------------------------- Base 256

// From this length on the field takes two codewords.
inline constexpr int32_t kLongBase256Length = 250;

// The field's values (before randomising) for a segment of `length` bytes;
// their count, 1 or 2.
constexpr int Base256LengthField(int32_t length, uint8_t field[2]) {
    if (length < kLongBase256Length) {
        field[0] = static_cast<uint8_t>(length);
        return 1;
    }
    field[0] = static_cast<uint8_t>(length / 250 + 249);
    field[1] = static_cast<uint8_t>(length % 250);
    return 2;
}
// The length that a field of `first` (and, when it takes two, `second`) says.
constexpr bool Base256FieldTakesTwo(int32_t first) { return first >= kLongBase256Length; }
constexpr int32_t Base256LengthOf(int32_t first, int32_t second) {
    return Base256FieldTakesTwo(first) ? (first - 249) * 250 + second : first;
}

}  // namespace glyphrun
