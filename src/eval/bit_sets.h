// What the evaluation does with square sets: counting their squares in the ways the processor
// allows, and filling and shifting them along files and ranks, also as seen from either side.
#pragma once

#include "position/bitboards.h"
#include "position/squares.h"

#include <array>
#include <bit>
#include <cstdint>

namespace tervane {

// Bit counts. Most x86-64 processors count bits in one instruction, but the portable build
// may not assume it: there the evaluation is compiled twice and the processor's answer, asked
// once at start-up, picks the version (see dispatch.cpp). Without the instruction, sets that
// seldom hold more than a square or two are counted bit by bit, larger ones in parallel. A rule
// applied to one piece counts a set of at most one square, which is a test.
enum class Counting { POPCNT, PORTABLE, AT_MOST_ONE };

// The attribute of the versions that may count with the instruction: on x86-64 they are
// compiled for processors that have it; 64-bit ARM and WebAssembly always have one.
#if defined(__x86_64__) || defined(_M_X64)
#define TERVANE_POPCNT_TARGET gnu::target("popcnt")
#else
#define TERVANE_POPCNT_TARGET
#endif

template <Counting C> inline int32_t few_bits(Bitboard b) {
    if constexpr (C == Counting::POPCNT) {
        return std::popcount(b);
    } else if constexpr (C == Counting::AT_MOST_ONE) {
        return b != 0 ? 1 : 0;
    } else {
        int32_t n = 0;
        for (; b != 0; b &= b - 1) ++n;
        return n;
    }
}

template <Counting C> inline int32_t many_bits(Bitboard b) {
    if constexpr (C == Counting::PORTABLE) {
        b = b - ((b >> 1) & 0x5555555555555555ULL);
        b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
        b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
        return static_cast<int32_t>((b * 0x0101010101010101ULL) >> 56);
    } else {
        return few_bits<C>(b);
    }
}

constexpr bool exactly_one(Bitboard b) {
    return b != 0 && (b & (b - 1)) == 0;
}

// The files (as a mask of whole files) that hold at least one of the given squares.
constexpr Bitboard file_fill(Bitboard b) {
    b |= b >> 32;
    b |= b >> 16;
    b |= b >> 8;
    return (b & RANK_1) * FILE_A;
}

// Each square together with every square above it (north) or below it (south) on its file.
constexpr Bitboard north_fill(Bitboard b) {
    b |= b << 8;
    b |= b << 16;
    return b | (b << 32);
}
constexpr Bitboard south_fill(Bitboard b) {
    b |= b >> 8;
    b |= b >> 16;
    return b | (b >> 32);
}

// The squares one file to either side of the given ones.
constexpr Bitboard sideways(Bitboard b) {
    return ((b << 1) & ~FILE_A) | ((b >> 1) & ~FILE_H);
}

// Whole files by index file + 1: entries 0 and 9 are the files beyond the edges, which hold
// no pawn, so the rules read them without bounds tests.
constexpr std::array<Bitboard, 10> make_padded_files() {
    std::array<Bitboard, 10> files{};
    for (int f = 0; f < 8; ++f) files[f + 1] = file_mask(f);
    return files;
}
inline constexpr std::array<Bitboard, 10> padded_files = make_padded_files();

// Seen from a side (0 white, 1 black; see relative_rank): a rank, one rank forward, and every
// square in front (with the squares themselves).
template <int Us> constexpr Bitboard relative_rank_mask(int rank) {
    return rank_mask(relative_rank<Us>(rank));
}
template <int Us> constexpr Bitboard forward(Bitboard b) {
    return Us == 0 ? b << 8 : b >> 8;
}
template <int Us> constexpr Bitboard forward_fill(Bitboard b) {
    return Us == 0 ? north_fill(b) : south_fill(b);
}

} // namespace tervane
