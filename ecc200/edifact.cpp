// EDIFACT: four 6-bit values of the bytes 32-94 packed into three codewords.
#include <algorithm>

#include "encodation_internal.h"

namespace glyphrun {
namespace {

// After a complete group, a reader takes the last one or two codewords of
// the symbol as ASCII by itself; a tail of one or two characters that
// fits them in ASCII (a digit pair included) needs no unlatch. The tail
// holds only bytes EDIFACT could take, so that a forced EDIFACT never
// carries what its reading system does not expect. Otherwise the data ends
// with the unlatch in the group it closes.
void EdifactEndOfData(EncodationState& state) {
    const int32_t remaining = static_cast<int32_t>(state.end - state.cursor);
    if (remaining > 4) return;
    const int32_t used = state.consumed / 12;
    int32_t room = CapacityFor(state, used) - used;
    // A full symbol with one byte to go grows by the value and the unlatch
    // (two codewords); where that leaves exactly two after a group
    // boundary, a reader takes them as ASCII, so the room is that of the
    // grown symbol.
    if (state.consumed % 12 == 0 && room == 0 && remaining == 1) room = CapacityFor(state, used + 2) - used;
    if (state.consumed % 12 == 0 && (room == 1 || room == 2)) {
        if (remaining <= 2 && std::all_of(state.cursor, state.end, IsEdifactByte) &&
            AsciiCodewordsOf(state.cursor, state.end) <= room) {
            ChangeScheme(state, EncodeScheme::Ascii, true);
            AsciiStepsToEnd(state);
        }
        return;
    }
    // A complete group that fills the symbol exactly needs no unlatch either.
    if (remaining == 0 && !(state.consumed % 12 == 0 && room == 0)) ChangeScheme(state, EncodeScheme::Ascii, false);
}

}  // namespace

void EdifactStep(EncodationState& state) {
    if (state.consumed == state.schemeStart + 12) {
        // Right after the latch the group boundary rule applies as well:
        // short data must not leave a group that a reader takes for ASCII.
        EdifactEndOfData(state);
        if (state.scheme != EncodeScheme::Edifact || state.cursor == state.end) return;
    }
    const uint8_t c = *state.cursor;
    if (!IsEdifactByte(c)) return FailNotEncodable(state, state.cursor);
    PutValue(state, c & 63);
    AdvanceConsumed(state, 9);
    ++state.cursor;
    EdifactEndOfData(state);
}

}  // namespace glyphrun
