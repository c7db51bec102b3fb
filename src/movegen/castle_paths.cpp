// The four castling paths: whether an enemy piece attacks a square the king stands on,
// crosses or lands on, read from the square tables.
#include "movegen/movegen.h"
#include "position/position.h"

#include <initializer_list>

namespace tervane {

namespace {

using Ray = std::array<int32_t, 7>;
using RaySlots = std::array<Ray, 4>;

// True when the first occupied square of the ray holds piece a or piece b.
inline bool ray_meets(const Ray& ray, PieceCode a, PieceCode b) {
    for (int32_t t : ray) {
        if (t == RAY_END) return false;
        PieceCode p = pos.board[t];
        if (p != 0) return p == a || p == b;
    }
    return false;
}

const auto& straight = square_tables.straight_rays;
const auto& diagonal = square_tables.diagonal_rays;

// Slots of the back-rank squares. On rank 1 the straight order is east, north, west
// (b1..g1) or east, west, north (a1, h1); on rank 8 it is east, west, south. The
// diagonal slots of both back ranks start with the two rays away from the edge,
// west before east.
constexpr int R1_EAST = 0, R1_NORTH = 1, R1_WEST = 2;
constexpr int R8_EAST = 0, R8_WEST = 1, R8_SOUTH = 2;
constexpr int TO_WEST = 0, TO_EAST = 1;

inline bool any_holds(std::initializer_list<Square> squares, PieceCode piece) {
    for (Square s : squares)
        if (pos.board[s] == piece) return true;
    return false;
}

} // namespace

bool castle_path_safe_wk() {
    if (ray_meets(straight[E1][R1_NORTH], B_ROOK, B_QUEEN) ||
        ray_meets(straight[E1][R1_WEST], B_ROOK, B_QUEEN) ||
        ray_meets(straight[E1][R1_EAST], B_ROOK, B_QUEEN) ||
        ray_meets(straight[F1][R1_NORTH], B_ROOK, B_QUEEN) ||
        ray_meets(straight[G1][R1_NORTH], B_ROOK, B_QUEEN))
        return false;
    if (ray_meets(diagonal[E1][TO_WEST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[E1][TO_EAST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[F1][TO_WEST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[F1][TO_EAST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[G1][TO_WEST], B_BISHOP, B_QUEEN))
        return false;
    const PieceCode h2 = pos.board[H2];
    if (h2 == B_PAWN || h2 == B_BISHOP || h2 == B_QUEEN) return false;
    if (any_holds({C2, G2, D3, F3, D2, H2, E3, G3, E2, F3, H3}, B_KNIGHT)) return false;
    return !any_holds({D2, E2, F2, G2}, B_PAWN);
}

bool castle_path_safe_wq() {
    if (ray_meets(straight[E1][R1_NORTH], B_ROOK, B_QUEEN) ||
        ray_meets(straight[E1][R1_WEST], B_ROOK, B_QUEEN) ||
        ray_meets(straight[E1][R1_EAST], B_ROOK, B_QUEEN) ||
        ray_meets(straight[D1][R1_NORTH], B_ROOK, B_QUEEN) ||
        ray_meets(straight[C1][R1_NORTH], B_ROOK, B_QUEEN))
        return false;
    if (ray_meets(diagonal[E1][TO_WEST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[E1][TO_EAST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[D1][TO_WEST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[D1][TO_EAST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[C1][TO_WEST], B_BISHOP, B_QUEEN) ||
        ray_meets(diagonal[C1][TO_EAST], B_BISHOP, B_QUEEN))
        return false;
    if (any_holds({C2, G2, D3, F3, B2, F2, C3, E3, A2, E2, B3, D3}, B_KNIGHT)) return false;
    return !any_holds({B2, C2, D2, E2, F2}, B_PAWN);
}

bool castle_path_safe_bk() {
    if (ray_meets(straight[E8][R8_SOUTH], W_ROOK, W_QUEEN) ||
        ray_meets(straight[E8][R8_WEST], W_ROOK, W_QUEEN) ||
        ray_meets(straight[E8][R8_EAST], W_ROOK, W_QUEEN) ||
        ray_meets(straight[F8][R8_SOUTH], W_ROOK, W_QUEEN) ||
        ray_meets(straight[G8][R8_SOUTH], W_ROOK, W_QUEEN))
        return false;
    if (ray_meets(diagonal[E8][TO_WEST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[E8][TO_EAST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[F8][TO_WEST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[F8][TO_EAST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[G8][TO_WEST], W_BISHOP, W_QUEEN))
        return false;
    const PieceCode h7 = pos.board[H7];
    if (h7 == W_PAWN || h7 == W_BISHOP || h7 == W_QUEEN) return false;
    if (any_holds({D6, F6, C7, G7, E6, G6, D7, H7, F6, H6, E7}, W_KNIGHT)) return false;
    return !any_holds({D7, E7, F7, G7}, W_PAWN);
}

bool castle_path_safe_bq() {
    if (ray_meets(straight[E8][R8_SOUTH], W_ROOK, W_QUEEN) ||
        ray_meets(straight[E8][R8_WEST], W_ROOK, W_QUEEN) ||
        ray_meets(straight[E8][R8_EAST], W_ROOK, W_QUEEN) ||
        ray_meets(straight[D8][R8_SOUTH], W_ROOK, W_QUEEN) ||
        ray_meets(straight[C8][R8_SOUTH], W_ROOK, W_QUEEN))
        return false;
    if (ray_meets(diagonal[E8][TO_WEST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[E8][TO_EAST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[D8][TO_WEST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[D8][TO_EAST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[C8][TO_WEST], W_BISHOP, W_QUEEN) ||
        ray_meets(diagonal[C8][TO_EAST], W_BISHOP, W_QUEEN))
        return false;
    if (any_holds({D6, F6, C7, G7, C6, E6, B7, F7, B6, D6, A7, E7}, W_KNIGHT)) return false;
    return !any_holds({B7, C7, D7, E7, F7}, W_PAWN);
}

} // namespace tervane
