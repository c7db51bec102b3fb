// Move lists, the per-square target tables, the generators and perft counting.
#pragma once

#include "position/make_unmake.h"
#include "position/move.h"
#include "position/position.h"

#include <array>
#include <cstdint>

namespace tervane {

// The four promotions of a pawn move, queen first, as both generators list them.
inline Move* append_promotions(Move* out, int from, int to) {
    const Move base = move_word(from, to, 0);
    out[0] = base + 4096 * MOVE_PROMOTE_QUEEN;
    out[1] = base + 4096 * MOVE_PROMOTE_ROOK;
    out[2] = base + 4096 * MOVE_PROMOTE_BISHOP;
    out[3] = base + 4096 * MOVE_PROMOTE_KNIGHT;
    return out + 4;
}

// List capacities. Set-up keeps at most 16 pieces a side and no piece has more than 27
// moves (a queen in the centre), so 432 moves at most. Each of those pieces captures at
// most 8 times (a pawn: 2 captures of 4 promotions each).
constexpr int MAX_MOVES = 432;
constexpr int MAX_CAPTURES = 128;

struct MoveList {
    std::array<Move, MAX_MOVES> moves;
    int32_t count;
};

constexpr int32_t RAY_END = 128;

struct SquareTables {
    std::array<std::array<int32_t, 8>, 64> knight_targets;
    std::array<std::array<int32_t, 8>, 64> king_targets;
    std::array<std::array<std::array<int32_t, 7>, 4>, 64> diagonal_rays;
    std::array<std::array<std::array<int32_t, 7>, 4>, 64> straight_rays;
};
extern const SquareTables square_tables;

// The squares on which the straight slots run east, north, west, south (b1..g1, b7..g7);
// everywhere else they run east, west, north, south. The diagonal slots always run
// north-west, north-east, south-west, south-east.
constexpr Bitboard NORTH_SECOND_SQUARES = (rank_mask(0) | rank_mask(6)) & ~FILE_A & ~FILE_H;
// The squares whose knight_targets (king_targets) row is in ascending order.
extern const Bitboard knight_rows_ascending;
extern const Bitboard king_rows_ascending;

// movegen.cpp, captures.cpp: pseudo-legal moves of the side to move, in the engine's order.
void gen_moves(Move* list, int32_t& count);
void gen_captures(Move* list, int32_t& count);
// generate_captures<Side>, the same for a side known at compile time, is in captures.h.

// Whether gen_moves lists `move`, taken as a move to an empty square that is not castling, en
// passant or a promotion (false for any other move).
bool lists_quiet_move(Move move);

// castle_paths.cpp: no enemy piece attacks the squares the king crosses when castling.
bool castle_path_safe_wk();
bool castle_path_safe_wq();
bool castle_path_safe_bk();
bool castle_path_safe_bq();

// legal.cpp
void gen_legal_moves(Move* list, int32_t& count);
void move_to_text(Move move, char* text); // text has room for 6 bytes
Move text_to_move(const char* text);      // at least 5 readable bytes; 0 when no legal move matches

// perft.cpp
constexpr std::array<uint64_t, 10> perft_expected = {
    0, 20, 400, 8902, 197281, 4865609, 119060324, 3195901860ULL, 84998978956ULL, 2439530234167ULL};
// Leaf count of the move tree below the current position, `depth` plies deep.
uint64_t perft(int depth);

} // namespace tervane
