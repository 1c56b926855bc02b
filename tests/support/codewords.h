// Data codewords of an encodation, for codeword-level tests.
#pragma once

#include <string>
#include <vector>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun::testing {

struct Encoded {
    std::vector<int> codewords;  // empty on failure
    EncodeFailure failure{};
};

// Runs EncodeCodewords: the scheme's encodation and the size choice.
inline Encoded EncodeBytes(const std::string& input, EncodeScheme scheme, int32_t size = kSmallestSquare) {
    uint8_t output[kMaxDataCodewords];
    Encoded result;
    const int32_t n = EncodeCodewords(output, kMaxDataCodewords, reinterpret_cast<const uint8_t*>(input.data()),
                                      static_cast<int32_t>(input.size()), scheme, size, &result.failure);
    result.codewords.assign(output, output + n);
    return result;
}

inline std::vector<int> Codewords(const std::string& input, EncodeScheme scheme, int32_t size = kSmallestSquare) {
    return EncodeBytes(input, scheme, size).codewords;
}

}  // namespace glyphrun::testing
