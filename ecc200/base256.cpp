// Base 256: bytes as they are, randomised, behind a length field.
#include "encodation_internal.h"

namespace glyphrun {
namespace {

// The codeword at `index` randomised for its own 1-based position.
void StoreRandomised(EncodationState& state, int32_t index, int32_t value) {
    StoreCodeword(state, index, Randomize255(value, index + 1));
}

int32_t ReadUnrandomised(const EncodationState& state, int32_t index) {
    return Unrandomize255(ReadCodeword(state, index), index + 1);
}

}  // namespace

void Base256Step(EncodationState& state) {
    // Base 256 holds bytes only; an FNC1 there would read as a GS character.
    if (IsFnc1(state, *state.cursor)) return FailNotEncodable(state, state.cursor);
    const int32_t field = state.schemeStart / 12;
    const int32_t first = ReadUnrandomised(state, field);
    const int32_t stored = Base256LengthOf(first, Base256FieldTakesTwo(first) ? ReadUnrandomised(state, field + 1) : 0);
    const int32_t length = stored + 1;
    if (length == kLongBase256Length) {
        // The field grows to two codewords: move the data up by one,
        // randomised anew for the new positions.
        for (int32_t i = state.consumed / 12 - 1; i > field; --i)
            StoreRandomised(state, i + 1, ReadUnrandomised(state, i));
        AdvanceConsumed(state, 12);
        state.written += 12;
    }
    if (length >= kLongBase256Length && state.cursor + 1 == state.end &&
        CapacityFor(state, state.consumed / 12) == state.consumed / 12) {
        // The segment ends the data and fills the symbol: a length of 0
        // says "to the end" in one codeword, and the data moves down by one.
        StoreRandomised(state, field, 0);
        for (int32_t i = field + 1; i < state.consumed / 12 - 1; ++i)
            StoreRandomised(state, i, ReadUnrandomised(state, i + 1));
        AdvanceConsumed(state, -12);
        state.written -= 12;
    } else {
        uint8_t values[2];
        const int count = Base256LengthField(length, values);
        for (int i = 0; i < count; ++i) StoreRandomised(state, field + i, values[i]);
    }
    PutValue(state, Randomize255(*state.cursor, state.consumed / 12 + 1));
    AdvanceConsumed(state, 12);
    ++state.cursor;
}

}  // namespace glyphrun
