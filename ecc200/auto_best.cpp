// The automatic choice: for each scheme, the cheapest encoding found so far
// of the input consumed up to now that ends in that scheme.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>
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
    const uint8_t* failsAt;  // Fails: the byte the scheme lacks
};

constexpr Forecast kUnknown{Forecast::Unknown, 0, nullptr};

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsEdifactByte(uint8_t c) { return c >= 32 && c <= 94; }
bool IsTriplet(EncodeScheme scheme) {
    return scheme == EncodeScheme::C40 || scheme == EncodeScheme::Text || scheme == EncodeScheme::X12;
}

// The first step of a triplet scheme from one position, looked up.
struct Ahead {
    int32_t failsAt;  // the position of the byte it fails at, -1 for none
    int16_t stores;
    uint8_t advance;
    bool known;
};

// What the forecasts read of the input besides the byte at the cursor.
struct Input {
    const uint8_t* begin;
    const uint8_t* end;
    bool gs1;
    // Three tables (C40, Text, X12) of the first positions; null for none.
    const Ahead* ahead = nullptr;
    int32_t aheadLength = 0;
    bool IsFnc1(uint8_t c) const { return gs1 && c == kGroupSeparator; }
};

// Fills the tables of `ahead` for the positions [0, length): a triplet
// step's read-ahead from a position ends at the first later position where
// the values since add up to a multiple of three, which one backward sweep
// over the sums of the values finds for every position. A read-ahead is
// followed at most 64 bytes past the tables; further it stays unknown.
bool FillAhead(const Input& input, Ahead* ahead, int32_t length) {
    const auto n = static_cast<int32_t>(input.end - input.begin);
    const int32_t reach = std::min(n, length + 64);
    auto* sums = new (std::nothrow) int32_t[static_cast<size_t>(reach) + 1];
    if (!sums) return false;
    for (int t = 0; t < 3; ++t) {
        const auto scheme = static_cast<EncodeScheme>(t + 1);
        Ahead* table = ahead + static_cast<size_t>(t) * static_cast<size_t>(length);
        sums[0] = 0;
        for (int32_t i = 0; i < reach; ++i)
            sums[i + 1] = sums[i] + TripletValueCount(input.begin[i], scheme, input.IsFnc1(input.begin[i]));
        int32_t next[3] = {-1, -1, -1};  // the nearest later position of each residue of the sums
        int32_t lacking = -1;            // the nearest byte from here on that the scheme lacks
        for (int32_t i = reach; i >= 0; --i) {
            if (i < reach && sums[i + 1] == sums[i]) lacking = i;
            const int32_t boundary = next[sums[i] % 3];
            next[sums[i] % 3] = i;
            if (i >= length) continue;
            Ahead& entry = table[i];
            entry = Ahead{-1, 0, static_cast<uint8_t>(8 * (sums[i + 1] - sums[i])), false};
            if (lacking >= 0 && (boundary < 0 || lacking < boundary)) {
                entry = Ahead{lacking, static_cast<int16_t>(2 * ((sums[lacking] - sums[i]) / 3)), 0, true};
            } else if (boundary >= 0 && boundary < n) {
                // A read-ahead that reaches the end of the data meets its rules.
                entry.stores = static_cast<int16_t>(2 * ((sums[boundary] - sums[i]) / 3));
                entry.known = true;
            }
        }
    }
    delete[] sums;
    return true;
}

// Where a channel stands once it has left its scheme for ASCII, as a step
// into another scheme leaves it first.
struct Left {
    Forecast::Kind kind;  // Consumed, PassedOver (inside a triple) or Unknown
    int32_t position;
    int32_t last;  // the last codeword index stored on the way, -1 for none
};

// A channel's record as the forecasts read it: no codewords, but the two
// facts a step reads from them, and where the channel would leave.
struct Light {
    EncodeScheme scheme;
    bool live;
    // ASCII: the last codeword is a single digit that the next digit folds
    // into (not the data codeword of an Upper Shift).
    bool pairable;
    int32_t consumed, written;
    int32_t segment;  // Base 256: the bytes of the segment so far
    Left exit;
};

// Works out where the channel of `s` leaves, in place: the records are
// written field by field and read soon after, and a record copied whole
// right after such writes waits for them.
void SetExit(Light& s) {
    Left& exit = s.exit;
    exit.kind = Forecast::Consumed;
    exit.position = s.consumed;
    exit.last = -1;
    switch (s.scheme) {
        case EncodeScheme::Ascii:
        case EncodeScheme::Base256:
            if (s.written != s.consumed) exit.kind = Forecast::Unknown;
            return;
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12:
            // Inside a triple the channel cannot leave.
            if (s.consumed % 12 != 0 || s.consumed != s.written) exit.kind = Forecast::PassedOver;
            exit.position = s.consumed + 12;
            exit.last = s.written / 12;
            return;
        case EncodeScheme::Edifact: {
            if (s.written != s.consumed) exit.kind = Forecast::Unknown;
            // The unlatch value closes the group: k values take k codewords.
            const int32_t slot = s.consumed % 4;
            const int32_t after = s.consumed + 9;
            exit.position = after + 3 * (after % 4);
            exit.last = after / 12 - slot + std::min(slot, 2);
            return;
        }
        default: exit.kind = Forecast::Unknown; return;
    }
}

Light LightOf(const EncodationState& s) {
    // A failed channel's record holds nothing but its error.
    if (!IsLive(&s)) return Light{EncodeScheme::Ascii, false, false, 0, 0, 0, {}};
    Light light{s.scheme, true, false, s.consumed, s.written, 0, {}};
    if (s.scheme == EncodeScheme::Ascii && s.consumed >= s.schemeStart + 12) {
        const int32_t previous = s.consumed / 12 - 1;
        const uint8_t single = ReadCodeword(s, previous);
        light.pairable = single >= '0' + 1 && single <= '9' + 1 &&
                         (previous == s.schemeStart / 12 || ReadCodeword(s, previous - 1) != kUpperShift);
    } else if (s.scheme == EncodeScheme::Base256) {
        const int32_t field = s.schemeStart / 12;
        const int32_t head = Unrandomize255(ReadCodeword(s, field), field + 1);
        light.segment = head < 250 ? head : (head - 249) * 250 + Unrandomize255(ReadCodeword(s, field + 1), field + 2);
    }
    SetExit(light);
    return light;
}

// A step that consumes up to `consumed` and stores codewords up to index
// `last`: known unless that store would fail.
Forecast Stored(int32_t consumed, int32_t last) {
    return last < kMaxDataCodewords ? Forecast{Forecast::Consumed, consumed, nullptr} : kUnknown;
}

// A step that meets a byte its scheme lacks after storing codewords up to
// index `last`: it fails there, unless a store failed first.
Forecast FailsAt(const uint8_t* at, int32_t last) {
    return last < kMaxDataCodewords ? Forecast{Forecast::Fails, 0, at} : kUnknown;
}

// The first step of a scheme right after its latch (ASCII: right after
// leaving a scheme, where no digit pairs with the codeword before). It does
// not depend on where the output stands, only on the bytes ahead.
// (No member initialisers: the forecasts of a pass are made afresh, not
// zeroed first.)
struct FirstStep {
    bool known;
    const uint8_t* failsAt;  // the byte it fails at, if it does
    int32_t advance;         // twelfths consumed
    int32_t stores;          // codewords stored from the step's start on (before failing)
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
FirstStep TripletFirstStep(const Input& input, EncodeScheme scheme, const uint8_t* at) {
    constexpr int kReadAheadLimit = 16;
    FirstStep step{};
    int count = 0, first = 0;
    int32_t triples = 0;
    const uint8_t* read = at;
    for (;;) {
        while (count < 3 && read < input.end) {
            const int added = TripletValueCount(*read, scheme, input.IsFnc1(*read));
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
        if (read == input.end || read - at > kReadAheadLimit) return step;
        if (count == 0) break;
    }
    step.known = true;
    step.advance = 8 * first;
    step.stores = 2 * triples;
    return step;
}

template <EncodeScheme kScheme>
FirstStep WorkOutFirstStep(const Input& input, const uint8_t* at) {
    FirstStep step{};
    const uint8_t c = *at;
    switch (kScheme) {
        case EncodeScheme::Ascii:
            step.known = true;
            step.advance = c >= 128 && !input.IsFnc1(c) ? 24 : 12;
            step.stores = step.advance / 12;
            return step;
        case EncodeScheme::Edifact:
            // Within five bytes of the end the end-of-data rules apply,
            // before the byte (within four) or after it.
            if (!IsEdifactByte(c)) {
                step.known = input.end - at > 4;
                step.failsAt = at;
                return step;
            }
            step.known = input.end - at > 5;
            step.advance = 9;
            step.stores = 1;
            return step;
        case EncodeScheme::Base256:
            // The length field was stored with the latch.
            step.known = true;
            if (input.IsFnc1(c)) {
                step.failsAt = at;
                return step;
            }
            step.advance = 12;
            step.stores = 1;
            return step;
        default: {
            const auto position = static_cast<int32_t>(at - input.begin);
            if (position >= input.aheadLength) return TripletFirstStep(input, kScheme, at);
            const Ahead& ahead =
                input.ahead[static_cast<size_t>(static_cast<int>(kScheme) - 1) * static_cast<size_t>(input.aheadLength) +
                            static_cast<size_t>(position)];
            step.known = ahead.known;
            step.failsAt = ahead.failsAt >= 0 ? input.begin + ahead.failsAt : nullptr;
            step.advance = ahead.advance;
            step.stores = ahead.stores;
            return step;
        }
    }
}

// A channel's step in the scheme it is in; `first` is that scheme's first
// step at the cursor.
template <EncodeScheme kScheme>
Forecast StepInPlace(const Light& s, const FirstStep& first, const uint8_t* cursor, const Input& input) {
    const uint8_t c = *cursor;
    switch (kScheme) {
        case EncodeScheme::Ascii:
            if (input.IsFnc1(c)) return Stored(s.consumed + 12, s.consumed / 12);
            if (IsDigit(c) && s.pairable) return {Forecast::Consumed, s.consumed, nullptr};
            return c >= 128 ? Stored(s.consumed + 24, s.consumed / 12 + 1) : Stored(s.consumed + 12, s.consumed / 12);
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12: {
            if (s.written == s.consumed) return FromStart(first, s.consumed, -1);
            const int n = TripletValueCount(c, kScheme, input.IsFnc1(c));
            if (s.consumed > s.written || n == 0) return kUnknown;
            return {Forecast::Consumed, s.consumed + 8 * n, nullptr};
        }
        case EncodeScheme::Edifact: {
            if (s.written != s.consumed) return kUnknown;
            if (!IsEdifactByte(c)) return input.end - cursor > 4 ? FailsAt(cursor, -1) : kUnknown;
            if (input.end - cursor <= 5) return kUnknown;
            // The value rewrites its group's codewords up to its own.
            const int32_t slot = s.consumed % 4;
            const int32_t first = (s.consumed + 9) / 12 - slot;
            return Stored(s.consumed + 9, first + std::min(slot, 2));
        }
        case EncodeScheme::Base256: {
            if (s.written != s.consumed) return kUnknown;
            if (input.IsFnc1(c)) return FailsAt(cursor, -1);
            // A long segment ending the data may shrink its length field.
            const int32_t length = s.segment + 1;
            if (length >= 250 && cursor + 1 == input.end) return kUnknown;
            // At 250 bytes the field grows to two codewords.
            const int32_t at = s.consumed + (length == 250 ? 12 : 0);
            return Stored(at + 12, at / 12);
        }
        default: return kUnknown;
    }
}

// Calls `f` with each scheme as a constant, so that each scheme's code is
// made apart, without a switch on it; stops at the first false.
template <typename F>
bool ForEachScheme(F&& f) {
    return [&]<int... kJ>(std::integer_sequence<int, kJ...>) {
        return (f(std::integral_constant<EncodeScheme, static_cast<EncodeScheme>(kJ)>{}) && ...);
    }(std::make_integer_sequence<int, kSchemes>{});
}

// A latch codeword, and a Base 256 length field after it.
constexpr int32_t LatchTwelfths(EncodeScheme target) {
    return target == EncodeScheme::Ascii ? 0 : target == EncodeScheme::Base256 ? 24 : 12;
}

// The forecasts of one pass: every live source's step in place, and the
// first step of every target at the cursor where all live channels stand.
struct Forecasts {
    const uint8_t* cursor;
    int owner[kSchemes];  // the live source in each scheme, -1 for none
    Forecast inPlace[kSchemes];
    FirstStep first[kSchemes];
    // The two live sources that leave at the lowest positions, the lower
    // index first at equal positions; -1 for none.
    int lowest[2];
    // No forecast of the pass comes near the largest symbol's capacity, so
    // none of their stores can fail.
    bool roomy;
};

// False when the forecasts cannot stand in for the trials in this pass: two
// live channels in one scheme, or one that cannot say where it leaves.
bool MakeForecasts(const Light (&channels)[kSchemes], const uint8_t* cursor, const Input& input,
                   Forecasts& forecasts) {
    int32_t top = 0;
    forecasts.cursor = cursor;
    int* const owner = forecasts.owner;
    int* const lowest = forecasts.lowest;
    owner[0] = owner[1] = owner[2] = owner[3] = owner[4] = owner[5] = -1;
    lowest[0] = lowest[1] = -1;
    for (int s = 0; s < kSchemes; ++s) {
        const Light& source = channels[s];
        if (!source.live) continue;
        const int scheme = static_cast<int>(source.scheme);
        if (owner[scheme] >= 0 || source.exit.kind == Forecast::Unknown) return false;
        owner[scheme] = s;
        top = std::max(top, std::max(source.consumed, source.written));
        if (source.exit.kind != Forecast::Consumed) continue;
        const int32_t position = source.exit.position;
        if (lowest[0] < 0 || position < channels[lowest[0]].exit.position) {
            lowest[1] = lowest[0];
            lowest[0] = s;
        } else if (lowest[1] < 0 || position < channels[lowest[1]].exit.position) {
            lowest[1] = s;
        }
    }
    int32_t stores = 0;
    ForEachScheme([&](auto scheme) {
        constexpr int j = static_cast<int>(scheme());
        forecasts.first[j] = WorkOutFirstStep<scheme()>(input, cursor);
        stores = std::max(stores, forecasts.first[j].stores);
        if (owner[j] >= 0)
            forecasts.inPlace[j] = StepInPlace<scheme()>(channels[owner[j]], forecasts.first[j], cursor, input);
        return true;
    });
    // A step stores at most a few codewords past the furthest channel: an
    // unlatch, a latch and a length field, and what its first step stores.
    forecasts.roomy = top / 12 + 8 + stores < kMaxDataCodewords;
    return true;
}

constexpr int kTry = -2;  // the sources must be tried

// The choice near the largest symbol's capacity, where a store may fail:
// every source forecast on its own, in order.
int ChooseChecked(const Light (&channels)[kSchemes], const Forecasts& forecasts, int target, const uint8_t*& failsAt) {
    const FirstStep& first = forecasts.first[target];
    const int32_t latch = LatchTwelfths(static_cast<EncodeScheme>(target));
    const int self = forecasts.owner[target];
    int best = -1;
    int32_t bestConsumed = 0;
    bool unknown = false;
    for (int s = 0; s < kSchemes; ++s) {
        if (!channels[s].live) continue;
        const Left& exit = channels[s].exit;
        const Forecast step = s == self                         ? forecasts.inPlace[target]
                              : exit.kind == Forecast::Consumed ? FromStart(first, exit.position + latch, exit.last)
                                                                : Forecast{exit.kind, 0, nullptr};
        if (step.kind == Forecast::Fails && !failsAt) failsAt = step.failsAt;
        unknown |= step.kind == Forecast::Unknown;
        if (step.kind == Forecast::Consumed && (best < 0 || step.consumed < bestConsumed)) {
            best = s;
            bestConsumed = step.consumed;
        }
    }
    if (failsAt) return -1;
    return unknown || best < 0 ? kTry : best;
}

// The same choice as the trials: the lowest consumed, the lower source at
// equal consumed; -1 when any source's step fails at a byte (at `failsAt`),
// kTry where a forecast is unknown or every source is passed over (the
// trials then record why the channel fails).
template <EncodeScheme kTarget>
int ChooseSource(const Light (&channels)[kSchemes], const Forecasts& forecasts, const uint8_t*& failsAt) {
    constexpr int target = static_cast<int>(kTarget);
    failsAt = nullptr;
    if (!forecasts.roomy) return ChooseChecked(channels, forecasts, target, failsAt);
    // Every source in another scheme comes to its exit plus the same latch
    // and first step, so the lowest exit among them is the best.
    const FirstStep& first = forecasts.first[target];
    const int self = forecasts.owner[target];
    const Forecast* const mine = self >= 0 ? &forecasts.inPlace[target] : nullptr;
    const int other = forecasts.lowest[0] == self ? forecasts.lowest[1] : forecasts.lowest[0];
    if (mine && mine->kind == Forecast::Fails) failsAt = mine->failsAt;
    if (other >= 0 && first.known && first.failsAt) failsAt = first.failsAt;
    if (failsAt) return -1;
    if ((mine && mine->kind != Forecast::Consumed) || (other >= 0 && !first.known)) return kTry;
    if (other < 0) return mine ? self : kTry;
    if (!mine) return other;
    const int32_t theirs = channels[other].exit.position + LatchTwelfths(kTarget) + first.advance;
    return mine->consumed < theirs || (mine->consumed == theirs && self < other) ? self : other;
}

// The record of a channel after the step that `ChooseSource` chose for it,
// whose forecast was Consumed, written into `to`.
template <EncodeScheme kTarget>
void Advance(const Light& from, const Forecasts& forecasts, const Input& input, Light& to) {
    constexpr EncodeScheme target = kTarget;
    const uint8_t c = *forecasts.cursor;
    const FirstStep& first = forecasts.first[static_cast<int>(target)];
    to.live = true;
    to.scheme = target;
    to.segment = 1;
    to.pairable = false;
    if (from.scheme != target) {
        const int32_t start = from.exit.position + LatchTwelfths(target);
        to.consumed = start + first.advance;
        to.written = IsTriplet(target) ? start + 12 * first.stores : to.consumed;
        to.pairable = target == EncodeScheme::Ascii && IsDigit(c);
        SetExit(to);
        return;
    }
    to.consumed = from.consumed;
    to.written = from.written;
    switch (target) {
        case EncodeScheme::Ascii:
            if (IsDigit(c) && from.pairable) break;  // the pair is no single digit
            to.consumed += c >= 128 && !input.IsFnc1(c) ? 24 : 12;
            // An ASCII character never ends with an Upper Shift, so a lone
            // digit always takes the next.
            to.pairable = IsDigit(c);
            to.written = to.consumed;
            break;
        case EncodeScheme::Edifact:
            to.consumed += 9;
            to.written = to.consumed;
            break;
        case EncodeScheme::Base256:
            to.segment = from.segment + 1;
            to.consumed += to.segment == 250 ? 24 : 12;
            to.written = to.consumed;
            break;
        default:
            if (from.written == from.consumed) {
                to.written += 12 * first.stores;
                to.consumed += first.advance;
            } else {
                to.consumed += 8 * TripletValueCount(c, target, input.IsFnc1(c));
            }
            break;
    }
    SetExit(to);
}

// Hands each channel on from its source: copies first, while every source
// is as it was, then the channels that stay in their scheme step in place.
// A negative source leaves the channel's slot in `next` as it is.
void ApplySources(Channels& channels, Channels& next, const int (&sources)[kSchemes]) {
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

// The cursor where all live channels stand, with their records; null when
// they stand apart or none lives.
const uint8_t* SharedCursor(const Channels& channels, Light (&lights)[kSchemes]) {
    const uint8_t* cursor = nullptr;
    bool apart = false;
    for (int s = 0; s < kSchemes; ++s) {
        lights[s] = LightOf(*channels.state[s]);
        if (!lights[s].live) continue;
        apart |= cursor && channels.state[s]->cursor != cursor;
        cursor = channels.state[s]->cursor;
    }
    return apart ? nullptr : cursor;
}

// One pass on the channels' states: every channel moves on by the cheapest
// step into its scheme, forecast where it can be and tried where not.
void Pass(Channels& channels, Channels& next, EncodationState& scratch, const Input& input) {
    Light lights[kSchemes];
    Forecasts forecasts;
    const uint8_t* cursor = SharedCursor(channels, lights);
    const bool forecast = cursor && MakeForecasts(lights, cursor, input, forecasts);
    int sources[kSchemes];
    ForEachScheme([&](auto target) {
        constexpr int j = static_cast<int>(target());
        EncodationState& failed = *next.state[j];
        const uint8_t* failsAt = nullptr;
        sources[j] = forecast ? ChooseSource<target()>(lights, forecasts, failsAt) : kTry;
        if (sources[j] == kTry) {
            sources[j] = BestSourceByTrial(channels, target(), scratch, failed);
        } else if (sources[j] < 0) {
            // Only the error of a failed channel is read.
            failed.error = EncodationError::NotEncodable;
            failed.errorAt = failsAt;
        }
        return true;
    });
    ApplySources(channels, next, sources);
}

// The passes in between: while every step is forecast, the channels are
// kept as records only and each pass's sources are written down; the
// states are caught up by replaying them (`CatchUp`) when a pass needs
// them. A channel's state is the same however it is reached, since a step
// reads only the state it steps.
struct Choices {
    int8_t source[kSchemes];
    uint8_t needed;  // the channels whose states later passes build on
};

// A pass on the records alone; false (the pass not made) where any source
// would have to be tried, and on the last byte, where channels finish and
// the finished ones are kept with their codewords.
bool RecordPass(const Light (&lights)[kSchemes], Light (&moved)[kSchemes], const uint8_t* cursor, const Input& input,
                Choices& choices) {
    if (input.end - cursor < 2) return false;
    Forecasts forecasts;
    if (!MakeForecasts(lights, cursor, input, forecasts)) return false;
    // `moved` is only taken up when the whole pass is made.
    return ForEachScheme([&](auto target) {
        constexpr int j = static_cast<int>(target());
        const uint8_t* failsAt = nullptr;
        const int source = ChooseSource<target()>(lights, forecasts, failsAt);
        if (source == kTry) return false;
        if (source >= 0)
            Advance<target()>(lights[source], forecasts, input, moved[j]);
        else
            moved[j].live = false;
        choices.source[j] = static_cast<int8_t>(source);
        return true;
    });
}

// Replays `count` recorded passes on the channels' states, stepping only
// the channels that the last pass's live channels descend from; a channel
// that failed meanwhile is only marked failed. False if a state does not
// come out as its record says, which would be a fault in the records.
bool CatchUp(Channels& channels, Channels& next, Choices* choices, int count, const Light (&lights)[kSchemes]) {
    uint8_t needed = 0;
    for (int j = 0; j < kSchemes; ++j)
        if (lights[j].live) needed |= 1u << j;
    // Without branches: which channels are needed varies from pass to pass.
    for (int t = count - 1; t >= 0; --t) {
        choices[t].needed = needed;
        unsigned sources = 0;
        for (int j = 0; j < kSchemes; ++j) {
            const unsigned mask = 0u - (needed >> j & 1u);
            sources |= (1u << (choices[t].source[j] & 7)) & mask;  // a needed channel has a source
        }
        needed = static_cast<uint8_t>(sources);
    }
    for (int t = 0; t < count; ++t) {
        int sources[kSchemes];
        for (int j = 0; j < kSchemes; ++j) {
            const int mask = -static_cast<int>(choices[t].needed >> j & 1u);
            sources[j] = (choices[t].source[j] & mask) | ~mask;  // -1 where not needed
        }
        ApplySources(channels, next, sources);
    }
    bool consistent = true;
    for (int j = 0; j < kSchemes; ++j) {
        EncodationState& state = *channels.state[j];
        if (!lights[j].live) {
            state.error = EncodationError::NotEncodable;
            continue;
        }
        const Light light = LightOf(state);
        consistent &= light.live && light.scheme == lights[j].scheme && light.consumed == lights[j].consumed &&
                      light.written == lights[j].written && light.pairable == lights[j].pairable &&
                      (light.scheme != EncodeScheme::Base256 || light.segment == lights[j].segment);
    }
    return consistent;
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
    // the stack of callers that have little. Room for the recorded passes:
    // each consumes a byte, and no channel lives past twice as many bytes
    // as the largest symbol has codewords; passes past the room are made
    // on the states.
    constexpr int kStates = 3 * kSchemes + 1;
    const int32_t recordable = std::min(length, 2 * kMaxDataCodewords + 8);
    auto* storage = new (std::nothrow) EncodationState[kStates];
    auto* choices = new (std::nothrow) Choices[static_cast<size_t>(recordable)];
    auto* ahead = new (std::nothrow) Ahead[3 * static_cast<size_t>(recordable)];
    if (!storage || !choices || !ahead) {
        delete[] storage;
        delete[] choices;
        delete[] ahead;
        return Fail(failure, EncodeError::OutOfMemory, EncodeScheme::AutoBest);
    }
    Input context{input, input + length, meaning.gs1};
    if (FillAhead(context, ahead, recordable)) {
        context.ahead = ahead;
        context.aheadLength = recordable;
    }
    Channels channels, next;
    EncodationState* finished = &storage[2 * kSchemes];
    EncodationState& scratch = storage[3 * kSchemes];
    bool haveFinished[kSchemes] = {};
    // The records can only be checked against the states where these are
    // caught up; should they ever disagree, the choice is made again with
    // every pass on the states.
    bool recording = true;
    bool restart = true;
    while (restart) {
        restart = false;
        std::fill(std::begin(haveFinished), std::end(haveFinished), false);
        for (int j = 0; j < kSchemes; ++j) {
            channels.state[j] = &storage[j];
            next.state[j] = &storage[kSchemes + j];
            InitEncodationState(*channels.state[j], input, length, requestedSize, meaning);
            EncodeStep(*channels.state[j], static_cast<EncodeScheme>(j));
        }
        KeepFinished(channels, finished, haveFinished);
        // Every pass moves each live channel on by at least one character.
        // The passes go on while any channel lives, not only ASCII: near the
        // largest symbol's capacity the ASCII channel runs out of room first.
        while (std::any_of(std::begin(channels.state), std::end(channels.state), IsLive)) {
            // Two sets of records, each pass writing the other.
            Light lights[2][kSchemes];
            const uint8_t* cursor = recording ? SharedCursor(channels, lights[0]) : nullptr;
            int recorded = 0;
            while (cursor && recorded < recordable &&
                   RecordPass(lights[recorded % 2], lights[(recorded + 1) % 2], cursor, context, choices[recorded])) {
                ++recorded;
                ++cursor;
            }
            if (recorded > 0 && !CatchUp(channels, next, choices, recorded, lights[recorded % 2])) {
                recording = false;
                restart = true;
                break;
            }
            Pass(channels, next, scratch, context);
            KeepFinished(channels, finished, haveFinished);
        }
    }
    delete[] choices;
    delete[] ahead;

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
