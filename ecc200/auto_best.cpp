// The automatic choice: for each scheme, the cheapest encoding found so far
// of the input consumed up to now that ends in that scheme.
#include <algorithm>
#include <iterator>
#include <new>

#include "encodation_internal.h"
#include "failure.h"

namespace glyphrun {
namespace {

constexpr int kSchemes = 6;

struct Channels {
    EncodationState state[kSchemes];
};

bool HasInputLeft(const EncodationState& state) { return state.cursor < state.end; }

bool IsLive(const EncodationState& state) { return state.error == EncodationError::None && HasInputLeft(state); }

bool Finished(const EncodationState& state) {
    return state.error == EncodationError::None && !HasInputLeft(state);
}

// The new channel for `target`: the cheapest step into it from any source
// that still has input. A byte the target cannot encode fails the channel;
// a source in the middle of a triple, or one that runs out of room, is
// passed over, and when every source is, the channel fails with it.
void BestTransition(const Channels& channels, EncodeScheme target, EncodationState& best) {
    bool haveCandidate = false, haveFailure = false;
    EncodationState copy;
    for (const EncodationState& source : channels.state) {
        if (source.error != EncodationError::None || !HasInputLeft(source)) continue;
        CopyEncodationState(copy, source);
        EncodeStep(copy, target);
        if (copy.error == EncodationError::NotEncodable) return CopyEncodationState(best, copy);
        if (copy.error != EncodationError::None) {
            if (!haveCandidate && !haveFailure) CopyEncodationState(best, copy);
            haveFailure = true;
        } else if (!haveCandidate || copy.consumed < best.consumed) {
            CopyEncodationState(best, copy);
            haveCandidate = true;
        }
    }
}

// Channels that reached the end stay candidates after later passes replace them.
void KeepFinished(const Channels& channels, Channels& finished, bool (&haveFinished)[kSchemes]) {
    for (int j = 0; j < kSchemes; ++j) {
        const EncodationState& channel = channels.state[j];
        if (!Finished(channel)) continue;
        if (!haveFinished[j] || channel.written < finished.state[j].written) {
            CopyEncodationState(finished.state[j], channel);
            haveFinished[j] = true;
        }
    }
}

// Each pass keeps only the cheapest way into each scheme so far, which can
// lose a path that ends shorter: one scheme throughout sometimes fits where
// the choice does not. Such a strictly shorter single scheme replaces
// `count` codewords in `output` (0: the choice failed).
void ShorterSingleScheme(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                         int32_t requestedSize, int32_t& count, EncodeFailure* failure) {
    uint8_t single[kMaxDataCodewords];
    for (int j = 0; j < kSchemes; ++j) {
        const int32_t n = EncodeSingleScheme(single, kMaxDataCodewords, input, length, static_cast<EncodeScheme>(j),
                                             requestedSize, nullptr);
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
                       int32_t requestedSize, EncodeFailure* failure) {
    if (const EncodeError error = CheckRequest(output, input, length, requestedSize); error != EncodeError::None)
        return Fail(failure, error, EncodeScheme::AutoBest);

    // Three sets of six states: kept off the stack of callers that have little.
    auto* storage = new (std::nothrow) Channels[3];
    if (!storage) return Fail(failure, EncodeError::OutOfMemory, EncodeScheme::AutoBest);
    Channels& channels = storage[0];
    Channels& next = storage[1];
    Channels& finished = storage[2];
    bool haveFinished[kSchemes] = {};

    for (int j = 0; j < kSchemes; ++j) {
        InitEncodationState(channels.state[j], input, length, requestedSize);
        EncodeStep(channels.state[j], static_cast<EncodeScheme>(j));
    }
    KeepFinished(channels, finished, haveFinished);
    // Every pass moves each live channel on by at least one character. The
    // passes go on while any channel lives, not only ASCII: near the largest
    // symbol's capacity the ASCII channel runs out of room first.
    while (std::any_of(std::begin(channels.state), std::end(channels.state), IsLive)) {
        for (int j = 0; j < kSchemes; ++j) BestTransition(channels, static_cast<EncodeScheme>(j), next.state[j]);
        for (int j = 0; j < kSchemes; ++j) CopyEncodationState(channels.state[j], next.state[j]);
        KeepFinished(channels, finished, haveFinished);
    }

    // The fewest codewords; a tie keeps the lower scheme number.
    int chosen = -1;
    for (int j = 0; j < kSchemes; ++j)
        if (haveFinished[j] && (chosen < 0 || finished.state[j].written < finished.state[chosen].written)) chosen = j;
    int32_t count = chosen < 0 ? FailFromState(channels.state[0], EncodeScheme::AutoBest, failure)
                               : CopyOut(finished.state[chosen], output, outputCapacity, failure);
    delete[] storage;
    if (count > 0 || chosen < 0) ShorterSingleScheme(output, outputCapacity, input, length, requestedSize, count, failure);
    return count;
}

}  // namespace glyphrun
