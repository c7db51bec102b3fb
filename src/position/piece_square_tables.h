// The constant tables that the static evaluation reads by square.
//
// Every table is indexed by Square (a1 = 0, h1 = 7, a8 = 56, h8 = 63). The grids below are
// written as a board is drawn, rank 8 on the top line and the a-file on the left;
// `from_grid` turns such a grid into a table indexed by Square. White's values are added to the
// white's-view total and black's subtracted, each looked up by the piece's actual square, so the
// black tables are stored already oriented for black.
#pragma once

#include "position/position.h"

#include <array>
#include <cstdint>

namespace tervane {

using SquareTable = std::array<int32_t, 64>;

// The black value on s is the white value on the square of the same file, the rank counted from
// the other side.
constexpr SquareTable vertical_mirror(const SquareTable& table) {
    SquareTable mirrored{};
    for (Square s = 0; s < 64; ++s) mirrored[s] = table[s ^ 56];
    return mirrored;
}

// A grid line i (rank 8 first) holds rank 7 - i: the grid is its table with the ranks reversed.
constexpr SquareTable from_grid(const SquareTable& grid) {
    return vertical_mirror(grid);
}

// clang-format off
constexpr SquareTable pawn_table_white = from_grid({
      0,   0,   0,   0,   0,   0,   0,   0,
     12,  15,  20,  25,  25,  20,  15,  12,
      7,   9,  15,  21,  21,  15,   9,   7,
      5,   6,  10,  18,  18,  10,   6,   5,
      4,   4,   8,  15,  15,   8,   4,   4,
      2,   2,   3,   4,   4,   3,   2,   2,
      0,   0,   0, -15, -15,   0,   0,   0,
      0,   0,   0,   0,   0,   0,   0,   0,
});

constexpr SquareTable knight_table_white = from_grid({
    -15,  -8,  -5,  -4,  -4,  -5,  -8, -15,
     -5,   1,   3,   4,   4,   3,   1,  -5,
     -3,   4,   8,   8,   8,   8,   4,  -3,
     -6,   4,   9,  15,  15,   9,   4,  -6,
     -7,   4,   9,  15,  15,   9,   4,  -7,
     -8,   4,   8,  10,  10,   8,   4,  -8,
    -11,   1,   2,   5,   5,   2,   1, -11,
    -15, -11,  -8,  -8,  -8,  -8, -11, -15,
});

constexpr SquareTable bishop_table_white = from_grid({
     -8,  -9,  -9,  -8,  -8,  -9,  -9,  -8,
      0,   2,   1,   4,   4,   1,   2,   0,
      0,   2,   3,   6,   6,   3,   2,   0,
      0,   4,   5,   9,   9,   5,   4,   0,
      0,   5,   8,   9,   9,   8,   5,   0,
     -5,   6,   6,   8,   8,   6,   6,  -5,
     -5,   5,   6,   8,   8,   6,   5,  -5,
     -3,  -5,  -5,  -5,  -5,  -5,  -5,  -3,
});

// Not a mirror of bishop_table_white: 8 on d5 and e5 (mirror 9), 9 on d3 and e3 (mirror 6).
constexpr SquareTable bishop_table_black = from_grid({
     -3,  -5,  -5,  -5,  -5,  -5,  -5,  -3,
     -5,   5,   6,   8,   8,   6,   5,  -5,
     -5,   6,   6,   8,   8,   6,   6,  -5,
      0,   5,   8,   8,   8,   8,   5,   0,
      0,   4,   5,   9,   9,   5,   4,   0,
      0,   2,   3,   9,   9,   3,   2,   0,
      0,   2,   1,   4,   4,   1,   2,   0,
     -8,  -9,  -9,  -8,  -8,  -9,  -9,  -8,
});

constexpr SquareTable queen_table_white = from_grid({
     -9,   0,   0,   0,   0,   0,   0,  -9,
      0,   1,   2,   3,   3,   2,   1,   0,
      0,   2,   3,   4,   4,   3,   2,   0,
      0,   3,   4,   5,   5,   4,   3,   0,
      0,   4,   5,   6,   6,   5,   4,   0,
      0,   5,   6,   7,   7,   6,   5,   0,
      0,   6,   7,   8,   8,   7,   6,   0,
     -9,   0,   0,   0,   0,   0,   0,  -9,
});

// Middlegame only.
constexpr SquareTable king_table_white = from_grid({
    -70, -70, -70, -70, -70, -70, -70, -70,
    -60, -60, -60, -60, -60, -60, -60, -60,
    -50, -50, -50, -50, -50, -50, -50, -50,
    -40, -40, -40, -40, -40, -40, -40, -40,
    -30, -30, -30, -30, -30, -30, -30, -30,
    -15, -20, -20, -20, -20, -20, -20, -15,
     -6,  -9, -15, -18, -18, -15,  -9,  -6,
     10,  10,  -5, -15, -15,  -5,  10,  10,
});

// Both kings, endgame only (white's entry added, black's subtracted).
constexpr SquareTable king_endgame_table = from_grid({
     -9,   0,   0,   0,   0,   0,   0,  -9,
      0,  10,  10,  10,  10,  10,  10,   0,
      0,  10,  20,  20,  20,  20,  10,   0,
      0,  10,  20,  27,  27,  20,  10,   0,
      0,  10,  20,  27,  27,  20,  10,   0,
      0,  10,  20,  20,  20,  20,  10,   0,
      0,  10,  10,  10,  10,  10,  10,   0,
     -9,   0,   0,   0,   0,   0,   0,  -9,
});
// clang-format on

constexpr SquareTable pawn_table_black = vertical_mirror(pawn_table_white);
constexpr SquareTable knight_table_black = vertical_mirror(knight_table_white);
constexpr SquareTable queen_table_black = vertical_mirror(queen_table_white);
constexpr SquareTable king_table_black = vertical_mirror(king_table_white);

// The piece-square values of all pieces that have a table, signed for white's view, in one
// table indexed by PieceCode and square, so that make reads a value in one step. Empty squares,
// rooks and kings read 0. Make and unmake keep their sum over the board in
// Position::square_score.
using SquareValues = std::array<std::array<int16_t, 64>, PIECE_CODES>;
constexpr SquareValues make_square_values() {
    SquareValues t{};
    for (Square s = 0; s < 64; ++s) {
        t[W_PAWN][s] = static_cast<int16_t>(pawn_table_white[s]);
        t[B_PAWN][s] = static_cast<int16_t>(-pawn_table_black[s]);
        t[W_KNIGHT][s] = static_cast<int16_t>(knight_table_white[s]);
        t[B_KNIGHT][s] = static_cast<int16_t>(-knight_table_black[s]);
        t[W_BISHOP][s] = static_cast<int16_t>(bishop_table_white[s]);
        t[B_BISHOP][s] = static_cast<int16_t>(-bishop_table_black[s]);
        t[W_QUEEN][s] = static_cast<int16_t>(queen_table_white[s]);
        t[B_QUEEN][s] = static_cast<int16_t>(-queen_table_black[s]);
    }
    return t;
}
constexpr SquareValues square_values = make_square_values();

inline int32_t square_value(PieceCode piece, Square s) {
    return square_values[piece][s];
}

// (file + rank) mod 2: 1 on light squares (b1, h1, a2), 0 on dark ones (a1, c1, h8).
constexpr SquareTable make_square_colour() {
    SquareTable colour{};
    for (Square s = 0; s < 64; ++s) colour[s] = (s % 8 + s / 8) % 2;
    return colour;
}
constexpr SquareTable square_colour = make_square_colour();

// Spot checks of the orientation against the printed grids.
static_assert(pawn_table_white[11] == -15 && pawn_table_white[12] == -15);    // d2, e2
static_assert(pawn_table_white[48] == 12 && pawn_table_white[59] == 0);       // a7, d8
static_assert(pawn_table_black[51] == -15 && pawn_table_black[52] == -15);    // d7, e7
static_assert(knight_table_white[1] == -11 && knight_table_black[57] == -11); // b1, b8
static_assert(bishop_table_white[2] == -5 && bishop_table_white[5] == -5);    // c1, f1
static_assert(bishop_table_black[58] == -5 && bishop_table_black[61] == -5);  // c8, f8
static_assert(bishop_table_black[35] == 8 && bishop_table_black[19] == 9);    // d5, d3
static_assert(king_table_white[6] == 10 && king_table_white[4] == -15);       // g1, e1
static_assert(king_table_black[62] == 10 && king_table_black[60] == -15);     // g8, e8
static_assert(king_table_white[8] == -6 && king_table_white[16] == -15);      // a2, a3
static_assert(king_endgame_table[4] == 0 && king_endgame_table[36] == 27);    // e1, e5
static_assert(square_colour[0] == 0 && square_colour[1] == 1 && square_colour[7] == 1);
static_assert(square_colour[8] == 1 && square_colour[63] == 0);

} // namespace tervane
