#include <algorithm>
#include <cstddef>
#include <cstring>

#include "encodation_internal.h"
#include "failure.h"

namespace glyphrun {
namespace {

bool IsConcreteScheme(EncodeScheme scheme) { return scheme >= EncodeScheme::Ascii && scheme <= EncodeScheme::Base256; }

// The value goes into its slot of the open group, read back from the
// codewords; a slot beyond the values written so far is zero.
void PutEdifactValue(EncodationState& state, int32_t value) {
    const int32_t slot = state.consumed % 4;
    const int32_t first = (state.consumed + 9) / 12 - slot;
    uint8_t values[4];
    UnpackEdifactGroup(
        ReadCodeword(state, first) << 16 | ReadCodeword(state, first + 1) << 8 | ReadCodeword(state, first + 2),
        values);
    values[slot] = static_cast<uint8_t>(value & 63);
    for (int32_t later = slot + 1; later < 4; ++later) values[later] = 0;
    const uint32_t packed = PackEdifactGroup(values);
    for (int32_t i = 0; i < EdifactGroupCodewords(slot + 1); ++i)
        StoreCodeword(state, first + i, EdifactGroupCodeword(packed, i));
}

void WriteLatch(EncodationState& state, EncodeScheme target) {
    if (target == EncodeScheme::Ascii) return;
    PutValue(state, LatchCodeword(target));
    AdvanceConsumed(state, 12);
    if (target == EncodeScheme::Base256) {
        // The length field starts as 0, randomised at its own 1-based position.
        PutValue(state, Randomize255(0, state.consumed / 12 + 1));
        AdvanceConsumed(state, 12);
    }
}

}  // namespace

void StoreCodeword(EncodationState& state, int32_t index, int32_t value) {
    if (index < 0 || index >= kMaxDataCodewords) {
        state.error = EncodationError::TooLong;
        return;
    }
    state.codewords[index] = static_cast<uint8_t>(value);
}

uint8_t ReadCodeword(const EncodationState& state, int32_t index) {
    return (index >= 0 && index < kEncodationCodewordSlots) ? state.codewords[index] : 0;
}

void FailNotEncodable(EncodationState& state, const uint8_t* at) {
    state.error = EncodationError::NotEncodable;
    state.errorAt = at;
}

int32_t CapacityFor(const EncodationState& state, int32_t codewords) {
    const int32_t size = SelectSymbolSize(codewords, state.requestedSize);
    return size < 0 ? kUnboundedCapacity : QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size);
}

void AsciiStepsToEnd(EncodationState& state) {
    while (state.cursor < state.end && state.error == EncodationError::None) AsciiStep(state);
}

namespace {

void CopyCodewords(EncodationState& to, const EncodationState& from, int32_t first) {
    std::memcpy(&to, &from, offsetof(EncodationState, codewords));
    // The codeword after `written` may hold part of an EDIFACT group, and a
    // group reads the two after its first.
    const int32_t used = std::min(from.written / 12 + 3, kEncodationCodewordSlots);
    if (used > first) std::memcpy(to.codewords + first, from.codewords + first, static_cast<size_t>(used - first));
}

}  // namespace

void CopyEncodationState(EncodationState& to, const EncodationState& from) { CopyCodewords(to, from, 0); }

void CopyEncodationStateForStep(EncodationState& to, const EncodationState& from) {
    // A step works at the end of the output: an ASCII digit pairs with the
    // codeword before, an EDIFACT value rewrites its group of three, a
    // triple is stored ahead of its characters. Only Base 256 reaches back,
    // to its length field where the scheme began.
    int32_t end = std::min(from.consumed, from.written) / 12;
    if (from.scheme == EncodeScheme::Base256) end = std::min(end, from.schemeStart / 12);
    CopyCodewords(to, from, std::max(0, end - 4));
}

namespace {

// 241 and the number in one to three codewords; the count.
int32_t EciDesignator(int32_t n, uint8_t* codewords) {
    codewords[0] = kEciDesignator;
    if (n < 127) {
        codewords[1] = static_cast<uint8_t>(n + 1);
        return 2;
    }
    if (n < 16383) {
        codewords[1] = static_cast<uint8_t>((n - 127) / 254 + 128);
        codewords[2] = static_cast<uint8_t>((n - 127) % 254 + 1);
        return 3;
    }
    codewords[1] = static_cast<uint8_t>((n - 16383) / 64516 + 192);
    codewords[2] = static_cast<uint8_t>((n - 16383) / 254 % 254 + 1);
    codewords[3] = static_cast<uint8_t>((n - 16383) % 254 + 1);
    return 4;
}

}  // namespace

int32_t MeaningCodewords(const DataMeaning& meaning, uint8_t codewords[kMaxMeaningCodewords]) {
    int32_t count = 0;
    if (meaning.readerInit) codewords[count++] = kReaderProgramming;
    const StructuredAppend& append = meaning.append;
    if (append.count > 0) {
        codewords[count++] = kStructuredAppend;
        // The position in the high four bits from 0, the count in the low
        // four as 17 - count: a value that is never 0.
        codewords[count++] = static_cast<uint8_t>(append.index << 4 | (17 - append.count));
        codewords[count++] = append.fileId1;
        codewords[count++] = append.fileId2;
    }
    if (meaning.macro != 0) codewords[count++] = meaning.macro == 5 ? kMacro05 : kMacro06;
    // The later symbols of a message carry on the data of the first: an
    // FNC1 after their Structured Append codewords would begin GS1 anew.
    if (meaning.gs1 && append.index == 0) codewords[count++] = kFnc1;
    if (meaning.eciGiven) count += EciDesignator(meaning.eci, codewords + count);
    return count;
}

void InitEncodationState(EncodationState& state, const uint8_t* input, int32_t length, int32_t requestedSize,
                         const DataMeaning& meaning) {
    std::memset(&state, 0, sizeof state);
    state.scheme = EncodeScheme::Ascii;
    state.requestedSize = requestedSize;
    state.begin = input;
    state.cursor = input;
    state.gs1 = GsIsFnc1(meaning);
    if (length < 0 || (!input && length > 0)) {
        state.error = EncodationError::InvalidInput;
        state.end = input;
        return;
    }
    state.end = input + length;
    const int32_t prefix = MeaningCodewords(meaning, state.codewords);
    state.written = state.consumed = state.schemeStart = 12 * prefix;  // no data digit pairs with them
}

void AdvanceConsumed(EncodationState& state, int32_t twelfths) { state.consumed += twelfths; }

void PutValue(EncodationState& state, int32_t value) {
    if (state.error != EncodationError::None) return;
    switch (state.scheme) {
        case EncodeScheme::Ascii:
        case EncodeScheme::Base256:
            StoreCodeword(state, state.consumed / 12, value);
            state.written += 12;
            return;
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12:
            // Triples are stored ahead of the characters they hold.
            StoreCodeword(state, state.written / 12, value);
            state.written += 12;
            return;
        case EncodeScheme::Edifact:
            PutEdifactValue(state, value);
            state.written += 9;
            return;
        default: state.error = EncodationError::UnknownScheme; return;
    }
}

void ChangeScheme(EncodationState& state, EncodeScheme target, bool omitUnlatch) {
    if (!IsConcreteScheme(target) || !IsConcreteScheme(state.scheme)) {
        state.error = EncodationError::UnknownScheme;
        return;
    }
    if (IsTripletScheme(state.scheme)) {
        if (state.consumed % 12 != 0 || state.consumed != state.written) {
            state.error = EncodationError::NotAtBoundary;
            return;
        }
        if (!omitUnlatch) {
            PutValue(state, kUnlatchTriplet);
            AdvanceConsumed(state, 12);
        }
    } else if (state.scheme == EncodeScheme::Edifact) {
        if (!omitUnlatch) {
            PutValue(state, kUnlatchEdifact);
            AdvanceConsumed(state, 9);
        }
        // An unfinished group of k values occupies exactly k whole codewords.
        const int32_t unfinished = state.consumed % 4;
        state.consumed += 3 * unfinished;
        state.written += 3 * unfinished;
    }
    state.scheme = EncodeScheme::Ascii;  // latches are ASCII codewords
    WriteLatch(state, target);
    state.scheme = target;
    state.schemeStart = target == EncodeScheme::Ascii ? state.consumed : state.consumed - 12;
}

void AsciiStep(EncodationState& state) {
    if (state.cursor >= state.end) return;
    const uint8_t c = *state.cursor;
    if (IsFnc1(state, c)) {
        PutValue(state, kFnc1);
        AdvanceConsumed(state, 12);
        ++state.cursor;
        return;
    }
    if (IsDigit(c) && state.consumed >= state.schemeStart + 12) {
        // Digits are written alone and the next digit folds into the one
        // before it, unless that one is the data codeword of an Upper Shift.
        const int32_t previous = state.consumed / 12 - 1;
        const uint8_t single = ReadCodeword(state, previous);
        const bool pairable = single >= '0' + 1 && single <= '9' + 1 &&
                              (previous == state.schemeStart / 12 || ReadCodeword(state, previous - 1) != kUpperShift);
        if (pairable) {
            StoreCodeword(state, previous, DigitPairCodeword(static_cast<uint8_t>(single - 1), c));
            ++state.cursor;
            return;
        }
    }
    if (c >= 128) {
        PutValue(state, kUpperShift);
        AdvanceConsumed(state, 12);
        PutValue(state, c - 128 + 1);
    } else {
        PutValue(state, c + 1);
    }
    AdvanceConsumed(state, 12);
    ++state.cursor;
}

void EncodeStep(EncodationState& state, EncodeScheme target) {
    if (state.error != EncodationError::None) return;
    if (target != state.scheme) {
        ChangeScheme(state, target, false);
        if (state.error != EncodationError::None) return;
    }
    switch (state.scheme) {
        case EncodeScheme::Ascii: AsciiStep(state); return;
        case EncodeScheme::C40:
        case EncodeScheme::Text:
        case EncodeScheme::X12: TripletStep(state); return;
        case EncodeScheme::Edifact: EdifactStep(state); return;
        case EncodeScheme::Base256: Base256Step(state); return;
        default: state.error = EncodationError::UnknownScheme; return;
    }
}

int32_t CopyOut(const EncodationState& state, uint8_t* output, int32_t outputCapacity, EncodeFailure* failure) {
    const int32_t count = state.written / 12;
    if (count > outputCapacity) {
        Fail(failure, EncodeError::OutputTooSmall, state.scheme);
        if (failure) {
            failure->needed = count;
            failure->capacity = outputCapacity;
        }
        return 0;
    }
    std::memcpy(output, state.codewords, static_cast<size_t>(count));
    return count;
}

int32_t FailFromState(const EncodationState& state, EncodeScheme scheme, EncodeFailure* failure) {
    switch (state.error) {
        case EncodationError::NotEncodable:
            Fail(failure, IsFnc1(state, *state.errorAt) ? EncodeError::Fnc1NotEncodable : EncodeError::NotEncodable,
                 scheme);
            if (failure) {
                failure->byteValue = *state.errorAt;
                failure->position = static_cast<int32_t>(state.errorAt - state.begin) + 1;
            }
            return 0;
        case EncodationError::TooLong: return FailToFit(failure, scheme, kMaxDataCodewords + 1, state.requestedSize);
        case EncodationError::InvalidInput: return Fail(failure, EncodeError::InvalidArgument, scheme);
        default: return Fail(failure, EncodeError::UnknownScheme, scheme);
    }
}

int32_t EncodeSingleScheme(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                           EncodeScheme scheme, int32_t requestedSize, EncodeFailure* failure,
                           const DataMeaning& meaning) {
    if (const EncodeError error = CheckRequest(output, input, length, requestedSize, meaning);
        error != EncodeError::None)
        return FailRequest(failure, error, scheme, meaning);
    if (!IsConcreteScheme(scheme)) return Fail(failure, EncodeError::UnknownScheme, scheme);

    EncodationState state;
    InitEncodationState(state, input, length, requestedSize, meaning);
    while (state.cursor < state.end) {
        EncodeStep(state, scheme);
        if (state.error != EncodationError::None) return FailFromState(state, scheme, failure);
    }
    return CopyOut(state, output, outputCapacity, failure);
}

}  // namespace glyphrun
