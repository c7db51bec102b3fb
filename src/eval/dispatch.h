// The evaluation and the pawn-entry fill are compiled once for each way of counting bits (see
// bit_sets.h): these are the versions, and the choice for the processor the engine runs on.
#pragma once

#include "eval/pawn_table.h"

#include <cstdint>

namespace tervane {

// evaluate.cpp
int32_t evaluate_popcnt();
int32_t evaluate_portable();
int32_t evaluate_within_popcnt(int32_t alpha, int32_t beta);
int32_t evaluate_within_portable(int32_t alpha, int32_t beta);

// dispatch.cpp: refill_pawn_entry in the version for this processor, for callers outside the
// evaluation.
void refill_pawn_entry_for_processor(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns);

} // namespace tervane
