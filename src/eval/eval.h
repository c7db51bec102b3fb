// The static evaluation.
#pragma once

#include <cstdint>

namespace tervane {

// Knights, bishops, rooks and queens counted by the last evaluate() that got that far.
extern int32_t piece_count;

// Score of the current position in centipawns from the side to move's point of view.
int32_t evaluate();

} // namespace tervane
