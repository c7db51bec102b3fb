// Square sets kept beside the board, and the constant sets that the attack tests, the
// generators and the evaluation read instead of walking the board square by square.
#pragma once

#include <array>
#include <bit>
#include <concepts>
#include <cstdint>

namespace tervane {

using Bitboard = uint64_t; // bit s stands for Square s

// The set of one square, from a signed or an unsigned index (make and unmake index their
// tables unsigned).
template <std::integral Index> constexpr Bitboard bit(Index s) {
    return Bitboard{1} << s;
}

constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard FILE_H = FILE_A << 7;
constexpr Bitboard RANK_1 = 0xFFULL;
constexpr Bitboard RANK_8 = RANK_1 << 56;

constexpr Bitboard rank_mask(int rank) {
    return RANK_1 << (8 * rank);
}
constexpr Bitboard file_mask(int file) {
    return FILE_A << file;
}

constexpr int lowest_square(Bitboard b) {
    return std::countr_zero(b);
}
// b must not be empty.
constexpr int highest_square(Bitboard b) {
    return 63 - std::countl_zero(b);
}
inline int pop_lowest(Bitboard& b) {
    const int s = std::countr_zero(b);
    b &= b - 1;
    return s;
}

// Index of a piece kind in Position::kind_pieces.
constexpr int PAWN_SET = 0, KNIGHT_SET = 1, KING_SET = 2, BISHOP_SET = 3, ROOK_SET = 4,
              QUEEN_SET = 5;

// The eight directions; the first four run towards higher squares, so the nearest square of
// a set along them is its lowest, along the others its highest.
constexpr int NORTH = 0, EAST = 1, NORTH_EAST = 2, NORTH_WEST = 3;
constexpr int SOUTH = 4, WEST = 5, SOUTH_WEST = 6, SOUTH_EAST = 7;

constexpr bool runs_upward(int direction) {
    return direction < 4;
}

namespace detail {

constexpr std::array<std::array<int, 2>, 8> DIRECTION_STEPS = {
    {{0, 1}, {1, 0}, {1, 1}, {-1, 1}, {0, -1}, {-1, 0}, {-1, -1}, {1, -1}}};

constexpr bool on_board(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

constexpr std::array<std::array<Bitboard, 64>, 8> make_rays() {
    std::array<std::array<Bitboard, 64>, 8> rays{};
    for (int d = 0; d < 8; ++d)
        for (int s = 0; s < 64; ++s) {
            int file = s % 8 + DIRECTION_STEPS[d][0], rank = s / 8 + DIRECTION_STEPS[d][1];
            while (on_board(file, rank)) {
                rays[d][s] |= bit(file + 8 * rank);
                file += DIRECTION_STEPS[d][0], rank += DIRECTION_STEPS[d][1];
            }
        }
    return rays;
}

template <std::size_t N>
constexpr std::array<Bitboard, 64> make_steps(const std::array<std::array<int, 2>, N>& steps) {
    std::array<Bitboard, 64> sets{};
    for (int s = 0; s < 64; ++s)
        for (const auto& step : steps) {
            const int file = s % 8 + step[0], rank = s / 8 + step[1];
            if (on_board(file, rank)) sets[s] |= bit(file + 8 * rank);
        }
    return sets;
}

// Squares from which a pawn of the other colour attacks a king of `side` on s. A king on
// its own seventh or eighth rank is never attacked by a pawn: no pawn of the other colour
// can stand beyond it.
constexpr std::array<std::array<Bitboard, 64>, 2> make_pawn_attackers() {
    std::array<std::array<Bitboard, 64>, 2> sets{};
    for (int s = 0; s < 64; ++s) {
        const int file = s % 8;
        if (s < 48) {
            if (file != 7) sets[0][s] |= bit(s + 9);
            if (file != 0) sets[0][s] |= bit(s + 7);
        }
        if (s > 15) {
            if (file != 7) sets[1][s] |= bit(s - 7);
            if (file != 0) sets[1][s] |= bit(s - 9);
        }
    }
    return sets;
}

} // namespace detail

// rays[direction][s]: the squares beyond s in that direction, to the edge.
constexpr std::array<std::array<Bitboard, 64>, 8> rays = detail::make_rays();

constexpr std::array<Bitboard, 64> knight_attacks = detail::make_steps<8>(
    {{{-1, -2}, {1, -2}, {-2, -1}, {2, -1}, {-2, 1}, {2, 1}, {-1, 2}, {1, 2}}});
constexpr std::array<Bitboard, 64> king_attacks =
    detail::make_steps<8>({{{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}});
constexpr std::array<std::array<Bitboard, 64>, 2> pawn_attackers = detail::make_pawn_attackers();

constexpr std::array<Bitboard, 64> make_lines(int first_direction) {
    std::array<Bitboard, 64> lines{};
    for (int s = 0; s < 64; ++s)
        for (int d :
             {first_direction, first_direction + 1, first_direction + 4, first_direction + 5})
            lines[s] |= rays[d][s];
    return lines;
}
// All squares a rook (straight) or a bishop (diagonal) on s could reach on an empty board.
constexpr std::array<Bitboard, 64> straight_lines = make_lines(NORTH);
constexpr std::array<Bitboard, 64> diagonal_lines = make_lines(NORTH_EAST);

// direction_towards[a][b]: the direction of the ray from a that passes over b, or NO_DIRECTION
// when the two squares share no line (or are the same square).
constexpr int NO_DIRECTION = 8;
constexpr std::array<std::array<uint8_t, 64>, 64> make_directions() {
    std::array<std::array<uint8_t, 64>, 64> directions{};
    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b) {
            directions[a][b] = NO_DIRECTION;
            for (int d = 0; d < 8; ++d)
                if ((rays[d][a] >> b) & 1) directions[a][b] = static_cast<uint8_t>(d);
        }
    return directions;
}
constexpr std::array<std::array<uint8_t, 64>, 64> direction_towards = make_directions();

// rays with an empty row for NO_DIRECTION, for the lookups that follow direction_towards
// without a branch.
constexpr std::array<std::array<Bitboard, 64>, 9> make_rays_or_none() {
    std::array<std::array<Bitboard, 64>, 9> rows{};
    for (int d = 0; d < 8; ++d) rows[d] = rays[d];
    return rows;
}
constexpr std::array<std::array<Bitboard, 64>, 9> rays_or_none = make_rays_or_none();

// The nearest square of `blockers` (not empty) seen from the origin of a ray in direction d.
template <int Direction> inline int nearest_square(Bitboard blockers) {
    if constexpr (runs_upward(Direction))
        return lowest_square(blockers);
    else
        return highest_square(blockers);
}

} // namespace tervane
