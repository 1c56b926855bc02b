// Internal: recording why an encode failed.
#pragma once

#include <span>

#include "glyphrun/ecc200.h"

namespace glyphrun {

// Records `error` in `failure` (when given) and returns the failure count 0.
inline int32_t Fail(EncodeFailure* failure, EncodeError error, EncodeScheme scheme) {
    if (failure) {
        *failure = EncodeFailure{};
        failure->error = error;
        failure->scheme = scheme;
    }
    return 0;
}

// The sizes a request covers, one fixed size or a family, in the order of
// its search: the first that holds the data is the one chosen, and the
// last holds the most. Empty for a request that is neither.
std::span<const int32_t> SizesOf(int32_t requestedSize);

inline bool IsValidRequest(int32_t requestedSize) { return !SizesOf(requestedSize).empty(); }

// Records that `needed` data codewords do not fit the request: too long
// past the largest symbol (`needed` then counts what was written so far),
// else with the capacity that was offered.
inline int32_t FailToFit(EncodeFailure* failure, EncodeScheme scheme, int32_t needed, int32_t requestedSize) {
    Fail(failure, needed > kMaxDataCodewords ? EncodeError::TooLong : EncodeError::DoesNotFit, scheme);
    if (failure) {
        failure->needed = needed;
        const std::span<const int32_t> sizes = SizesOf(requestedSize);
        failure->capacity = sizes.empty() ? -1 : QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, sizes.back());
        failure->requestedSize = requestedSize;
    }
    return 0;
}

inline constexpr int32_t kMaxEci = 999999;

inline bool IsFileId(int32_t id) { return id >= 1 && id <= 254; }

// The codewords that a reader takes only in first place exclude one
// another, and reader programming carries no GS1 data.
inline EncodeError CheckFirstPlace(const DataMeaning& meaning) {
    const StructuredAppend& append = meaning.append;
    if (append.count != 0 &&
        (append.count < 2 || append.count > kMaxAppendSymbols || append.index < 0 || append.index >= append.count))
        return EncodeError::InvalidSymbolCount;
    if (append.count != 0 && (!IsFileId(append.fileId1) || !IsFileId(append.fileId2)))
        return EncodeError::InvalidFileId;
    if (meaning.macro != 0 && meaning.macro != 5 && meaning.macro != 6) return EncodeError::InvalidMacro;
    if (meaning.readerInit && meaning.gs1) return EncodeError::ReaderInitWithGs1;
    if (meaning.readerInit && append.count != 0) return EncodeError::ReaderInitWithStructuredAppend;
    if (meaning.macro != 0 && (meaning.gs1 || meaning.readerInit || append.count != 0))
        return EncodeError::MacroNotFirst;
    return EncodeError::None;
}

// InvalidArgument, EmptyInput, InvalidSize, an invalid ECI or a meaning
// that contradicts itself, for a request that cannot be encoded at all.
inline EncodeError CheckRequest(const uint8_t* output, const uint8_t* input, int32_t length, int32_t requestedSize,
                                const DataMeaning& meaning = {}) {
    if (!output || length < 0 || (!input && length > 0)) return EncodeError::InvalidArgument;
    // A macro's codeword stands for a whole message, one with no body too.
    if (length == 0 && meaning.macro == 0) return EncodeError::EmptyInput;
    if (meaning.eciGiven && (meaning.eci < 0 || meaning.eci > kMaxEci)) return EncodeError::InvalidEci;
    if (meaning.eciGiven && meaning.gs1) return EncodeError::Gs1WithEci;
    if (meaning.gs1 && length > 0 && input[0] == kGroupSeparator) return EncodeError::Gs1LeadingSeparator;
    if (const EncodeError error = CheckFirstPlace(meaning); error != EncodeError::None) return error;
    return IsValidRequest(requestedSize) ? EncodeError::None : EncodeError::InvalidSize;
}

// Records a refused request with what its message names: the ECI number,
// the macro, the bad file identification or the symbol's place.
inline int32_t FailRequest(EncodeFailure* failure, EncodeError error, EncodeScheme scheme, const DataMeaning& meaning) {
    Fail(failure, error, scheme);
    if (!failure) return 0;
    const StructuredAppend& append = meaning.append;
    switch (error) {
        case EncodeError::InvalidEci: failure->byteValue = meaning.eci; break;
        case EncodeError::InvalidMacro: failure->byteValue = meaning.macro; break;
        case EncodeError::InvalidFileId:
            failure->byteValue = IsFileId(append.fileId1) ? append.fileId2 : append.fileId1;
            break;
        case EncodeError::InvalidSymbolCount:
            failure->needed = append.count;
            failure->position = append.index + 1;
            break;
        default: break;
    }
    return 0;
}

}  // namespace glyphrun
