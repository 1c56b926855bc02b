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

bool IsLive(const EncodationState* state) { return state->error == EncodationError::None && HasInputLeft(*state); }

bool Finished(const EncodationState& state) { return state.error == EncodationError::None && !HasInputLeft(state); }

// The source of the new channel for `target`: the cheapest step into it
// from any source that still has input, tried on `scratch`. A byte the
// target cannot encode fails the channel; a source in the middle of a
// triple, or one that runs out of room, is passed over, and when every
// source is, the channel fails with it. -1 for a failed channel, whose
// record (without codewords: nothing reads them) is left in `failed`.
int BestSource(const Channels& channels, EncodeScheme target, EncodationState& scratch, EncodationState& failed) {
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

// One pass: every channel moves on by the cheapest step into its scheme.
// A channel that stays in its own scheme steps in place; one that comes
// from another scheme is copied first, before any source has moved.
void Pass(Channels& channels, Channels& next, EncodationState& scratch) {
    int sources[kSchemes];
    for (int j = 0; j < kSchemes; ++j)
        sources[j] = BestSource(channels, static_cast<EncodeScheme>(j), scratch, *next.state[j]);
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

// Each pass keeps only the cheapest way into each scheme so far, which can
// lose a path that ends shorter: one scheme throughout sometimes fits where
// the choice does not. Such a strictly shorter single scheme replaces
// `count` codewords in `output` (0: the choice failed).
void ShorterSingleScheme(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                         int32_t requestedSize, const DataMeaning& meaning, int32_t& count, EncodeFailure* failure) {
    uint8_t single[kMaxDataCodewords];
    for (int j = 0; j < kSchemes; ++j) {
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
    // A macro's message with no body: its codewords before the data are all.
    if (length == 0)
        return EncodeSingleScheme(output, outputCapacity, input, 0, EncodeScheme::Ascii, requestedSize, failure,
                                  meaning);

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
