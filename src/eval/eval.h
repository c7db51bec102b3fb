// The static evaluation.
#pragma once

#include <cstdint>

namespace tervane {

// Knights, bishops, rooks and queens counted by the latest evaluate() that got past its early
// draw return: the search reads it as a rough material count for its null-move guard.
extern int32_t last_evaluated_piece_count;

// Forgets what the evaluations of an earlier position left behind, for a new position.
void reset_evaluation();

// Score of the current position in centipawns from the side to move's point of view.
int32_t evaluate();

} // namespace tervane
