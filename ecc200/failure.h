// Internal: recording why an encode failed.
#pragma once

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

inline bool IsValidRequest(int32_t requestedSize) {
    return requestedSize == kSmallestSquare || requestedSize == kSmallestRectangle ||
           (requestedSize >= 0 && requestedSize < kSymbolSizeCount);
}

// The sizes a request covers, in increasing capacity: one fixed size or a family.
struct SizeRange {
    int32_t first, last;
};

inline SizeRange SizesOf(int32_t requestedSize) {
    if (requestedSize == kSmallestSquare) return {0, 23};
    if (requestedSize == kSmallestRectangle) return {24, kSymbolSizeCount - 1};
    return {requestedSize, requestedSize};
}

// Records that `needed` data codewords do not fit the request: too long
// past the largest symbol (`needed` then counts what was written so far),
// else with the capacity that was offered.
inline int32_t FailToFit(EncodeFailure* failure, EncodeScheme scheme, int32_t needed, int32_t requestedSize) {
    Fail(failure, needed > kMaxDataCodewords ? EncodeError::TooLong : EncodeError::DoesNotFit, scheme);
    if (failure) {
        failure->needed = needed;
        failure->capacity = QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, SizesOf(requestedSize).last);
        failure->requestedSize = requestedSize;
    }
    return 0;
}

// InvalidArgument, EmptyInput or InvalidSize for a request that cannot be
// encoded at all.
inline EncodeError CheckRequest(const uint8_t* output, const uint8_t* input, int32_t length, int32_t requestedSize) {
    if (!output || length < 0 || (!input && length > 0)) return EncodeError::InvalidArgument;
    if (length == 0) return EncodeError::EmptyInput;
    return IsValidRequest(requestedSize) ? EncodeError::None : EncodeError::InvalidSize;
}

}  // namespace glyphrun
