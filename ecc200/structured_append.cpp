// Structured Append: the input cut into consecutive parts, one symbol each.
//
// A part fits a size when its encodation, after the part's own first
// codewords, fits that size. The longest part that fits is found by
// halving, on the understanding that fewer bytes never need more
// codewords; taking the longest part each time then gives the fewest parts.
#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "failure.h"
#include "glyphrun/symbol.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

// Where each part ends: part i holds the bytes [ends[i - 1], ends[i]), the
// first from 0, the last to the input's end.
using PartEnds = std::vector<int32_t>;

// The symbols of a message, or the detail of why there are none.
struct Parts {
    std::vector<Symbol> symbols;  // in the order a reader joins them
    EncodeFailure failure{};      // error None when every symbol was made
};

class Splitter {
public:
    Splitter(std::span<const uint8_t> data, const EncodeOptions& options, const StructuredAppendOptions& append)
        : data_(data.data()), length_(static_cast<int32_t>(data.size())), options_(options), append_(append) {}

    // What part `index` of `count` means: the options' meaning in a symbol
    // of the message.
    DataMeaning MeaningOf(int32_t index, int32_t count) const {
        DataMeaning meaning = options_.meaning;
        meaning.append = StructuredAppend{index, count, append_.fileId1, append_.fileId2};
        return meaning;
    }

    // The ends of the fewest parts whose symbols are of `size`, or nothing
    // when they are more than `limit`, or when a part cannot take even one
    // byte (the reason then in `failure`).
    std::optional<PartEnds> Split(int32_t size, int32_t limit, EncodeFailure* failure = nullptr) const {
        PartEnds ends;
        for (int32_t begin = 0; begin < length_;) {
            if (static_cast<int32_t>(ends.size()) == limit) return std::nullopt;
            const int32_t end = LongestPart(begin, size);
            if (end == begin) {
                Fits(begin, begin + 1, size, failure);
                // Positions count in the whole input.
                if (failure && failure->position > 0) failure->position += begin;
                return std::nullopt;
            }
            ends.push_back(end);
            begin = end;
        }
        return ends;
    }

    // Cuts the part with the most bytes in two until there are `count`;
    // false when no part has a place to be cut.
    bool SplitFurther(PartEnds& ends, int32_t count) const {
        while (static_cast<int32_t>(ends.size()) < count) {
            int32_t longest = -1, cut = -1;
            for (int32_t i = 0; i < static_cast<int32_t>(ends.size()); ++i) {
                const int32_t begin = i == 0 ? 0 : ends[static_cast<size_t>(i) - 1];
                const int32_t at = MiddleCut(begin, ends[static_cast<size_t>(i)]);
                if (at >= 0 && (longest < 0 || ends[static_cast<size_t>(i)] - begin > Bytes(ends, longest)))
                    longest = i, cut = at;
            }
            if (longest < 0) return false;
            ends.insert(ends.begin() + longest, cut);
        }
        return true;
    }

    // The most parts the input can be cut into, counting the places where
    // a part may begin.
    int32_t MostParts() const {
        int32_t parts = 1;
        for (int32_t at = 1; at < length_; ++at) parts += MayBeginAt(at) ? 1 : 0;
        return parts;
    }

    Parts Encode(const PartEnds& ends) const {
        Parts result;
        const auto count = static_cast<int32_t>(ends.size());
        EncodeOptions part = options_;
        part.detectMacro = false;  // a header in one part and its trailer in another
        for (int32_t i = 0, begin = 0; i < count; begin = ends[static_cast<size_t>(i++)]) {
            part.meaning = MeaningOf(i, count);
            std::optional<Symbol> symbol = SymbolMaker::Make(
                {data_ + begin, static_cast<size_t>(ends[static_cast<size_t>(i)] - begin)}, part, result.failure);
            if (!symbol) {
                result.symbols.clear();
                return result;
            }
            result.symbols.push_back(std::move(*symbol));
        }
        return result;
    }

private:
    static int32_t Bytes(const PartEnds& ends, int32_t i) {
        return ends[static_cast<size_t>(i)] - (i == 0 ? 0 : ends[static_cast<size_t>(i) - 1]);
    }

    // Whether [begin, end) fits a symbol of `size` as a part of a message.
    bool Fits(int32_t begin, int32_t end, int32_t size, EncodeFailure* failure = nullptr) const {
        uint8_t codewords[kMaxDataCodewords];
        int32_t sizeIndex = size;
        // The position only changes a codeword's value, except for GS1,
        // whose FNC1 only the first part has.
        return EncodeCodewords(codewords, kMaxDataCodewords, data_ + begin, end - begin, options_.scheme, sizeIndex,
                               failure, MeaningOf(begin == 0 ? 0 : 1, 2)) > 0;
    }

    // A part of GS1 data keeps its separators from the first three bytes:
    // an FNC1 right after the Structured Append codewords reads as GS1's
    // first, and one after a letter or two digits as the second-position
    // FNC1 of other data, both dropped by readers. Nor does a part of
    // UTF-8 text begin inside a character, which a reader that decodes
    // each symbol on its own would not understand.
    bool MayBeginAt(int32_t at) const {
        if (at == length_) return true;
        const DataMeaning& meaning = options_.meaning;
        if (meaning.gs1) {
            const uint8_t* const firstThree = data_ + std::min(at + 3, length_);
            return std::find(data_ + at, firstThree, kGroupSeparator) == firstThree;
        }
        return !(meaning.eciGiven && meaning.eci == kUtf8Eci && (data_[at] & 0xC0) == 0x80);
    }

    // The end of the longest part from `begin` that fits `size`; `begin`
    // when not one byte fits. No scheme puts more than two bytes into a
    // codeword, which bounds the search.
    int32_t LongestPart(int32_t begin, int32_t size) const {
        const int64_t bound = begin + 2 * static_cast<int64_t>(SymbolSizes()[size].dataCodewords);
        int32_t fits = begin, tooLong = static_cast<int32_t>(std::min<int64_t>(length_, bound));
        if (Fits(begin, tooLong, size))
            fits = tooLong;
        else
            while (tooLong - fits > 1) {
                const int32_t middle = fits + (tooLong - fits) / 2;
                (Fits(begin, middle, size) ? fits : tooLong) = middle;
            }
        while (fits > begin && !MayBeginAt(fits)) --fits;
        return fits;
    }

    // The place nearest the middle of [begin, end) where a part may begin,
    // or -1.
    int32_t MiddleCut(int32_t begin, int32_t end) const {
        if (end - begin < 2) return -1;
        const int32_t middle = begin + (end - begin) / 2;
        for (int32_t step = 0; middle - step > begin || middle + step < end; ++step) {
            if (middle - step > begin && MayBeginAt(middle - step)) return middle - step;
            if (middle + step < end && MayBeginAt(middle + step)) return middle + step;
        }
        return -1;
    }

    const uint8_t* data_;
    int32_t length_;
    const EncodeOptions& options_;
    const StructuredAppendOptions& append_;
};

Parts Failed(EncodeError error, EncodeScheme scheme) {
    Parts result;
    Fail(&result.failure, error, scheme);
    return result;
}

Parts NeedsMoreSymbols(const EncodeOptions& options, int32_t allowed) {
    Parts result = Failed(EncodeError::NeedsMoreSymbols, options.scheme);
    result.failure.needed = allowed + 1;
    result.failure.capacity = allowed;
    result.failure.requestedSize = options.size;
    return result;
}

// `symbols` asked for, `most` possible: by bytes, or by places to begin.
Parts TooFewFor(EncodeError error, const EncodeOptions& options, int32_t symbols, int32_t most) {
    Parts result = Failed(error, options.scheme);
    result.failure.needed = symbols;
    result.failure.capacity = most;
    return result;
}

Parts SplitAndEncode(std::span<const uint8_t> data, const EncodeOptions& options,
                     const StructuredAppendOptions& append) {
    if (append.symbols == 0) {
        // A message that one symbol holds needs no Structured Append codewords.
        Parts result;
        if (std::optional<Symbol> alone = SymbolMaker::Make(data, options, result.failure)) {
            result.symbols.push_back(std::move(*alone));
            return result;
        }
    }
    const Splitter splitter(data, options, append);
    // The request's sizes from the smallest; the last holds the most.
    const std::span<const int32_t> sizes = SizesOf(RequestedSize(options));
    const int32_t limit = append.symbols == 0 ? kMaxAppendSymbols : append.symbols;
    Parts result;
    std::optional<PartEnds> ends = splitter.Split(sizes.back(), limit, &result.failure);
    if (!ends) return result.failure.error != EncodeError::None ? result : NeedsMoreSymbols(options, limit);
    const int32_t count = append.symbols == 0 ? std::max(2, static_cast<int32_t>(ends->size())) : append.symbols;
    // The smallest size of the request at which `count` symbols are
    // enough: a larger size never needs more.
    for (int32_t fits = static_cast<int32_t>(sizes.size()) - 1, tooSmall = -1; fits - tooSmall > 1;) {
        const int32_t middle = tooSmall + (fits - tooSmall) / 2;
        if (std::optional<PartEnds> smaller = splitter.Split(sizes[static_cast<size_t>(middle)], count)) {
            ends = std::move(smaller);
            fits = middle;
        } else {
            tooSmall = middle;
        }
    }
    if (!splitter.SplitFurther(*ends, count))
        return TooFewFor(EncodeError::TooFewPlacesToSplit, options, count, splitter.MostParts());
    return splitter.Encode(*ends);
}

}  // namespace

static Parts SplitIntoSymbols(std::span<const uint8_t> data, const EncodeOptions& options,
                              const StructuredAppendOptions& append) {
    if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        Parts result;
        FailToFit(&result.failure, options.scheme, kMaxDataCodewords + 1, options.size);
        return result;
    }
    const int32_t length = static_cast<int32_t>(data.size());
    // The first symbol's meaning stands for all: the checks of a single
    // symbol, with the count (any valid one when it is to be chosen).
    const Splitter splitter(data, options, append);
    const DataMeaning first = splitter.MeaningOf(0, append.symbols == 0 ? 2 : append.symbols);
    const uint8_t unused = 0;  // the check wants a place for codewords
    if (const EncodeError error = CheckRequest(&unused, data.data(), length, RequestedSize(options), first);
        error != EncodeError::None) {
        Parts result;
        FailRequest(&result.failure, error, options.scheme, first);
        return result;
    }
    if (append.symbols > length) return TooFewFor(EncodeError::FewerBytesThanSymbols, options, append.symbols, length);
    try {
        return SplitAndEncode(data, options, append);
    } catch (const std::bad_alloc&) {
        return Failed(EncodeError::OutOfMemory, options.scheme);
    }
}

Result<std::vector<Symbol>> EncodeStructuredAppend(std::span<const uint8_t> data, const EncodeOptions& options,
                                                   const StructuredAppendOptions& append) {
    Parts parts = SplitIntoSymbols(data, options, append);
    if (parts.failure.error != EncodeError::None) return StatusOf(parts.failure);
    return std::move(parts.symbols);
}

}  // namespace glyphrun
