// The whole encoder on arbitrary bytes, every mode and size index, bad ones
// included. Whatever the encoder reports as encoded must scan back to the
// input through the independent reader.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "glyphrun/ecc200.h"
#include "reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace glyphrun;
    if (size < 2 || size > 4000) return 0;
    const auto scheme = static_cast<EncodeScheme>(static_cast<int8_t>(data[0]) % 10);
    const int32_t requested = static_cast<int8_t>(data[1]) % 33;  // -32 .. 32
    const uint8_t* input = data + 2;
    const auto length = static_cast<int32_t>(size - 2);

    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = scheme;
    encoder.moduleSize = 1;
    encoder.margin = 0;
    if (EncodeMessage(&encoder, length, input, requested)) {
        const auto read = testing::ReadSymbol(*encoder.image, 1);
        if (!read || *read != std::string(reinterpret_cast<const char*>(input), static_cast<size_t>(length))) {
            std::fprintf(stderr, "scheme %d size %d: the symbol does not read back\n", static_cast<int>(scheme),
                         requested);
            std::abort();
        }
    } else if (DescribeEncodeFailure(encoder.failure).empty()) {
        std::abort();  // every failure says why
    }
    FreeEncoder(&encoder);
    return 0;
}
