#include "glyphrun/symbol.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "encodation_blocks.h"
#include "failure.h"
#include "glyphrun/ecc200_stages.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

// The largest mapping matrix, 132 x 132 modules of the 144 x 144 symbol.
constexpr int32_t kMaxMappingModules = 132 * 132;

constexpr std::string_view kMacroHeaderStart = "[)>\x1e"
                                               "0";  // then 5 or 6, and GS
constexpr std::string_view kMacroTrailer = "\x1e\x04";
constexpr size_t kMacroHeaderLength = kMacroHeaderStart.size() + 2;

// 5 or 6 for a whole Macro 05 or 06 message, else 0.
int32_t MacroOf(std::span<const uint8_t> data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (text.size() < kMacroHeaderLength + kMacroTrailer.size() || !text.starts_with(kMacroHeaderStart) ||
        text[kMacroHeaderLength - 1] != kGroupSeparator || !text.ends_with(kMacroTrailer))
        return 0;
    const char number = text[kMacroHeaderStart.size()];
    return number == '5' ? 5 : number == '6' ? 6 : 0;
}

// The macro codeword, like reader programming, Structured Append and GS1's
// FNC1, is read only in first place.
bool MayTakeMacro(const DataMeaning& meaning) {
    return meaning.macro == 0 && !meaning.gs1 && !meaning.readerInit && meaning.append.count == 0;
}

}  // namespace

int32_t RequestedSize(const EncodeOptions& options) {
    return options.dmre && options.size == kSmallestRectangle ? kSmallestRectangleOrDmre : options.size;
}

// Draws the finder and clock lines of every data region around the mapping
// matrix: each region has a solid line on its left and bottom and
// alternating modules on its top and right, dark where they meet the solid
// lines.
void SymbolMaker::LayOutModules(Symbol& symbol, const SymbolSize& size, const uint8_t* mapping) {
    const int32_t regionHeight = size.regionRows + 2, regionWidth = size.regionCols + 2;
    const int32_t mappingCols = size.mappingCols();
    symbol.modules_.assign(static_cast<size_t>(size.rows) * size.cols, 0);
    for (int32_t r = 0; r < size.rows; ++r) {
        uint8_t* out = symbol.modules_.data() + static_cast<size_t>(r) * size.cols;
        const int32_t inRegion = r % regionHeight;
        if (inRegion == regionHeight - 1) {  // the solid bottom line
            std::memset(out, 1, static_cast<size_t>(size.cols));
            continue;
        }
        if (inRegion == 0) {  // the clock line on top, dark from the left column on
            for (int32_t c = 0; c < size.cols; c += 2) out[c] = 1;
            continue;
        }
        const uint8_t* data =
            mapping + static_cast<size_t>((r / regionHeight) * size.regionRows + inRegion - 1) * mappingCols;
        // The right clock line is dark on every second row from the bottom,
        // whose row count is even.
        const uint8_t clock = (size.rows - 1 - r) % 2 == 0 ? 1 : 0;
        for (int32_t across = 0; across < size.regionsAcross; ++across, data += size.regionCols) {
            uint8_t* region = out + across * regionWidth;
            region[0] = 1;
            for (int32_t c = 0; c < size.regionCols; ++c) region[c + 1] = data[c] & 1;
            region[regionWidth - 1] = clock;
        }
    }
}

// False when memory ran out for the tables of the size.
bool SymbolMaker::Build(Symbol& symbol, const uint8_t* data, int32_t count, int32_t sizeIndex, bool iso144) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    symbol.sizeIndex_ = sizeIndex;
    symbol.dataCodewords_ = count;
    symbol.codewords_.assign(static_cast<size_t>(size.totalCodewords()), 0);
    std::memcpy(symbol.codewords_.data(), data, static_cast<size_t>(count));
    PadCodewords(symbol.codewords_.data(), count, size.dataCodewords);
    if (!FillCheckCodewords(symbol.codewords_.data(), sizeIndex, iso144)) return false;

    uint8_t mapping[kMaxMappingModules];
    std::memset(mapping, 0, static_cast<size_t>(size.mappingRows()) * size.mappingCols());
    if (PlaceIntoMapping(mapping, symbol.codewords_.data(), sizeIndex, 1) == 0) return false;
    LayOutModules(symbol, size, mapping);
    return true;
}

std::optional<Symbol> SymbolMaker::Make(std::span<const uint8_t> data, const EncodeOptions& options,
                                        EncodeFailure& failure) {
    failure = EncodeFailure{};
    // A length past the counts' range is far past what any symbol holds.
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        FailToFit(&failure, options.scheme, kMaxDataCodewords + 1, RequestedSize(options));
        return std::nullopt;
    }
    DataMeaning meaning = options.meaning;
    std::span<const uint8_t> body = data;
    if (options.detectMacro && MayTakeMacro(meaning)) meaning.macro = MacroOf(data);
    // A macro found here stands for the header and trailer around the body.
    if (meaning.macro != options.meaning.macro)
        body = data.subspan(kMacroHeaderLength, data.size() - kMacroHeaderLength - kMacroTrailer.size());

    uint8_t codewords[kMaxDataCodewords];
    int32_t sizeIndex = RequestedSize(options);
    const int32_t count = EncodeCodewords(codewords, kMaxDataCodewords, body.data(), static_cast<int32_t>(body.size()),
                                          options.scheme, sizeIndex, &failure, meaning, options.lenientEnd);
    if (count <= 0) {
        // Positions count in the caller's bytes, the header included.
        if (failure.error == EncodeError::NotEncodable && body.data() != data.data())
            failure.position += static_cast<int32_t>(kMacroHeaderLength);
        return std::nullopt;
    }
    Symbol symbol;
    bool built = false;
    try {
        built = Build(symbol, codewords, count, sizeIndex, options.iso144);
    } catch (const std::bad_alloc&) {}
    if (!built) {
        Fail(&failure, EncodeError::OutOfMemory, options.scheme);
        return std::nullopt;
    }
    symbol.meaning_ = meaning;
    return symbol;
}

std::optional<Symbol> SymbolMaker::MakeOfCodewords(std::span<const uint8_t> codewords, const EncodeOptions& options,
                                                   const DataMeaning& meaning, EncodeFailure& failure) {
    failure = EncodeFailure{};
    const auto count = static_cast<int32_t>(std::min<size_t>(codewords.size(), kMaxDataCodewords + 1));
    const int32_t sizeIndex = SelectSymbolSize(count, RequestedSize(options));
    if (sizeIndex < 0) {
        FailToFit(&failure, EncodeScheme::AutoMinimal, count, RequestedSize(options));
        return std::nullopt;
    }
    Symbol symbol;
    if (!Build(symbol, codewords.data(), count, sizeIndex, options.iso144)) {
        Fail(&failure, EncodeError::OutOfMemory, EncodeScheme::AutoMinimal);
        return std::nullopt;
    }
    symbol.meaning_ = meaning;
    return symbol;
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(EncodeError, "glyphrun.encode")

Status StatusOf(const EncodeFailure& failure) { return Status::Failed(failure.error, DescribeEncodeFailure(failure)); }

namespace {

// Each segment's ECI designator and its data; false when they cannot fit
// the largest symbol, before the search spends memory on them (no scheme
// puts more than two bytes into a codeword).
bool AppendSegments(std::span<const Segment> segments, std::vector<uint8_t>& codewords) {
    for (const Segment& segment : segments) {
        DataMeaning eci;
        eci.eciGiven = true;
        eci.eci = segment.eci;
        uint8_t designator[kMaxMeaningCodewords];
        codewords.insert(codewords.end(), designator, designator + MeaningCodewords(eci, designator));
        if (codewords.size() + segment.bytes.size() / 2 > kMaxDataCodewords) return false;
        AppendMinimalSegment(codewords, segment.bytes.data(), static_cast<int32_t>(segment.bytes.size()));
    }
    return true;
}

}  // namespace

Result<Symbol> EncodeSegments(std::span<const Segment> segments, const EncodeOptions& options) {
    const DataMeaning& asked = options.meaning;
    if (segments.empty() || asked.gs1 || asked.readerInit || asked.macro || asked.append.count)
        return Status::Failed(EncodeError::InvalidArgument, "segments are text under ECIs: at least one, and no "
                                                            "GS1, reader programming, macro or Structured Append");
    for (const Segment& segment : segments)
        if (segment.eci < 0 || segment.eci > kMaxEci)
            return Status::Failed(EncodeError::InvalidEci, "an ECI is 0 to 999999, not " + std::to_string(segment.eci));
    DataMeaning meaning;
    meaning.eciGiven = true;
    meaning.eci = segments.front().eci;
    EncodeFailure failure;
    try {
        std::vector<uint8_t> codewords;
        if (!AppendSegments(segments, codewords)) {
            FailToFit(&failure, EncodeScheme::AutoMinimal, kMaxDataCodewords + 1, RequestedSize(options));
        } else if (std::optional<Symbol> symbol = SymbolMaker::MakeOfCodewords(codewords, options, meaning, failure)) {
            return std::move(*symbol);
        }
    } catch (const std::bad_alloc&) {
        Fail(&failure, EncodeError::OutOfMemory, EncodeScheme::AutoMinimal);
    }
    return StatusOf(failure);
}

Result<Symbol> Encode(std::span<const uint8_t> data, const EncodeOptions& options) {
    EncodeFailure failure;
    try {
        if (std::optional<Symbol> symbol = SymbolMaker::Make(data, options, failure)) return std::move(*symbol);
    } catch (const std::bad_alloc&) {
        Fail(&failure, EncodeError::OutOfMemory, options.scheme);
    }
    return StatusOf(failure);
}

}  // namespace glyphrun

namespace glyphrun {
namespace {

// The codewords of the Base 256 field that starts at `at` (its latch
// there): the latch, the length and the bytes.
int32_t Base256Field(std::span<const uint8_t> data, int32_t at, int32_t end) {
    if (at + 1 >= end) return end - at;
    const int32_t first = Unrandomize255(data[static_cast<size_t>(at + 1)], at + 2);
    if (first == 0) return end - at;  // to the end of the data
    if (!Base256FieldTakesTwo(first)) return std::min(2 + first, end - at);
    if (at + 2 >= end) return end - at;
    const int32_t length = Base256LengthOf(first, Unrandomize255(data[static_cast<size_t>(at + 2)], at + 3));
    return std::min(3 + length, end - at);
}

// The codewords of an EDIFACT run from its latch at `at`: groups of three
// codewords hold four values, and the value 31 returns to ASCII at the
// next codeword; fewer than three codewords left are ASCII again.
int32_t EdifactRun(std::span<const uint8_t> data, int32_t at, int32_t end) {
    int32_t i = at + 1;
    while (end - i >= 3) {
        uint8_t values[4];
        UnpackEdifactGroup(data[static_cast<size_t>(i)] << 16 | data[static_cast<size_t>(i + 1)] << 8 |
                               data[static_cast<size_t>(i + 2)],
                           values);
        for (int value = 0; value < 4; ++value)
            if (values[value] == kUnlatchEdifact) return i - at + EdifactGroupCodewords(value + 1);
        i += 3;
    }
    return i - at;
}

// The codewords of a C40, Text or X12 run from its latch at `at`: pairs of
// codewords, until the unlatch (counted here) or a last single codeword.
int32_t TripletRun(std::span<const uint8_t> data, int32_t at, int32_t end) {
    int32_t i = at + 1;
    while (end - i >= 2 && data[static_cast<size_t>(i)] != kUnlatchTriplet) i += 2;
    if (i < end && data[static_cast<size_t>(i)] == kUnlatchTriplet) ++i;
    return i - at;
}

int32_t EciLength(uint8_t first) { return first <= 127 ? 1 : first <= 191 ? 2 : 3; }

// The run that starts at `at`: its scheme and its codewords.
SchemeRun RunAt(std::span<const uint8_t> data, int32_t at, int32_t end) {
    switch (data[static_cast<size_t>(at)]) {
        case kLatchC40: return {EncodeScheme::C40, TripletRun(data, at, end)};
        case kLatchText: return {EncodeScheme::Text, TripletRun(data, at, end)};
        case kLatchX12: return {EncodeScheme::X12, TripletRun(data, at, end)};
        case kLatchEdifact: return {EncodeScheme::Edifact, EdifactRun(data, at, end)};
        case kLatchBase256: return {EncodeScheme::Base256, Base256Field(data, at, end)};
        case kEciDesignator:
            return {EncodeScheme::Ascii, at + 1 < end ? 1 + EciLength(data[static_cast<size_t>(at + 1)]) : 1};
        // Its position and file identification may look like latches.
        case kStructuredAppend: return {EncodeScheme::Ascii, 4};
        default: return {EncodeScheme::Ascii, 1};
    }
}

}  // namespace

std::vector<SchemeRun> SchemeRunsOf(const Symbol& symbol) {
    std::vector<SchemeRun> runs;
    const auto add = [&runs](EncodeScheme scheme, int32_t count) {
        if (!runs.empty() && runs.back().scheme == scheme)
            runs.back().codewords += count;
        else
            runs.push_back({scheme, count});
    };
    const std::span<const uint8_t> data = symbol.codewords();
    const int32_t end = std::min<int32_t>(symbol.dataCodewords(), static_cast<int32_t>(data.size()));
    for (int32_t at = 0; at < end;) {
        const SchemeRun run = RunAt(data, at, end);
        add(run.scheme, std::min(run.codewords, end - at));
        at += run.codewords;
    }
    return runs;
}

}  // namespace glyphrun
