// The static evaluation.
#pragma once

#include "position/position.h"

#include <array>
#include <cstdint>

namespace tervane {

// Knights, bishops, rooks and queens counted by the latest evaluate() that got past its early
// draw return: the search reads it as a rough material count for its null-move guard.
extern int32_t last_evaluated_piece_count;

// Forgets what the evaluations of an earlier position left behind, for a new position.
void reset_evaluation();

// Score of the current position in centipawns from the side to move's point of view.
int32_t evaluate();

// For a window alpha < beta: a score that compares with alpha and beta as evaluate()'s does.
// Inside the window it is evaluate()'s score; at or above beta (at or below alpha) it may be
// any score at or above beta (at or below alpha) that bounds evaluate()'s from the same side.
// Leaves last_evaluated_piece_count as evaluate() does.
int32_t evaluate_within(int32_t alpha, int32_t beta);

// The scores of the positions one quiet move away, without playing the moves: a knight, bishop,
// rook or queen that moves to an empty square changes only its own terms (and which passed
// pawns are blocked); a pawn that steps to an empty square short of the last rank changes the
// pawn terms, which the pawn table holds; a king that steps to an empty square (not castling)
// changes the terms that depend on its square: its table values and shelter, the fianchetto,
// the shut-in h-rook, what the enemy rooks and queens on its back ranks gain, and which passed
// pawns are blocked. begin_quiet_moves() evaluates the current position, leaving
// last_evaluated_piece_count as it was, and keeps what those terms need; until the position
// changes, score_after_quiet_move(move) is then evaluate()'s score of the position after such
// a move of the side to move, seen from that side, and leaves last_evaluated_piece_count as
// that evaluate() would.
void begin_quiet_moves();
int32_t score_after_quiet_move(Move move);

// The static evaluation of the current position term by term, for the `eval` command: read from
// the same rules and weights as evaluate(), whose score the terms add up to. It leaves the
// evaluation's state (last_evaluated_piece_count, the pawn table) as it was.
enum class EvalForm { MIDDLEGAME, ENDGAME, DRAWN_ENDING };
struct EvalTerm {
    const char* name;
    std::array<int32_t, 2> values; // white's and black's, each from its own side (a charge < 0)
};
constexpr int MAX_EVAL_TERMS = 16;
struct EvalBreakdown {
    EvalForm form;
    bool halved_material; // opposite-coloured bishops: both material sums count half
    int term_count;       // the terms of the form; none for the drawn ending, which scores 0
    std::array<EvalTerm, MAX_EVAL_TERMS> terms;
    int32_t score; // white's terms less black's, from the side to move's view
};
EvalBreakdown evaluation_breakdown();

} // namespace tervane
