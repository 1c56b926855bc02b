// The whole encoder on arbitrary bytes, every mode and size index, bad ones
// included, as plain bytes, GS1 data or text under an ECI, with or without
// the lenient end. Whatever the encoder reports as encoded must scan back
// to the input through the independent reader, and without the lenient end
// every scheme must end as the standard's end rules have it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "end_forms.h"
#include "glyphrun/symbol.h"
#include "reader.h"

namespace {

struct DataMeaningChoice {
    glyphrun::DataMeaning meaning;
    const char* symbologyIdentifier;  // what the reader must report
};

// The third byte picks what the data means: mostly plain bytes, sometimes
// GS1 (every GS an FNC1) or text under an ECI.
DataMeaningChoice MeaningOf(uint8_t selector) {
    switch (selector % 16) {
        case 8:
        case 9: return {glyphrun::DataMeaning{true, false, 0}, "]d2"};
        case 10: return {glyphrun::DataMeaning{false, true, 26}, "]d1"};
        case 11: return {glyphrun::DataMeaning{false, true, 899}, "]d1"};
        default: return {glyphrun::DataMeaning{}, "]d1"};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace glyphrun;
    if (size < 3 || size > 4000) return 0;
    const auto scheme = static_cast<EncodeScheme>(static_cast<int8_t>(data[0]) % 10);
    const int32_t requested = static_cast<int8_t>(data[1]) % 33;  // -32 .. 32
    const DataMeaningChoice meaning = MeaningOf(data[2]);
    const bool lenientEnd = (data[2] & 16) != 0;  // a bit of the same byte that MeaningOf leaves alone
    const uint8_t* input = data + 3;
    const auto length = static_cast<int32_t>(size - 3);

    const EncodeResult result =
        Encode({input, static_cast<size_t>(length)}, EncodeOptions{scheme, requested, meaning.meaning, lenientEnd});
    if (result) {
        const auto read = testing::ReadSymbolFully(result.symbol);
        if (!read || read->bytes != std::string(reinterpret_cast<const char*>(input), static_cast<size_t>(length)) ||
            read->symbologyIdentifier != meaning.symbologyIdentifier) {
            std::fprintf(stderr, "scheme %d size %d: the symbol does not read back\n", static_cast<int>(scheme),
                         requested);
            std::abort();
        }
        if (const std::string fault = testing::EndFormFault(result.symbol); !lenientEnd && !fault.empty()) {
            std::fprintf(stderr, "scheme %d size %d: %s\n", static_cast<int>(scheme), requested, fault.c_str());
            std::abort();
        }
    } else if (result.reason().empty()) {
        std::abort();  // every failure says why
    }
    return 0;
}
