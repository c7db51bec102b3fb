// The capture generator of the quiescence search: the captures of gen_moves, in the same
// relative order.
#pragma once

#include "movegen/movegen.h"

namespace tervane {

// Everything here is internal to each file that includes it, so that each caller has the
// generator compiled in.
namespace {

// The first occupied square of the ray, when it holds an opponent piece. The move is written
// whatever the square holds and kept only for an opponent piece: a list has room for it, as
// a piece that fails to capture on some ray leaves that slot of the worst case unused.
template <int Direction>
inline Move* ray_capture(Move* out, int from, Bitboard occupied, Bitboard opponent) {
    const Bitboard ray = rays[Direction][from];
    if ((ray & opponent) == 0) return out;
    const int to = nearest_square<Direction>(ray & occupied);
    *out = from + 64 * to;
    return out + ((opponent >> to) & 1);
}

[[gnu::always_inline]] inline Move* diagonal_captures(Move* out, int from, Bitboard occupied,
                                                      Bitboard opponent) {
    if ((diagonal_lines[from] & opponent) == 0) return out;
    out = ray_capture<NORTH_WEST>(out, from, occupied, opponent);
    out = ray_capture<NORTH_EAST>(out, from, occupied, opponent);
    out = ray_capture<SOUTH_WEST>(out, from, occupied, opponent);
    return ray_capture<SOUTH_EAST>(out, from, occupied, opponent);
}

[[gnu::always_inline]] inline Move* straight_captures(Move* out, int from, Bitboard occupied,
                                                      Bitboard opponent) {
    if ((straight_lines[from] & opponent) == 0) return out;
    out = ray_capture<EAST>(out, from, occupied, opponent);
    if ((NORTH_SECOND_SQUARES >> from) & 1) {
        out = ray_capture<NORTH>(out, from, occupied, opponent);
        out = ray_capture<WEST>(out, from, occupied, opponent);
    } else {
        out = ray_capture<WEST>(out, from, occupied, opponent);
        out = ray_capture<NORTH>(out, from, occupied, opponent);
    }
    return ray_capture<SOUTH>(out, from, occupied, opponent);
}

// Knight and king captures of the squares of `targets`, in the order of the square's row.
inline Move* step_captures(Move* out, int from, Bitboard targets,
                           const std::array<int32_t, 8>& row) {
    if (targets == 0) return out;
    if ((targets & (targets - 1)) == 0) {
        *out++ = from + 64 * lowest_square(targets);
        return out;
    }
    for (int32_t to : row) {
        if (to == RAY_END) break;
        if ((targets >> to) & 1) *out++ = from + 64 * to;
    }
    return out;
}

template <int Side> inline Move* pawn_captures(Move* out, int from, Bitboard opponent) {
    constexpr int east = Side == 0 ? 9 : -7;
    constexpr int west = Side == 0 ? 7 : -9;
    constexpr int last_rank_before = Side == 0 ? 6 : 1;
    const int file = from & 7;

    if ((from >> 3) == last_rank_before) {
        if (file != 7 && ((opponent >> (from + east)) & 1))
            out = append_promotions(out, from, from + east);
        if (file != 0 && ((opponent >> (from + west)) & 1))
            out = append_promotions(out, from, from + west);
        return out;
    }
    if (file != 7) {
        if ((opponent >> (from + east)) & 1)
            *out++ = from + 64 * (from + east);
        else if (from + east == pos.ep_square)
            *out++ = move_word(from, from + east, MOVE_EN_PASSANT);
    }
    if (file != 0) {
        if ((opponent >> (from + west)) & 1)
            *out++ = from + 64 * (from + west);
        else if (from + west == pos.ep_square)
            *out++ = move_word(from, from + west, MOVE_EN_PASSANT);
    }
    return out;
}

// The squares a knight jump away from one of `targets`.
constexpr Bitboard knight_sight(Bitboard targets) {
    const Bitboard one = ((targets << 1) & ~FILE_A) | ((targets >> 1) & ~FILE_H);
    const Bitboard two =
        ((targets << 2) & ~(FILE_A | FILE_A << 1)) | ((targets >> 2) & ~(FILE_H | FILE_H >> 1));
    return (one << 16) | (one >> 16) | (two << 8) | (two >> 8);
}

// The captures of gen_captures for `Side`, the side to move, written from `out` on; returns the
// end of the list. The quiescence search calls it at every node.
template <int Side> [[gnu::always_inline]] inline Move* generate_captures(Move* out) {
    constexpr PieceCode own_colour = Side == 0 ? WHITE : BLACK;
    const auto& board = pos.board;
    const Bitboard own = pos.colour_pieces[Side];
    const Bitboard opponent = pos.colour_pieces[1 - Side];
    const Bitboard occupied = own | opponent;
    const Bitboard ep_target = pos.ep_square != 0 ? bit(pos.ep_square) : 0;
    // Most pawns have nothing to take: only those next to a target diagonally ahead are
    // visited, in the same ascending order as the other pieces.
    const Bitboard targets = opponent | ep_target;
    const Bitboard pawns = own & pos.kind_pieces[PAWN_SET];
    const Bitboard taking_pawns =
        Side == 0 ? pawns & (((targets >> 9) & ~FILE_H) | ((targets >> 7) & ~FILE_A))
                  : pawns & (((targets << 7) & ~FILE_H) | ((targets << 9) & ~FILE_A));
    // Pawns, knights and the king are visited only when they have something to take; the
    // sliders are all visited, each ray tested by its first occupied square (a set-wise test
    // of what they see costs more than the visits it saves). The others would add no move,
    // so the list is the same.
    const auto& kinds = pos.kind_pieces;
    const Bitboard queens = kinds[QUEEN_SET];
    const Bitboard king = kinds[KING_SET] & own;
    const Bitboard king_takes =
        king & (Bitboard{0} - Bitboard{(king_attacks[pos.king_square[Side]] & opponent) != 0});
    const Bitboard takers = taking_pawns | king_takes |
                            (kinds[KNIGHT_SET] & own & knight_sight(opponent)) |
                            ((kinds[BISHOP_SET] | kinds[ROOK_SET] | queens) & own);
    for (Bitboard pieces = takers; pieces != 0;) {
        const int from = pop_lowest(pieces);
        switch (board[from]) {
        case own_colour | PAWN:
            out = pawn_captures<Side>(out, from, opponent);
            break;
        case own_colour | KNIGHT:
            out = step_captures(out, from, knight_attacks[from] & opponent,
                                square_tables.knight_targets[from]);
            break;
        case own_colour | BISHOP:
            out = diagonal_captures(out, from, occupied, opponent);
            break;
        case own_colour | ROOK:
            out = straight_captures(out, from, occupied, opponent);
            break;
        case own_colour | QUEEN:
            out = diagonal_captures(out, from, occupied, opponent);
            out = straight_captures(out, from, occupied, opponent);
            break;
        case own_colour | KING:
            out = step_captures(out, from, king_attacks[from] & opponent,
                                square_tables.king_targets[from]);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

} // namespace tervane
