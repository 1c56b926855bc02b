// The whole encoder on arbitrary bytes, every mode and size index, bad ones
// included, as plain bytes, GS1 data or text under an ECI. Whatever the
// encoder reports as encoded must scan back to the input through the
// independent reader.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "glyphrun/symbol.h"
#include "reader.h"

namespace {

struct DataMeaningChoice {
    glyphrun::DataMeaning meaning;
    const char* symbologyIdentifier;  // what the reader must report
    const char* dmreIdentifier;       // the same for a DMRE size, which the reader tells apart
};

// The third byte picks what the data means: mostly plain bytes, sometimes
// GS1 (every GS an FNC1) or text under an ECI.
DataMeaningChoice MeaningOf(uint8_t selector) {
    switch (selector % 16) {
        case 8:
        case 9: return {glyphrun::DataMeaning{true, false, 0}, "]d2", "]d8"};
        case 10: return {glyphrun::DataMeaning{false, true, 26}, "]d1", "]d7"};
        case 11: return {glyphrun::DataMeaning{false, true, 899}, "]d1", "]d7"};
        default: return {glyphrun::DataMeaning{}, "]d1", "]d7"};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace glyphrun;
    if (size < 3 || size > 4000) return 0;
    const auto scheme = static_cast<EncodeScheme>(static_cast<int8_t>(data[0]) % 10);
    const int32_t requested = static_cast<int8_t>(data[1]) % 49;  // -48 .. 48: every size and family
    const DataMeaningChoice meaning = MeaningOf(data[2]);
    const uint8_t* input = data + 3;
    const auto length = static_cast<int32_t>(size - 3);

    const EncodeResult result =
        Encode({input, static_cast<size_t>(length)}, EncodeOptions{scheme, requested, meaning.meaning});
    if (result) {
        const auto read = testing::ReadSymbolFully(result.symbol);
        const char* identifier =
            IsDmreSize(result.symbol.sizeIndex) ? meaning.dmreIdentifier : meaning.symbologyIdentifier;
        if (!read || read->bytes != std::string(reinterpret_cast<const char*>(input), static_cast<size_t>(length)) ||
            read->symbologyIdentifier != identifier) {
            std::fprintf(stderr, "scheme %d size %d: the symbol does not read back\n", static_cast<int>(scheme),
                         requested);
            std::abort();
        }
    } else if (result.reason().empty()) {
        std::abort();  // every failure says why
    }
    return 0;
}
