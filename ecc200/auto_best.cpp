// The automatic choice: for each scheme, the cheapest encoding found so far
// of the input consumed up to now that ends in that scheme.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "encodation_internal.h"
#include "failure.h"

namespace glyphrun {
namespace {

constexpr int kSchemes = 6;

// One state per scheme, by pointer, so that a pass can hand a channel on
// without copying it.
struct Channels {
    EncodationState* state[kSchemes];
};

bool HasInputLeft(const EncodationState& state) { return state.cursor < state.end; }

bool IsLive(const EncodationState* state) {
    return state->error == EncodationError::None && HasInputLeft(*state);
}

bool Finished(const EncodationState& state) {
    return state.error == EncodationError::None && !HasInputLeft(state);
}

// The source of the new channel for `target`: the cheapest step into it
// from any source that still has input, tried on `scratch`. A byte the
// target cannot encode fails the channel; a source in the middle of a
// triple, or one that runs out of room, is passed over, and when every
// source is, the channel fails with it. -1 for a failed channel, whose
// record (without codewords: nothing reads them) is left in `failed`.
int BestSourceByTrial(const Channels& channels, EncodeScheme target, EncodationState& scratch,
                      EncodationState& failed) {
    int best = -1;
    int32_t bestConsumed = 0;
    bool haveFailure = false;
    for (int s = 0; s < kSchemes; ++s) {
        const EncodationState& source = *channels.state[s];
        if (source.error != EncodationError::None || !HasInputLeft(source)) continue;
        CopyEncodationStateForStep(scratch, source);
        EncodeStep(scratch, target);
        if (scratch.error == EncodationError::NotEncodable) {
            std::memcpy(&failed, &scratch, offsetof(EncodationState, codewords));
            return -1;
        }
        if (scratch.error != EncodationError::None) {
            if (best < 0 && !haveFailure) std::memcpy(&failed, &scratch, offsetof(EncodationState, codewords));
            haveFailure = true;
        } else if (best < 0 || scratch.consumed < bestConsumed) {
            best = s;
            bestConsumed = scratch.consumed;
        }
    }
    return best;
}

// Trying a step on a copy costs far more than the step itself, and the
// choice makes 36 trials per byte. What a step comes to is mostly plain
// arithmetic on the source's record, worked out below without running it.
// Where it is not (the end of the data is near and its rules weigh the room
// left, or a store could pass the largest symbol), the forecast is Unknown
// and the target's sources are tried after all.
struct Forecast {
    enum Kind : uint8_t { Consumed, PassedOver, Fails, Unknown } kind;
    int32_t consumed;
    const uint8_t* failsAt = nullptr;  // Fails: the byte the scheme lacks
};

constexpr Forecast kUnknown{Forecast::Unknown, 0};

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsEdifactByte(uint8_t c) { return c >= 32 && c <= 94; }

// A step that consumes up to `consumed` and stores codewords up to index
// `last`: known unless that store would fail.
Forecast Stored(int32_t consumed, int32_t last) {
    return last < kMaxDataCodewords ? Forecast{Forecast::Consumed, consumed} : kUnknown;
}

// A step that meets a byte its scheme lacks after storing codewords up to
// index `last`: it fails there, unless a store failed first.
Forecast FailsAt(const uint8_t* at, int32_t last) {
    return last < kMaxDataCodewords ? Forecast{Forecast::Fails, 0, at} : kUnknown;
}

// The first step of a scheme right after its latch (ASCII: right after
// leaving a scheme, where no digit pairs with the codeword before). It does
// not depend on where the output stands, only on the bytes ahead.
struct FirstStep {
    bool known = false;
    const uint8_t* failsAt = nullptr;  // the byte it fails at, if it does
    int32_t advance = 0;  // twelfths consumed
    int32_t stores = 0;   // codewords stored from the step's start on (before failing)
};

// A known step from `start` (in twelfths, as a step starts at a codeword
// boundary) with stores up to at least `last` before it.
Forecast FromStart(const FirstStep& step, int32_t start, int32_t last) {
    if (!step.known) return kUnknown;
    last = std::max(last, start / 12 + step.stores - 1);
    return step.failsAt ? FailsAt(step.failsAt, last) : Stored(start + step.advance, last);
}

// A triplet step with no values pending reads ahead until the values end on
// a triple boundary, and fails at a byte the scheme lacks. Unknown when it
// meets the end of the data, or reads further than a few bytes (a long
// read-ahead is rare and is left to the trial).
FirstStep TripletFirstStep(const EncodationState& state, EncodeScheme scheme, const uint8_t* at) {
    constexpr int kReadAheadLimit = 16;
    FirstStep step;
    int count = 0, first = 0;
    int32_t triples = 0;
    const uint8_t* read = at;
    for (;;) {
        while (count < 3 && read < state.end) {
            const int added = TripletValueCount(*read, scheme, IsFnc1(state, *read));
            if (added == 0) {
                step.known = true;
                step.failsAt = read;
                step.stores = 2 * triples;
                return step;
            }
            if (read == at) first = added;
            count += added;
            ++read;
        }
        if (count >= 3) {
            ++triples;
            count -= 3;
        }
        if (read == state.end || read - at > kReadAheadLimit) return step;
        if (count == 0) break;
    }
    step.known = true;
    step.advance = 8 * first;
    step.stores = 2 * triples;
    return step;
}

FirstStep WorkOutFirstStep(const EncodationState& state, EncodeScheme scheme, const uint8_t* at) {
    FirstStep step;
    const uint8_t c = *at;
    switch (scheme) {
        case EncodeScheme::Ascii:
            step.known = true;
            step.advance = c >= 128 && !IsFnc1(state, c) ? 24 : 12;
            step.stores = step.advance / 12;
            return step;
        case EncodeScheme::Edifact:
            // Within five bytes of the end the end-of-data rules apply,
            // before the byte (within four) or after it.
            if (!IsEdifactByte(c)) {
                step.known = state.end - at > 4;
                step.failsAt = at;
                return step;
            }
            step.known = state.end - at > 5;
            step.advance = 9;
            step.stores = 1;
            return step;
        case EncodeScheme::Base256:
            // The length field was stored with the latch.
            step.known = true;
            if (IsFnc1(state, c)) {
                step.failsAt = at;
                return step;
            }
            step.advance = 12;
            step.stores = 1;
            return step;
        default: return TripletFirstStep(state, scheme, at);
    }
}

// A channel's step in the scheme it is in; `first` is that scheme's first
// step at the cursor.
Forecast StepInPlace(const EncodationState& s, const FirstStep& first) {
    const uint8_t c = *s.cursor;
    switch (s.scheme) {
        case EncodeScheme::Ascii: {
            if (IsFnc1(s, c)) return Stored(s.consumed + 12, s.consumed / 12);
            if (IsDigit(c) && s.consumed >= s.schemeStart + 12) {
                const int32_t previous = s.consumed / 12 - 1;
                const uint8_t single = ReadCodeword(s, previous);
                if (single >= '0' + 1 && single <= '9' + 1 &&
                    (previous == s.schemeStart / 12 || ReadCodeword(s, previous - 1) != kUpperShift))
                    return {Forecast::Consumed, s.consumed};
            }
            return c >= 128 ? Stored(s.consumed + 24, s.consumed / 12 + 1) : Stored(s.consumed + 12, s.consumed / 12);
        }
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12: {
            if (s.written == s.consumed) return FromStart(first, s.consumed, -1);
            const int n = TripletValueCount(c, s.scheme, IsFnc1(s, c));
            if (s.consumed > s.written || n == 0) return kUnknown;
            return {Forecast::Consumed, s.consumed + 8 * n};
        }
        case EncodeScheme::Edifact: {
            if (s.written != s.consumed) return kUnknown;
            if (!IsEdifactByte(c)) return s.end - s.cursor > 4 ? FailsAt(s.cursor, -1) : kUnknown;
            if (s.end - s.cursor <= 5) return kUnknown;
            // The value rewrites its group's codewords up to its own.
            const int32_t slot = s.consumed % 4;
            const int32_t first = (s.consumed + 9) / 12 - slot;
            return Stored(s.consumed + 9, first + std::min(slot, 2));
        }
        case EncodeScheme::Base256: {
            if (s.written != s.consumed) return kUnknown;
            if (IsFnc1(s, c)) return FailsAt(s.cursor, -1);
            const int32_t field = s.schemeStart / 12;
            const int32_t head = Unrandomize255(ReadCodeword(s, field), field + 1);
            const int32_t stored =
                head < 250 ? head : (head - 249) * 250 + Unrandomize255(ReadCodeword(s, field + 1), field + 2);
            const int32_t length = stored + 1;
            // A long segment ending the data may shrink its length field.
            if (length >= 250 && s.cursor + 1 == s.end) return kUnknown;
            // At 250 bytes the field grows to two codewords.
            const int32_t at = s.consumed + (length == 250 ? 12 : 0);
            return Stored(at + 12, at / 12);
        }
        default: return kUnknown;
    }
}

// Where a channel stands once it has left its scheme for ASCII, as a step
// into another scheme leaves it first.
struct Left {
    Forecast::Kind kind;
    int32_t position;
    int32_t last;  // the last codeword index stored on the way, -1 for none
};

Left LeaveForAscii(const EncodationState& s) {
    switch (s.scheme) {
        case EncodeScheme::Ascii:
        case EncodeScheme::Base256:
            if (s.written != s.consumed) return {Forecast::Unknown, 0, 0};
            return {Forecast::Consumed, s.consumed, -1};
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12:
            // Inside a triple the channel cannot leave.
            if (s.consumed % 12 != 0 || s.consumed != s.written) return {Forecast::PassedOver, 0, 0};
            return {Forecast::Consumed, s.consumed + 12, s.written / 12};
        case EncodeScheme::Edifact: {
            if (s.written != s.consumed) return {Forecast::Unknown, 0, 0};
            // The unlatch value closes the group: k values take k codewords.
            const int32_t slot = s.consumed % 4;
            const int32_t first = (s.consumed + 9) / 12 - slot;
            const int32_t after = s.consumed + 9;
            return {Forecast::Consumed, after + 3 * (after % 4), first + std::min(slot, 2)};
        }
        default: return {Forecast::Unknown, 0, 0};
    }
}

// The forecasts of one pass: every live source's exit and step in place,
// and the first step of every target at the cursor where all live channels
// stand.
struct Forecasts {
    bool live[kSchemes];
    int owner[kSchemes];  // the live source in each scheme, -1 for none
    Left exit[kSchemes];
    Forecast inPlace[kSchemes];
    FirstStep first[kSchemes];
    // The two live sources that leave at the lowest positions, the lower
    // index first at equal positions; -1 for none.
    int lowest[2];
    // No forecast of the pass comes near the largest symbol's capacity, so
    // none of their stores can fail.
    bool roomy;
};

// False when the forecasts cannot stand in for the trials in this pass:
// live channels at different cursors (each step consumes one byte, or all
// that remain, so they do not part), two in one scheme, or one that cannot
// say where it leaves.
bool MakeForecasts(const Channels& channels, Forecasts& forecasts) {
    const uint8_t* cursor = nullptr;
    int32_t top = 0;
    std::fill(std::begin(forecasts.owner), std::end(forecasts.owner), -1);
    forecasts.lowest[0] = forecasts.lowest[1] = -1;
    for (int s = 0; s < kSchemes; ++s) {
        const EncodationState& source = *channels.state[s];
        forecasts.live[s] = IsLive(&source);
        if (!forecasts.live[s]) continue;
        if (cursor && source.cursor != cursor) return false;
        cursor = source.cursor;
        int& owner = forecasts.owner[static_cast<int>(source.scheme)];
        if (owner >= 0) return false;
        owner = s;
        top = std::max(top, std::max(source.consumed, source.written) / 12);
        const Left exit = forecasts.exit[s] = LeaveForAscii(source);
        if (exit.kind == Forecast::Unknown) return false;
        if (exit.kind != Forecast::Consumed) continue;
        int* lowest = forecasts.lowest;
        if (lowest[0] < 0 || exit.position < forecasts.exit[lowest[0]].position) {
            lowest[1] = lowest[0];
            lowest[0] = s;
        } else if (lowest[1] < 0 || exit.position < forecasts.exit[lowest[1]].position) {
            lowest[1] = s;
        }
    }
    if (!cursor) return false;
    const EncodationState& any = *channels.state[0];
    int32_t stores = 0;
    for (int j = 0; j < kSchemes; ++j) {
        forecasts.first[j] = WorkOutFirstStep(any, static_cast<EncodeScheme>(j), cursor);
        stores = std::max(stores, forecasts.first[j].stores);
    }
    for (int s = 0; s < kSchemes; ++s)
        if (forecasts.live[s]) {
            const EncodationState& source = *channels.state[s];
            forecasts.inPlace[s] = StepInPlace(source, forecasts.first[static_cast<int>(source.scheme)]);
        }
    // A step stores at most a few codewords past the furthest channel: an
    // unlatch, a latch and a length field, and what its first step stores.
    forecasts.roomy = top + 8 + stores < kMaxDataCodewords;
    return true;
}

// The same choice as the trials: the lowest consumed, the lower source at
// equal consumed, -1 when any source's step fails at a byte, the trials
// where a forecast is unknown or every source is passed over.
int BestSource(const Channels& channels, EncodeScheme target, EncodationState& scratch, EncodationState& failed,
               const Forecasts& forecasts) {
    const int j = static_cast<int>(target);
    const FirstStep& first = forecasts.first[j];
    // A latch codeword, and a Base 256 length field after it.
    const int32_t latch = target == EncodeScheme::Ascii ? 0 : target == EncodeScheme::Base256 ? 24 : 12;
    const auto fail = [&](const uint8_t* at) {
        // Only the error of a failed channel is read.
        failed.error = EncodationError::NotEncodable;
        failed.errorAt = at;
        return -1;
    };
    int best = -1;
    int32_t bestConsumed = 0;
    bool unknown = false;
    const auto consider = [&](int s, const Forecast& step) {
        if (step.kind == Forecast::Unknown) unknown = true;
        if (step.kind != Forecast::Consumed) return;
        if (best < 0 || step.consumed < bestConsumed || (step.consumed == bestConsumed && s < best)) {
            best = s;
            bestConsumed = step.consumed;
        }
    };
    const int self = forecasts.owner[j];
    if (forecasts.roomy) {
        // Every source in another scheme comes to its exit plus the same
        // latch and first step, so the lowest exit among them is the best.
        const int other = forecasts.lowest[0] == self ? forecasts.lowest[1] : forecasts.lowest[0];
        if (self >= 0 && forecasts.inPlace[self].kind == Forecast::Fails) return fail(forecasts.inPlace[self].failsAt);
        if (other >= 0 && first.known && first.failsAt) return fail(first.failsAt);
        if (self >= 0) consider(self, forecasts.inPlace[self]);
        if (other >= 0)
            consider(other, first.known ? Forecast{Forecast::Consumed, forecasts.exit[other].position + latch + first.advance}
                                        : kUnknown);
    } else {
        const uint8_t* failsAt = nullptr;
        for (int s = 0; s < kSchemes; ++s) {
            if (!forecasts.live[s]) continue;
            const Left& exit = forecasts.exit[s];
            const Forecast step = s == self                         ? forecasts.inPlace[s]
                                  : exit.kind == Forecast::Consumed ? FromStart(first, exit.position + latch, exit.last)
                                                                    : Forecast{exit.kind, 0};
            if (step.kind == Forecast::Fails && !failsAt) failsAt = step.failsAt;
            consider(s, step);
        }
        if (failsAt) return fail(failsAt);
    }
    // Every source passed over: the trials record why.
    if (unknown || best < 0) return BestSourceByTrial(channels, target, scratch, failed);
    return best;
}

// One pass: every channel moves on by the cheapest step into its scheme.
// A channel that stays in its own scheme steps in place; one that comes
// from another scheme is copied first, before any source has moved.
void Pass(Channels& channels, Channels& next, EncodationState& scratch) {
    int sources[kSchemes];
    Forecasts forecasts;
    if (MakeForecasts(channels, forecasts)) {
        for (int j = 0; j < kSchemes; ++j)
            sources[j] = BestSource(channels, static_cast<EncodeScheme>(j), scratch, *next.state[j], forecasts);
    } else {
        for (int j = 0; j < kSchemes; ++j)
            sources[j] = BestSourceByTrial(channels, static_cast<EncodeScheme>(j), scratch, *next.state[j]);
    }
    for (int j = 0; j < kSchemes; ++j)
        if (sources[j] >= 0 && sources[j] != j) {
            CopyEncodationState(*next.state[j], *channels.state[sources[j]]);
            EncodeStep(*next.state[j], static_cast<EncodeScheme>(j));
        }
    for (int j = 0; j < kSchemes; ++j)
        if (sources[j] == j) {
            std::swap(channels.state[j], next.state[j]);
            EncodeStep(*next.state[j], static_cast<EncodeScheme>(j));
        }
    std::swap(channels, next);
}

// Channels that reached the end stay candidates after later passes replace them.
void KeepFinished(const Channels& channels, EncodationState* finished, bool (&haveFinished)[kSchemes]) {
    for (int j = 0; j < kSchemes; ++j) {
        const EncodationState& channel = *channels.state[j];
        if (!Finished(channel)) continue;
        if (!haveFinished[j] || channel.written < finished[j].written) {
            CopyEncodationState(finished[j], channel);
            haveFinished[j] = true;
        }
    }
}

// The fewest codewords that each scheme alone could take for the input, or
// more than any symbol holds where it cannot take a byte. Bounds, not
// counts: what the end of the data spares is left out generously.
void SingleSchemeBounds(const uint8_t* input, int32_t length, const DataMeaning& meaning,
                        int32_t (&bound)[kSchemes]) {
    constexpr int32_t kNone = kMaxDataCodewords + 1;
    uint8_t prefixCodewords[4];
    const int32_t prefix = MeaningCodewords(meaning, prefixCodewords);
    int32_t values[3] = {};  // C40, Text, X12
    bool lacks[kSchemes] = {};
    for (int32_t i = 0; i < length; ++i) {
        const uint8_t c = input[i];
        const bool fnc1 = meaning.gs1 && c == kGroupSeparator;
        for (int t = 0; t < 3; ++t) {
            const int n = TripletValueCount(c, static_cast<EncodeScheme>(t + 1), fnc1);
            values[t] += n;
            lacks[t + 1] |= n == 0;
        }
        lacks[4] |= c < 32 || c > 94;
        lacks[5] |= fnc1;
    }
    // ASCII: a codeword a byte, two for a byte above 127, one for a digit
    // pair; no pairing takes more digits than adjacent pairs offer.
    bound[0] = prefix + AsciiCodewordCount(input, input + length);
    // Two codewords a triple; at most three values are left to ASCII at the end.
    for (int t = 0; t < 3; ++t) bound[t + 1] = prefix + 2 * (values[t] - 3) / 3 - 1;
    // Three codewords a group of four; at most four bytes are left to ASCII.
    bound[4] = prefix + 3 * (length - 4) / 4;
    // A latch, a length field and the bytes.
    bound[5] = prefix + 2 + length;
    for (int j = 0; j < kSchemes; ++j)
        if (lacks[j]) bound[j] = kNone;
}

// Each pass keeps only the cheapest way into each scheme so far, which can
// lose a path that ends shorter: one scheme throughout sometimes fits where
// the choice does not. Such a strictly shorter single scheme replaces
// `count` codewords in `output` (0: the choice failed). A scheme that
// cannot come out shorter is not tried.
void ShorterSingleScheme(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                         int32_t requestedSize, const DataMeaning& meaning, int32_t& count, EncodeFailure* failure) {
    int32_t bound[kSchemes] = {};
    if (count > 0) SingleSchemeBounds(input, length, meaning, bound);
    uint8_t single[kMaxDataCodewords];
    for (int j = 0; j < kSchemes; ++j) {
        if (count > 0 && bound[j] >= count) continue;
        const int32_t n = EncodeSingleScheme(single, kMaxDataCodewords, input, length, static_cast<EncodeScheme>(j),
                                             requestedSize, nullptr, meaning);
        if (n == 0 || (count > 0 && n >= count)) continue;
        if (n > outputCapacity) {
            count = Fail(failure, EncodeError::OutputTooSmall, EncodeScheme::AutoBest);
            return;
        }
        std::copy(single, single + n, output);
        count = n;
        if (failure) *failure = EncodeFailure{};
    }
}

}  // namespace

int32_t EncodeAutoBest(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                       int32_t requestedSize, EncodeFailure* failure, const DataMeaning& meaning) {
    if (const EncodeError error = CheckRequest(output, input, length, requestedSize, meaning);
        error != EncodeError::None)
        return FailRequest(failure, error, EncodeScheme::AutoBest, meaning);

    // Two sets of channels, the finished ones and a scratch state: kept off
    // the stack of callers that have little.
    constexpr int kStates = 3 * kSchemes + 1;
    auto* storage = new (std::nothrow) EncodationState[kStates];
    if (!storage) return Fail(failure, EncodeError::OutOfMemory, EncodeScheme::AutoBest);
    Channels channels, next;
    for (int j = 0; j < kSchemes; ++j) {
        channels.state[j] = &storage[j];
        next.state[j] = &storage[kSchemes + j];
    }
    EncodationState* finished = &storage[2 * kSchemes];
    EncodationState& scratch = storage[3 * kSchemes];
    bool haveFinished[kSchemes] = {};

    for (int j = 0; j < kSchemes; ++j) {
        InitEncodationState(*channels.state[j], input, length, requestedSize, meaning);
        EncodeStep(*channels.state[j], static_cast<EncodeScheme>(j));
    }
    KeepFinished(channels, finished, haveFinished);
    // Every pass moves each live channel on by at least one character. The
    // passes go on while any channel lives, not only ASCII: near the largest
    // symbol's capacity the ASCII channel runs out of room first.
    while (std::any_of(std::begin(channels.state), std::end(channels.state), IsLive)) {
        Pass(channels, next, scratch);
        KeepFinished(channels, finished, haveFinished);
    }

    // The fewest codewords; a tie keeps the lower scheme number.
    int chosen = -1;
    for (int j = 0; j < kSchemes; ++j)
        if (haveFinished[j] && (chosen < 0 || finished[j].written < finished[chosen].written)) chosen = j;
    int32_t count = chosen < 0 ? FailFromState(*channels.state[0], EncodeScheme::AutoBest, failure)
                               : CopyOut(finished[chosen], output, outputCapacity, failure);
    delete[] storage;
    if (count > 0 || chosen < 0)
        ShorterSingleScheme(output, outputCapacity, input, length, requestedSize, meaning, count, failure);
    return count;
}

}  // namespace glyphrun
