// The selection of the next move from a scored list, inline in the loops of the search that
// call it once for every move they try, and the search of a list for one value.
#pragma once

#include "position/move.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tervane {

#if defined(__x86_64__) || defined(_M_X64)
// The first index from i on below count that holds `value` (a score, a move), or count;
// four at a time.
[[gnu::always_inline]] inline int32_t first_holding(const int32_t* values, int32_t i, int32_t count,
                                                    int32_t value) {
    int32_t j = i;
    const __m128i wanted = _mm_set1_epi32(value);
    for (; j + 4 <= count; j += 4) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j));
        const int hits = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(next, wanted)));
        if (hits != 0) return j + std::countr_zero(static_cast<unsigned>(hits));
    }
    while (j < count && values[j] != value) ++j;
    return j;
}
#else
// Elsewhere a plain loop, which the compiler may vectorise itself.
[[gnu::always_inline]] inline int32_t first_holding(const int32_t* values, int32_t i, int32_t count,
                                                    int32_t value) {
    int32_t j = i;
    while (j < count && values[j] != value) ++j;
    return j;
}
#endif

namespace detail {

// Above and below every score: scores stay far inside these.
constexpr int32_t NO_CEILING = std::numeric_limits<int32_t>::max();
constexpr int32_t NO_SCORE = std::numeric_limits<int32_t>::min();

// The highest score from i on.
[[gnu::always_inline]] inline int32_t highest_score(const int32_t* scores, int32_t i,
                                                    int32_t count) {
    int32_t j = i;
    int32_t best = NO_SCORE;
#if defined(__x86_64__) || defined(_M_X64)
    // Four at a time.
    if (count - i >= 8) {
        __m128i best4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scores + j));
        for (j += 4; j + 4 <= count; j += 4) {
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scores + j));
            const __m128i higher = _mm_cmpgt_epi32(next, best4);
            best4 = _mm_or_si128(_mm_and_si128(higher, next), _mm_andnot_si128(higher, best4));
        }
        alignas(16) std::array<int32_t, 4> lanes;
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes.data()), best4);
        best = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    }
#endif
    for (; j < count; ++j) best = std::max(best, scores[j]);
    return best;
}

// The selection itself: the first of the highest scores from i on, exchanged into place i.
// `ceiling` is a score that nothing from i on exceeds, so that a score equal to it ends the
// search. Long lists are searched four scores at a time, which a predictor cannot spoil. Every
// score lies above NO_SCORE (quiet moves start at -3072, history is never negative), so
// both ways find a move.
[[gnu::always_inline]] inline Move select(Move* moves, int32_t* scores, int32_t i, int32_t count,
                                          int32_t ceiling) {
    int32_t best = NO_SCORE;
    int32_t chosen = -1;
    if (count - i < 8) {
        // Without branches on the scores, which a predictor cannot foresee; the ceiling would
        // only end the loop sooner.
        for (int32_t j = i; j < count; ++j) {
            const int32_t score = scores[j];
            const bool higher = score > best;
            best = higher ? score : best;
            chosen = higher ? j : chosen;
        }
    } else {
        if (scores[i] == ceiling) return moves[i];
        best = highest_score(scores, i, count);
        chosen = first_holding(scores, i, count, best);
    }
    if (chosen > i) {
        const Move move = moves[chosen];
        moves[chosen] = moves[i];
        moves[i] = move;
        scores[chosen] = scores[i];
        scores[i] = best;
    }
    return moves[i];
}

} // namespace detail

// A single exchange instead of a shift: cheap, and a node that cuts off early never pays
// for ordering the rest of its list. The move before was taken by the same selection, so its score
// bounds all that are left: in a list of many equal scores (quiet moves without history) each pick
// then ends at once.
[[gnu::always_inline]] inline Move pick_next_in_turn(Move* moves, int32_t* scores, int32_t i,
                                                     int32_t count) {
    const int32_t ceiling = i > 0 ? scores[i - 1] : detail::NO_CEILING;
    return detail::select(moves, scores, i, count, ceiling);
}

} // namespace tervane
