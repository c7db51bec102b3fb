// The full pseudo-legal move generator.
#include "movegen/movegen.h"
#include "position/check_tests.h"

namespace tervane {

namespace {

// Quiet moves and the capture at the end of one ray, nearest square first.
template <int Direction>
inline Move* slide_ray(Move* out, int from, Bitboard occupied, Bitboard own) {
    Bitboard reach = rays[Direction][from];
    const Bitboard blockers = reach & occupied;
    if (blockers != 0) reach ^= rays[Direction][nearest_square<Direction>(blockers)];
    reach &= ~own;
    if constexpr (runs_upward(Direction)) {
        while (reach != 0) *out++ = from + 64 * pop_lowest(reach);
    } else {
        while (reach != 0) {
            const int to = highest_square(reach);
            reach ^= bit(to);
            *out++ = from + 64 * to;
        }
    }
    return out;
}

inline Move* slide_diagonal(Move* out, int from, Bitboard occupied, Bitboard own) {
    out = slide_ray<NORTH_WEST>(out, from, occupied, own);
    out = slide_ray<NORTH_EAST>(out, from, occupied, own);
    out = slide_ray<SOUTH_WEST>(out, from, occupied, own);
    return slide_ray<SOUTH_EAST>(out, from, occupied, own);
}

inline Move* slide_straight(Move* out, int from, Bitboard occupied, Bitboard own) {
    out = slide_ray<EAST>(out, from, occupied, own);
    if ((NORTH_SECOND_SQUARES >> from) & 1) {
        out = slide_ray<NORTH>(out, from, occupied, own);
        out = slide_ray<WEST>(out, from, occupied, own);
    } else {
        out = slide_ray<WEST>(out, from, occupied, own);
        out = slide_ray<NORTH>(out, from, occupied, own);
    }
    return slide_ray<SOUTH>(out, from, occupied, own);
}

// Knight and king steps to the squares of `targets`, in the order of the square's row.
inline Move* step(Move* out, int from, Bitboard targets, bool ascending,
                  const std::array<int32_t, 8>& row) {
    if (ascending) {
        while (targets != 0) *out++ = from + 64 * pop_lowest(targets);
        return out;
    }
    for (int32_t to : row) {
        if (to == RAY_END) break;
        if ((targets >> to) & 1) *out++ = from + 64 * to;
    }
    return out;
}

// Writes the move at the end of the list and keeps it only when `wanted`: the same list as
// "if (wanted) *out++ = move", without a branch the predictor would often get wrong. Pawns
// write so; a side with a pawn has at most 15 other pieces, so the list has room to spare.
inline Move* append_if(Move* out, Move move, bool wanted) {
    *out = move;
    return out + int{wanted};
}

template <int Side> inline Move* pawn_moves(Move* out, int from, Bitboard occupied) {
    constexpr PieceCode opponent = Side == 0 ? BLACK : WHITE;
    constexpr int ahead = Side == 0 ? 8 : -8;
    constexpr int east = Side == 0 ? 9 : -7;
    constexpr int west = Side == 0 ? 7 : -9;
    constexpr int start_rank = Side == 0 ? 1 : 6;
    constexpr int last_rank_before = Side == 0 ? 6 : 1;
    const auto& board = pos.board;
    const int file = from & 7, rank = from >> 3;

    if (rank == last_rank_before) [[unlikely]] {
        if (board[from + ahead] == 0) out = append_promotions(out, from, from + ahead);
        if (file != 7 && (board[from + east] & opponent))
            out = append_promotions(out, from, from + east);
        if (file != 0 && (board[from + west] & opponent))
            out = append_promotions(out, from, from + west);
        return out;
    }
    // Push, double push from the start rank, capture (or take en passant) east, then west.
    const bool free_ahead = ((occupied >> (from + ahead)) & 1) == 0;
    out = append_if(out, from + 64 * (from + ahead), free_ahead);
    const bool double_push =
        rank == start_rank && free_ahead && ((occupied >> (from + 2 * ahead)) & 1) == 0;
    out = append_if(out, move_word(from, from + 2 * ahead, MOVE_DOUBLE_PUSH), double_push);
    // En passant is never tried from the start rank, so the rank ahead of it is left out of the
    // en passant targets, and a1, which stands for "no en passant square".
    constexpr Bitboard ep_reach = ~rank_mask(start_rank + (Side == 0 ? 1 : -1)) & ~bit(0);
    const int ep_square = pos.ep_square;
    const Bitboard targets =
        pawn_attackers[Side][from] & (pos.colour_pieces[1 - Side] | (bit(ep_square) & ep_reach));
    if (targets == 0) return out;
    const int east_to = from + east, west_to = from + west;
    out = append_if(out, move_word(from, east_to, east_to == ep_square ? MOVE_EN_PASSANT : 0),
                    (targets >> east_to) & 1);
    return append_if(out, move_word(from, west_to, west_to == ep_square ? MOVE_EN_PASSANT : 0),
                     (targets >> west_to) & 1);
}

inline Move* white_castling(Move* out) {
    const auto& board = pos.board;
    const uint8_t rights = pos.castling;
    if ((rights & CASTLE_WK) && board[5] == 0 && board[6] == 0 && board[7] == W_ROOK &&
        castle_path_safe_wk())
        *out++ = CASTLE_WK_MOVE;
    if ((rights & CASTLE_WQ) && board[3] == 0 && board[2] == 0 && board[1] == 0 &&
        board[0] == W_ROOK && castle_path_safe_wq())
        *out++ = CASTLE_WQ_MOVE;
    return out;
}

inline Move* black_castling(Move* out) {
    const auto& board = pos.board;
    const uint8_t rights = pos.castling;
    if ((rights & CASTLE_BK) && board[61] == 0 && board[62] == 0 && board[63] == B_ROOK &&
        castle_path_safe_bk())
        *out++ = CASTLE_BK_MOVE;
    if ((rights & CASTLE_BQ) && board[59] == 0 && board[58] == 0 && board[57] == 0 &&
        board[56] == B_ROOK && castle_path_safe_bq())
        *out++ = CASTLE_BQ_MOVE;
    return out;
}

template <int Side> Move* generate(Move* out) {
    constexpr PieceCode own_colour = Side == 0 ? WHITE : BLACK;
    constexpr Square castle_square = Side == 0 ? 4 : 60;
    const auto& board = pos.board;
    const Bitboard own = pos.colour_pieces[Side];
    const Bitboard occupied = own | pos.colour_pieces[1 - Side];
    for (Bitboard pieces = own; pieces != 0;) {
        const int from = pop_lowest(pieces);
        if (board[from] == (own_colour | PAWN)) {
            out = pawn_moves<Side>(out, from, occupied);
            continue;
        }
        switch (board[from]) {
        case own_colour | KNIGHT:
            out = step(out, from, knight_attacks[from] & ~own, (knight_rows_ascending >> from) & 1,
                       square_tables.knight_targets[from]);
            break;
        case own_colour | BISHOP:
            out = slide_diagonal(out, from, occupied, own);
            break;
        case own_colour | ROOK:
            out = slide_straight(out, from, occupied, own);
            break;
        case own_colour | QUEEN:
            out = slide_diagonal(out, from, occupied, own);
            out = slide_straight(out, from, occupied, own);
            break;
        case own_colour | KING:
            out = step(out, from, king_attacks[from] & ~own, (king_rows_ascending >> from) & 1,
                       square_tables.king_targets[from]);
            if (from == castle_square && pos.castling != 0)
                out = Side == 0 ? white_castling(out) : black_castling(out);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

bool lists_quiet_move(Move move) {
    const int from = move_from(move), to = move_to(move), kind = move_kind(move);
    const int side = pos.side;
    const PieceCode piece = pos.board[from];
    const Bitboard occupied = pos.colour_pieces[0] | pos.colour_pieces[1];
    if ((piece & (side == 0 ? WHITE : BLACK)) == 0 || ((occupied >> to) & 1) != 0) return false;
    const int ahead = side == 0 ? 8 : -8;
    if (kind == MOVE_DOUBLE_PUSH)
        return (piece & PAWN) != 0 && (from >> 3) == (side == 0 ? 1 : 6) &&
               to == from + 2 * ahead && ((occupied >> (from + ahead)) & 1) == 0;
    if (kind != MOVE_NORMAL) return false;
    if (piece & PAWN) return to == from + ahead && (to >> 3) != (side == 0 ? 7 : 0);
    if (piece & KNIGHT) return ((knight_attacks[from] >> to) & 1) != 0;
    if (piece & KING) return ((king_attacks[from] >> to) & 1) != 0;
    const int direction = direction_towards[from][to];
    if (direction == NO_DIRECTION) return false;
    // North, east, south and west are the straight directions.
    const bool straight = (direction & 3) < 2;
    if (!(piece & QUEEN) && (piece & ROOK ? !straight : straight)) return false;
    // The squares from the first step up to the target, all empty.
    return ((rays[direction][from] ^ rays[direction][to]) & occupied) == 0;
}

void gen_moves(Move* list, int32_t& count) {
    // The moves are about to be made: make_move tests them faster knowing whether the king
    // is in check now.
    if (pos.safe_from[pos.ply][pos.side] == 0) note_check_status();
    Move* end = pos.side == 0 ? generate<0>(list) : generate<1>(list);
    count = static_cast<int32_t>(end - list);
}

} // namespace tervane
