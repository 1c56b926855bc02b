// C40, Text and X12: three values of 0-39 packed into two codewords.
#include "encodation_internal.h"

namespace glyphrun {
namespace {

constexpr int MapX12(uint8_t byte, uint8_t values[4]) {
    if (byte == 13)
        values[0] = 0;
    else if (byte == '*')
        values[0] = 1;
    else if (byte == '>')
        values[0] = 2;
    else if (byte == ' ')
        values[0] = 3;
    else if (byte >= '0' && byte <= '9')
        values[0] = byte - 44;
    else if (byte >= 'A' && byte <= 'Z')
        values[0] = byte - 51;
    else
        return 0;
    return 1;
}

// The values of a byte below 128 in C40 or Text (which differ only in the
// case of letters).
constexpr int MapBasic(uint8_t byte, bool text, uint8_t* values) {
    const auto one = [&](int a) {
        values[0] = static_cast<uint8_t>(a);
        return 1;
    };
    const auto two = [&](int a, int b) {
        values[0] = static_cast<uint8_t>(a);
        values[1] = static_cast<uint8_t>(b);
        return 2;
    };
    if (byte < 32) return two(kShift1, byte);
    if (byte == ' ') return one(3);
    if (byte <= 47) return two(kShift2, byte - 33);
    if (byte <= '9') return one(byte - 44);
    if (byte <= 64) return two(kShift2, byte - 43);
    if (byte <= 'Z') return text ? two(kShift3, byte - 64) : one(byte - 51);
    if (byte <= 95) return two(kShift2, byte - 69);
    if (byte == 96) return two(kShift3, 0);
    if (byte <= 'z') return text ? one(byte - 83) : two(kShift3, byte - 96);
    return two(kShift3, byte - 96);
}

// The values of every byte in one scheme, looked up rather than worked out
// because the automatic choice maps each byte many times.
struct ByteValues {
    uint8_t count;
    uint8_t values[4];
};

constexpr int TableIndex(EncodeScheme scheme) {
    return scheme == EncodeScheme::Text ? 1 : scheme == EncodeScheme::X12 ? 2 : 0;
}

struct ValueTables {
    ByteValues of[3][256];
};

constexpr ValueTables MakeValueTables() {
    ValueTables tables{};
    for (int byte = 0; byte < 256; ++byte) {
        const auto b = static_cast<uint8_t>(byte);
        ByteValues& x12 = tables.of[2][byte];
        x12.count = static_cast<uint8_t>(MapX12(b, x12.values));
        for (int text = 0; text < 2; ++text) {
            ByteValues& v = tables.of[text][byte];
            if (b < 128) {
                v.count = static_cast<uint8_t>(MapBasic(b, text, v.values));
            } else {
                v.values[0] = kShift2;
                v.values[1] = kUpperShiftValue;
                v.count = static_cast<uint8_t>(2 + MapBasic(static_cast<uint8_t>(b - 128), text, v.values + 2));
            }
        }
    }
    return tables;
}

constexpr ValueTables kValueTables = MakeValueTables();

int ValueCount(const EncodationState& state, uint8_t byte) {
    return TripletValueCount(byte, state.scheme, IsFnc1(state, byte));
}

void ConsumeOneChar(EncodationState& state) {
    AdvanceConsumed(state, 8 * ValueCount(state, *state.cursor));
    ++state.cursor;
}

// A character's values never straddle the way out of the scheme: a reader
// would take the values left in the triple for a character that never
// comes. When the last character's values begin in a stored triple and
// one value of them would be left over, the triples are cut back to the latest
// character boundary where they close, at a triple's end or after two
// values and a Shift 1; the read-ahead began on a triple boundary, so one
// is found. `stored`: the values of the character at the cursor that the
// triples hold.
void CutBackToClosingBoundary(EncodationState& state, int32_t stored) {
    int32_t back = stored;  // values from the boundary before the cursor to the triples' end
    while (back % 3 == 2) {
        --state.cursor;
        back += ValueCount(state, *state.cursor);
    }
    // One value past the boundary becomes the Shift 1 that pads its triple.
    const int32_t padded = back % 3 == 1 ? 1 : 0;
    state.written -= 8 * (back - padded);
    state.consumed = state.written;
    if (padded) {
        const int32_t first = state.written / 12 - 2;
        uint8_t values[3];
        UnpackTriple(state.codewords[first], state.codewords[first + 1], values);
        values[2] = kShift1;
        const int32_t v = PackTriple(values);
        state.codewords[first] = static_cast<uint8_t>(v / 256);
        state.codewords[first + 1] = static_cast<uint8_t>(v % 256);
    }
}

// Settles the end of the data once the read-ahead has reached it. `pending`
// holds the values not yet stored, of the characters from the cursor on.
void TripletEndOfData(EncodationState& state, uint8_t pending[3], int count) {
    while (state.consumed < state.written) ConsumeOneChar(state);
    const int32_t unstored = (state.consumed - state.written) / 8;
    if (unstored > 0) {
        // The last character's values were only partly stored: it counts
        // as not consumed, and its remaining values are pending.
        state.consumed = state.written;
        --state.cursor;
    }
    const int32_t remaining = static_cast<int32_t>(state.end - state.cursor);
    const int32_t used = state.consumed / 12;
    const int32_t least = remaining == 3 ? 2 : remaining;
    const int32_t room = CapacityFor(state, used + least) - used;

    if (remaining == 1 && room == 1 && ValueCount(state, *state.cursor) == 1) {
        // A reader returns to ASCII by itself when one codeword is left,
        // which then holds the last character, alone: one that the scheme
        // holds in a single value.
        ChangeScheme(state, EncodeScheme::Ascii, true);
        AsciiStepsToEnd(state);
    } else if ((room == 2 || unstored > 0) && (count == 3 || (count == 2 && state.scheme != EncodeScheme::X12))) {
        // The pending values close a last triple, two of them with a Shift
        // 1, which X12 lacks (its 0 is CR): where it fills the symbol, and
        // where the triples hold part of the last character already. No
        // unlatch where the reader returns to ASCII by itself.
        if (count == 2) pending[2] = kShift1;
        PutTriplet(state, pending);
        AdvanceConsumed(state, 24);
        state.cursor = state.end;
        const int32_t closed = state.consumed / 12;
        ChangeScheme(state, EncodeScheme::Ascii, CapacityFor(state, closed) - closed <= 1);
    } else if (unstored > 0) {
        CutBackToClosingBoundary(state, ValueCount(state, *state.cursor) - unstored);
        ChangeScheme(state, EncodeScheme::Ascii, false);
        AsciiStepsToEnd(state);
    } else if (room >= 1) {
        // With one codeword left after the data the reader is back in
        // ASCII already: no unlatch, the pad follows.
        ChangeScheme(state, EncodeScheme::Ascii, remaining == 0 && room == 1);
        AsciiStepsToEnd(state);
    }
    // room 0: the data fills the symbol exactly and nothing remains.
}

}  // namespace

int MapTripletChar(uint8_t byte, EncodeScheme scheme, uint8_t values[4], bool fnc1) {
    if (fnc1) {
        if (scheme == EncodeScheme::X12) return 0;
        values[0] = kShift2;
        values[1] = kFnc1Value;
        return 2;
    }
    const ByteValues& v = kValueTables.of[TableIndex(scheme)][byte];
    for (int i = 0; i < 4; ++i) values[i] = v.values[i];
    return v.count;
}

int TripletValueCount(uint8_t byte, EncodeScheme scheme, bool fnc1) {
    if (fnc1) return scheme == EncodeScheme::X12 ? 0 : 2;
    return kValueTables.of[TableIndex(scheme)][byte].count;
}

void PutTriplet(EncodationState& state, const uint8_t values[3]) {
    const int32_t v = PackTriple(values);
    // Both codewords at once where both fit; PutValue records a failure.
    const int32_t index = state.written / 12;
    if (IsTripletScheme(state.scheme) && state.error == EncodationError::None && index + 1 < kMaxDataCodewords) {
        state.codewords[index] = static_cast<uint8_t>(v / 256);
        state.codewords[index + 1] = static_cast<uint8_t>(v % 256);
        state.written += 24;
        return;
    }
    PutValue(state, v / 256);
    PutValue(state, v % 256);
}

void TripletStep(EncodationState& state) {
    if (state.written == state.consumed) {
        // Read ahead until the values of the characters read so far end on a
        // triple boundary, storing whole triples; the characters are
        // consumed one per step afterwards.
        uint8_t pending[7] = {};
        int count = 0;
        const uint8_t* read = state.cursor;
        for (;;) {
            while (count < 3 && read < state.end) {
                const int added = MapTripletChar(*read, state.scheme, pending + count, IsFnc1(state, *read));
                if (added == 0) return FailNotEncodable(state, read);
                count += added;
                ++read;
            }
            if (count >= 3) {
                PutTriplet(state, pending);
                count -= 3;  // at most three values remain
                pending[0] = pending[3];
                pending[1] = pending[4];
                pending[2] = pending[5];
                if (state.error != EncodationError::None) return;
            }
            if (read == state.end) return TripletEndOfData(state, pending, count);
            if (count == 0) break;
        }
    }
    if (state.consumed < state.written) ConsumeOneChar(state);
}

}  // namespace glyphrun
