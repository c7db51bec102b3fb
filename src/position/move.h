// Moves as values: the encoding of a move in one word.
#pragma once

#include "position/position.h"

#include <cstdint>

namespace tervane {

enum MoveKind : int32_t {
    MOVE_NORMAL = 0,
    MOVE_CASTLE = 1,
    MOVE_EN_PASSANT = 2,
    MOVE_DOUBLE_PUSH = 3,
    MOVE_PROMOTE_QUEEN = 4,
    MOVE_PROMOTE_ROOK = 5,
    MOVE_PROMOTE_BISHOP = 6,
    MOVE_PROMOTE_KNIGHT = 7,
};

constexpr Move move_word(int from, int to, int kind) {
    return from + 64 * to + 4096 * kind;
}
constexpr int move_from(Move m) {
    return m & 63;
}
constexpr int move_to(Move m) {
    return (m >> 6) & 63;
}
constexpr int move_kind(Move m) {
    return (m >> 12) & 255;
}

constexpr Move CASTLE_WK_MOVE = 4484; // e1g1
constexpr Move CASTLE_WQ_MOVE = 4228; // e1c1
constexpr Move CASTLE_BK_MOVE = 8124; // e8g8
constexpr Move CASTLE_BQ_MOVE = 7868; // e8c8

} // namespace tervane
