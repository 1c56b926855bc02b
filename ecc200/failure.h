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

// InvalidArgument or EmptyInput for a request that cannot be encoded at all.
inline EncodeError CheckInput(const uint8_t* output, const uint8_t* input, int32_t length) {
    if (!output || length < 0 || (!input && length > 0)) return EncodeError::InvalidArgument;
    return length == 0 ? EncodeError::EmptyInput : EncodeError::None;
}

}  // namespace glyphrun
