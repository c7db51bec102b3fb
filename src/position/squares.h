// Squares by name, and a square's file and rank, also as seen from either side.
#pragma once

#include <cstdint>

namespace tervane {

using Square = int32_t; // 0..63, file + 8 * rank, a1 = 0, h8 = 63

// clang-format off
constexpr Square A1 = 0,  B1 = 1,  C1 = 2,  D1 = 3,  E1 = 4,  F1 = 5,  G1 = 6,  H1 = 7;
constexpr Square A2 = 8,  B2 = 9,  C2 = 10, D2 = 11, E2 = 12, F2 = 13, G2 = 14, H2 = 15;
constexpr Square A3 = 16, B3 = 17, C3 = 18, D3 = 19, E3 = 20, F3 = 21, G3 = 22, H3 = 23;
constexpr Square A4 = 24, B4 = 25, C4 = 26, D4 = 27, E4 = 28, F4 = 29, G4 = 30, H4 = 31;
constexpr Square A5 = 32, B5 = 33, C5 = 34, D5 = 35, E5 = 36, F5 = 37, G5 = 38, H5 = 39;
constexpr Square A6 = 40, B6 = 41, C6 = 42, D6 = 43, E6 = 44, F6 = 45, G6 = 46, H6 = 47;
constexpr Square A7 = 48, B7 = 49, C7 = 50, D7 = 51, E7 = 52, F7 = 53, G7 = 54, H7 = 55;
constexpr Square A8 = 56, B8 = 57, C8 = 58, D8 = 59, E8 = 60, F8 = 61, G8 = 62, H8 = 63;
// clang-format on

// File and rank indices from 0: the a-file and the first rank are 0.
constexpr int file_of(Square s) {
    return s & 7;
}
constexpr int rank_of(Square s) {
    return s >> 3;
}

// The same seen from a side (0 white, 1 black): ranks counted from that side's first rank,
// squares mirrored top to bottom for black, so that a rule written for white reads a black
// position alike.
template <int Side> constexpr int relative_rank(int rank) {
    return Side == 0 ? rank : 7 - rank;
}
template <int Side> constexpr Square relative_square(Square s) {
    return Side == 0 ? s : s ^ 56;
}

} // namespace tervane
