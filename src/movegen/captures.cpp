// The capture generator of the quiescence search: the captures of gen_moves,
// in the same relative order.
#include "movegen/move.h"

namespace tervane {

namespace {

using Ray = std::array<int32_t, 7>;
using RaySlots = std::array<Ray, 4>;

// The first occupied square of each ray, when it holds an opponent piece.
template <PieceCode Opponent>
inline Move* slide_captures(Move* out, int from, const RaySlots& slots) {
    const auto& board = pos.board;
    for (const Ray& ray : slots) {
        if (ray[0] == RAY_END) break; // the slots are packed: the rest are empty too
        for (int32_t to : ray) {
            if (to == RAY_END) break;
            const PieceCode occupant = board[to];
            if (occupant == 0) continue;
            if (occupant & Opponent) *out++ = from + 64 * to;
            break;
        }
    }
    return out;
}

template <PieceCode Opponent>
inline Move* step_captures(Move* out, int from, const std::array<int32_t, 8>& targets) {
    const auto& board = pos.board;
    for (int32_t to : targets) {
        if (to == RAY_END) break;
        if (board[to] & Opponent) *out++ = from + 64 * to;
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

template <int Side> inline Move* pawn_captures(Move* out, int from) {
    constexpr PieceCode opponent = Side == 0 ? BLACK : WHITE;
    constexpr int east = Side == 0 ? 9 : -7;
    constexpr int west = Side == 0 ? 7 : -9;
    constexpr int last_rank_before = Side == 0 ? 6 : 1;
    const auto& board = pos.board;
    const int file = from & 7;

    if ((from >> 3) == last_rank_before) {
        if (file != 7 && (board[from + east] & opponent)) out = promotions(out, from, from + east);
        if (file != 0 && (board[from + west] & opponent)) out = promotions(out, from, from + west);
        return out;
    }
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

template <int Side> Move* generate_captures(Move* out) {
    constexpr PieceCode own = Side == 0 ? WHITE : BLACK;
    constexpr PieceCode opponent = Side == 0 ? BLACK : WHITE;
    const auto& board = pos.board;
    for (int from = 0; from < 64; ++from) {
        const PieceCode piece = board[from];
        if (!(piece & own)) continue;
        switch (piece) {
        case own | PAWN:
            out = pawn_captures<Side>(out, from);
            break;
        case own | KNIGHT:
            out = step_captures<opponent>(out, from, square_tables.knight_targets[from]);
            break;
        case own | BISHOP:
            out = slide_captures<opponent>(out, from, square_tables.diagonal_rays[from]);
            break;
        case own | ROOK:
            out = slide_captures<opponent>(out, from, square_tables.straight_rays[from]);
            break;
        case own | QUEEN:
            out = slide_captures<opponent>(out, from, square_tables.diagonal_rays[from]);
            out = slide_captures<opponent>(out, from, square_tables.straight_rays[from]);
            break;
        case own | KING:
            out = step_captures<opponent>(out, from, square_tables.king_targets[from]);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

void gen_captures(Move* list, int32_t& count) {
    Move* end = pos.side == 0 ? generate_captures<0>(list) : generate_captures<1>(list);
    count = static_cast<int32_t>(end - list);
}

} // namespace tervane
