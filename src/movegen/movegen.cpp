// The full pseudo-legal move generator.
#include "movegen/move.h"

namespace tervane {

namespace {

using Ray = std::array<int32_t, 7>;
using RaySlots = std::array<Ray, 4>;

// Quiet moves and captures along the packed slots of one square, in slot order.
template <PieceCode Own> inline Move* slide(Move* out, int from, const RaySlots& slots) {
    const auto& board = pos.board;
    for (const Ray& ray : slots) {
        if (ray[0] == RAY_END) break; // the slots are packed: the rest are empty too
        for (int32_t to : ray) {
            if (to == RAY_END) break;
            const PieceCode occupant = board[to];
            if (occupant & Own) break;
            *out++ = from + 64 * to;
            if (occupant != 0) break;
        }
    }
    return out;
}

// Knight and king steps to squares not held by an own piece.
template <PieceCode Own>
inline Move* step(Move* out, int from, const std::array<int32_t, 8>& targets) {
    const auto& board = pos.board;
    for (int32_t to : targets) {
        if (to == RAY_END) break;
        if (!(board[to] & Own)) *out++ = from + 64 * to;
    }
    return out;
}

inline Move* promotions(Move* out, int from, int to) {
    const Move base = from + 64 * to;
    out[0] = base + 4096 * MOVE_PROMOTE_QUEEN;
    out[1] = base + 4096 * MOVE_PROMOTE_ROOK;
    out[2] = base + 4096 * MOVE_PROMOTE_BISHOP;
    out[3] = base + 4096 * MOVE_PROMOTE_KNIGHT;
    return out + 4;
}

template <int Side> inline Move* pawn_moves(Move* out, int from) {
    constexpr PieceCode opponent = Side == 0 ? BLACK : WHITE;
    constexpr int ahead = Side == 0 ? 8 : -8;
    constexpr int east = Side == 0 ? 9 : -7;
    constexpr int west = Side == 0 ? 7 : -9;
    constexpr int start_rank = Side == 0 ? 1 : 6;
    constexpr int last_rank_before = Side == 0 ? 6 : 1;
    const auto& board = pos.board;
    const int file = from & 7, rank = from >> 3;

    if (rank == last_rank_before) {
        if (board[from + ahead] == 0) out = promotions(out, from, from + ahead);
        if (file != 7 && (board[from + east] & opponent)) out = promotions(out, from, from + east);
        if (file != 0 && (board[from + west] & opponent)) out = promotions(out, from, from + west);
        return out;
    }
    if (rank == start_rank) {
        if (board[from + ahead] == 0) {
            *out++ = from + 64 * (from + ahead);
            if (board[from + 2 * ahead] == 0)
                *out++ = move_word(from, from + 2 * ahead, MOVE_DOUBLE_PUSH);
        }
        if (file != 7 && (board[from + east] & opponent)) *out++ = from + 64 * (from + east);
        if (file != 0 && (board[from + west] & opponent)) *out++ = from + 64 * (from + west);
        return out;
    }
    if (board[from + ahead] == 0) *out++ = from + 64 * (from + ahead);
    if (file != 7) {
        if (board[from + east] & opponent)
            *out++ = from + 64 * (from + east);
        else if (from + east == pos.ep_square)
            *out++ = move_word(from, from + east, MOVE_EN_PASSANT);
    }
    if (file != 0) {
        if (board[from + west] & opponent)
            *out++ = from + 64 * (from + west);
        else if (from + west == pos.ep_square)
            *out++ = move_word(from, from + west, MOVE_EN_PASSANT);
    }
    return out;
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
    constexpr PieceCode own = Side == 0 ? WHITE : BLACK;
    constexpr Square castle_square = Side == 0 ? 4 : 60;
    const auto& board = pos.board;
    for (int from = 0; from < 64; ++from) {
        const PieceCode piece = board[from];
        if (!(piece & own)) continue;
        switch (piece) {
        case own | PAWN:
            out = pawn_moves<Side>(out, from);
            break;
        case own | KNIGHT:
            out = step<own>(out, from, square_tables.knight_targets[from]);
            break;
        case own | BISHOP:
            out = slide<own>(out, from, square_tables.diagonal_rays[from]);
            break;
        case own | ROOK:
            out = slide<own>(out, from, square_tables.straight_rays[from]);
            break;
        case own | QUEEN:
            out = slide<own>(out, from, square_tables.diagonal_rays[from]);
            out = slide<own>(out, from, square_tables.straight_rays[from]);
            break;
        case own | KING:
            out = step<own>(out, from, square_tables.king_targets[from]);
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

void gen_moves(Move* list, int32_t& count) {
    Move* end = pos.side == 0 ? generate<0>(list) : generate<1>(list);
    count = static_cast<int32_t>(end - list);
}

} // namespace tervane
