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

}  // namespace glyphrun
