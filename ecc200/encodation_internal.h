// Internal: what the scheme steps share.
#pragma once

#include "encodation_blocks.h"

namespace glyphrun {

// Room that no symbol offers: used when no size of the request holds the
// data, so that the end-of-data rules take their always-valid path and the
// driver reports the true codeword count.
inline constexpr int32_t kUnboundedCapacity = 1 << 20;

// Stores one codeword; fails the encodation instead of passing the largest
// symbol's capacity.
void StoreCodeword(EncodationState& state, int32_t index, int32_t value);
// A codeword of the buffer, 0 outside it.
uint8_t ReadCodeword(const EncodationState& state, int32_t index);
void FailNotEncodable(EncodationState& state, const uint8_t* at);
// Whether `byte` stands for FNC1 rather than for itself.
inline bool IsFnc1(const EncodationState& state, uint8_t byte) { return state.gs1 && byte == kGroupSeparator; }
// Whether one ASCII codeword holds `byte` by itself, `fnc1` saying that it
// stands for FNC1: what a reader's own return to ASCII at the end of a
// symbol is for.
inline bool IsPlainAscii(uint8_t byte, bool fnc1) { return byte < 128 && !fnc1; }

// Capacity of the smallest symbol of the request that holds `codewords`.
int32_t CapacityFor(const EncodationState& state, int32_t codewords);
void AsciiStepsToEnd(EncodationState& state);

void PutTriplet(EncodationState& state, const uint8_t values[3]);

void TripletStep(EncodationState& state);
void EdifactStep(EncodationState& state);
void Base256Step(EncodationState& state);

// Copies the state's codewords to `output`; 0 when they do not fit.
int32_t CopyOut(const EncodationState& state, uint8_t* output, int32_t outputCapacity, EncodeFailure* failure);
// Records why the state failed; returns 0.
int32_t FailFromState(const EncodationState& state, EncodeScheme scheme, EncodeFailure* failure);

// Copies what a state holds: its fields and the codewords in use, not the
// whole buffer, because the automatic choice copies states per character.
void CopyEncodationState(EncodationState& to, const EncodationState& from);
// Copies only what one EncodeStep on `to` can read or write: the record and
// the codewords from a little before the scheme's start or the output's
// end. Enough to learn a step's outcome without copying the whole output.
void CopyEncodationStateForStep(EncodationState& to, const EncodationState& from);

}  // namespace glyphrun
