// The whole encoder on arbitrary bytes, every mode and size index, bad ones
// included, as plain bytes, GS1 data, text under an ECI, reader programming
// or a message over several symbols, with or without the lenient end.
// Whatever the encoder reports as encoded must scan back to the input
// through the independent reader, and without the lenient end every scheme
// must end as the standard's end rules have it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "end_forms.h"
#include "glyphrun/symbol.h"
#include "reader.h"

namespace {

struct DataMeaningChoice {
    glyphrun::DataMeaning meaning;
    const char* symbologyIdentifier;  // what the reader must report
    const char* dmreIdentifier;       // the same for a DMRE size, which the reader tells apart
};

// The low half of the third byte picks what the data means: mostly plain
// bytes, sometimes GS1 (every GS an FNC1), text under an ECI or reader
// programming. kSpread spreads plain bytes over as many symbols as the
// high half says (0: as few as hold them; 1 is refused).
DataMeaningChoice MeaningOf(uint8_t selector) {
    switch (selector % 16) {
        case 8:
        case 9: return {glyphrun::DataMeaning{true, false, 0}, "]d2", "]d8"};
        case 10: return {glyphrun::DataMeaning{false, true, 26}, "]d1", "]d7"};
        case 11: return {glyphrun::DataMeaning{false, true, 899}, "]d1", "]d7"};
        case 12: return {glyphrun::DataMeaning{.readerInit = true}, "]d1", "]d7"};
        default: return {glyphrun::DataMeaning{}, "]d1", "]d7"};
    }
}

constexpr uint8_t kSpread = 13;

[[noreturn]] void Abort(const char* what, glyphrun::EncodeScheme scheme, int32_t requested) {
    std::fprintf(stderr, "scheme %d size %d: %s\n", static_cast<int>(scheme), requested, what);
    std::abort();
}

// Each symbol must read as its place in the message, and the symbols'
// bytes in order as the input; one symbol alone has no place.
bool ReadsBack(const std::vector<glyphrun::Symbol>& symbols, const std::string& input,
               const DataMeaningChoice& meaning) {
    std::string joined;
    const int count = static_cast<int>(symbols.size());
    for (int i = 0; i < count; ++i) {
        const glyphrun::Symbol& symbol = symbols[static_cast<size_t>(i)];
        const auto read = glyphrun::testing::ReadSymbolFully(symbol);
        const char* identifier =
            glyphrun::IsDmreSize(symbol.sizeIndex()) ? meaning.dmreIdentifier : meaning.symbologyIdentifier;
        if (!read || read->symbologyIdentifier != identifier || read->sequenceSize != (count > 1 ? count : -1) ||
            read->sequenceIndex != (count > 1 ? i : -1))
            return false;
        joined += read->bytes;
    }
    return joined == input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace glyphrun;
    if (size < 3 || size > 4000) return 0;
    const auto scheme = static_cast<EncodeScheme>(static_cast<int8_t>(data[0]) % 10);
    const int32_t requested = static_cast<int8_t>(data[1]) % 49;  // -48 .. 48: every size and family
    const DataMeaningChoice meaning = MeaningOf(data[2]);
    const bool lenientEnd = (data[2] & 16) != 0;  // a bit of the same byte that MeaningOf leaves alone
    const uint8_t* input = data + 3;
    const auto length = static_cast<int32_t>(size - 3);

    const std::span bytes(input, static_cast<size_t>(length));
    EncodeOptions options{scheme, requested, meaning.meaning};
    options.lenientEnd = lenientEnd;

    std::vector<Symbol> symbols;
    std::string reason;
    if (data[2] % 16 == kSpread) {
        Result<std::vector<Symbol>> result = EncodeStructuredAppend(bytes, options, {data[2] >> 4, 1, 2});
        if (result) symbols = std::move(result).value();
        reason = result ? "" : result.reason();
    } else {
        Result<Symbol> result = Encode(bytes, options);
        if (result) symbols.push_back(std::move(result.value()));
        reason = result ? "" : result.reason();
    }
    if (symbols.empty() && reason.empty()) Abort("a failure without its reason", scheme, requested);
    if (!symbols.empty() &&
        !ReadsBack(symbols, std::string(reinterpret_cast<const char*>(input), bytes.size()), meaning))
        Abort("the symbols do not read back", scheme, requested);
    for (const Symbol& symbol : symbols)
        if (const std::string fault = testing::EndFormFault(symbol); !lenientEnd && !fault.empty())
            Abort(fault.c_str(), scheme, requested);
    return 0;
}
