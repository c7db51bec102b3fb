// The in-check tests, inline where they run: in make_move, which asks after every
// move, and in note_check_status (the search, gen_moves), which notes the answer for make_move.
#pragma once

#include "position/position.h"

namespace tervane {

namespace detail {

// Whether the nearest occupied square from k in direction D holds one of `sliders`.
template <int Direction> inline bool slider_on_ray(int k, Bitboard sliders, Bitboard occupied) {
    const Bitboard ray = rays[Direction][k];
    if ((ray & sliders) == 0) return false;
    return (sliders >> nearest_square<Direction>(ray & occupied)) & 1;
}

} // namespace detail

// Is a king of `Side` on k attacked by any piece of the other side, with the board's pieces on
// `occupied`? Knights, pawns and the enemy king by their attack sets; sliders only along lines
// that hold one, through the first occupied square of each such ray.
template <int Side> inline bool attacked_as_king(int k, Bitboard occupied) {
    const Bitboard enemy = pos.colour_pieces[1 - Side];
    const auto& kinds = pos.kind_pieces;
    if (((knight_attacks[k] & kinds[KNIGHT_SET]) | (pawn_attackers[Side][k] & kinds[PAWN_SET]) |
         (king_attacks[k] & kinds[KING_SET])) &
        enemy)
        return true;
    const Bitboard queens = kinds[QUEEN_SET];
    const Bitboard straight = (kinds[ROOK_SET] | queens) & enemy & straight_lines[k];
    if (straight != 0 && (detail::slider_on_ray<NORTH>(k, straight, occupied) ||
                          detail::slider_on_ray<EAST>(k, straight, occupied) ||
                          detail::slider_on_ray<SOUTH>(k, straight, occupied) ||
                          detail::slider_on_ray<WEST>(k, straight, occupied)))
        return true;
    const Bitboard diagonal = (kinds[BISHOP_SET] | queens) & enemy & diagonal_lines[k];
    return diagonal != 0 && (detail::slider_on_ray<NORTH_EAST>(k, diagonal, occupied) ||
                             detail::slider_on_ray<NORTH_WEST>(k, diagonal, occupied) ||
                             detail::slider_on_ray<SOUTH_WEST>(k, diagonal, occupied) ||
                             detail::slider_on_ray<SOUTH_EAST>(k, diagonal, occupied));
}

// Is the king of `Side` (on its king_square entry) attacked by any piece of the other side?
template <int Side> inline bool king_attacked() {
    return attacked_as_king<Side>(pos.king_square[Side],
                                  pos.colour_pieces[0] | pos.colour_pieces[1]);
}

// Whether the king of `Side` may step to the empty square `to` (not castling): no piece of the
// other side attacks it there once the king has left its square.
template <int Side> inline bool king_step_legal(int to) {
    const Bitboard occupied = pos.colour_pieces[0] | pos.colour_pieces[1];
    return !attacked_as_king<Side>(to, occupied ^ bit(pos.king_square[Side]));
}

// Whether the king of `Side` is attacked after a move of another of its pieces (not en
// passant) from `from`, when it was not attacked before the move: the only line that can have
// opened is the one through the vacated square, so only a slider on it can reach the king.
template <int Side> inline bool king_exposed_from(int from) {
    const int k = pos.king_square[Side];
    // Whether the squares share a line at all is as good as random to a predictor: a square
    // off the king's lines reads an empty ray instead.
    const int d = direction_towards[k][from];
    const Bitboard ray = rays_or_none[d][k];
    const auto& kinds = pos.kind_pieces;
    const Bitboard line_movers = (d & 2) != 0 ? kinds[BISHOP_SET] : kinds[ROOK_SET];
    const Bitboard sliders = (line_movers | kinds[QUEEN_SET]) & pos.colour_pieces[1 - Side] & ray;
    if (sliders == 0) return false;
    const Bitboard blockers = ray & (pos.colour_pieces[0] | pos.colour_pieces[1]);
    const int nearest = runs_upward(d) ? lowest_square(blockers) : highest_square(blockers);
    return (sliders >> nearest) & 1;
}

// The squares from which a move of `Side`, whose king is not in check, cannot leave that king
// attacked: all but the king's own square, the rays from the king that hold an enemy slider
// able to move along them (only a piece leaving one of them can expose the king) and the
// squares of pawns that may capture en passant (the victim leaves a square of its own).
template <int Side> inline Bitboard safe_from_squares() {
    const int k = pos.king_square[Side];
    const Bitboard enemy = pos.colour_pieces[1 - Side];
    const auto& kinds = pos.kind_pieces;
    const Bitboard straight = (kinds[ROOK_SET] | kinds[QUEEN_SET]) & enemy;
    const Bitboard diagonal = (kinds[BISHOP_SET] | kinds[QUEEN_SET]) & enemy;
    Bitboard tested = bit(k);
    for (int d : {NORTH, EAST, SOUTH, WEST})
        if (rays[d][k] & straight) tested |= rays[d][k];
    for (int d : {NORTH_EAST, NORTH_WEST, SOUTH_WEST, SOUTH_EAST})
        if (rays[d][k] & diagonal) tested |= rays[d][k];
    // A pawn of Side takes en passant from where a pawn of Side attacks the target square,
    // which is where a pawn of the other side stands that attacks a king of Side there.
    if (pos.ep_square != 0) tested |= pawn_attackers[1 - Side][pos.ep_square];
    return ~tested;
}

// Whether the side to move is in check. When it is not, the squares from which a move cannot
// leave its king attacked are remembered for make_move at this ply.
inline bool note_check_status() {
    const int side = pos.side;
    const bool checked = side == 0 ? king_attacked<0>() : king_attacked<1>();
    pos.safe_from[pos.ply][side] = checked     ? 0
                                   : side == 0 ? safe_from_squares<0>()
                                               : safe_from_squares<1>();
    return checked;
}

} // namespace tervane
