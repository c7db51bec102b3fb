#include "search/search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tervane {

namespace {

constexpr int32_t QUIET_BASE = -3072;
constexpr int32_t PV_BONUS = 1000000;
constexpr int32_t KILLER1_BONUS = 1024;
constexpr int32_t KILLER2_BONUS = 384;
constexpr int32_t KILLER3_BONUS = 96;

// What a scorer needs of the search state, read once per list: the stores into the score
// list could otherwise alias these tables and force a reload for every move.
struct OrderingKeys {
    Move expected;
    Move killer1, killer2, killer3;
    // History is scaled down by the iteration depth so that the deeper iterations, whose
    // counts grow fast, do not swamp the capture order. History is never negative, so a
    // shift by 31 already leaves nothing, as any larger one would.
    int32_t history_shift;
};

OrderingKeys ordering_keys() {
    const int32_t ply = pos.ply;
    const int32_t depth = search_state.iteration_depth;
    return {search_state.pv_table[1][ply], search_state.killer1[ply], search_state.killer2[ply],
            search_state.killer3[ply], depth < 31 ? depth : 31};
}

int32_t history_part(Move move, const OrderingKeys& keys) {
    return search_state.history[move_from(move) * 64 + move_to(move)] >> keys.history_shift;
}

int32_t exchange_value(Move move) {
    return piece_value[pos.board[move_to(move)]] - piece_value[pos.board[move_from(move)]];
}

int32_t base_score(Move move) {
    const PieceCode victim = pos.board[move_to(move)];
    if (victim == 0) return QUIET_BASE;
    return piece_value[victim] - piece_value[pos.board[move_from(move)]];
}

int32_t ordinary_score(Move move, const OrderingKeys& keys) {
    int32_t score = base_score(move) + history_part(move, keys);
    if (move == keys.killer1) {
        score += KILLER1_BONUS;
    } else if (move == keys.killer2) {
        score += KILLER2_BONUS;
    } else if (move == keys.killer3) {
        score += KILLER3_BONUS;
    }
    return score;
}

} // namespace

void score_moves(const Move* moves, int32_t* scores, int32_t count) {
    const OrderingKeys keys = ordering_keys();
    if (!search_state.follow_pv) {
        for (int32_t i = 0; i < count; ++i) scores[i] = ordinary_score(moves[i], keys);
        return;
    }
    // Still on the previous iteration's line: its move here goes first, and we stay on the
    // line only if this node has that move at all.
    bool on_line = false;
    for (int32_t i = 0; i < count; ++i) {
        if (moves[i] == keys.expected) {
            scores[i] = base_score(moves[i]) + PV_BONUS;
            on_line = true;
        } else {
            scores[i] = ordinary_score(moves[i], keys);
        }
    }
    search_state.follow_pv = on_line;
}

void score_captures(const Move* moves, int32_t* scores, int32_t count) {
    const OrderingKeys keys = ordering_keys();
    for (int32_t i = 0; i < count; ++i) {
        if (moves[i] == keys.expected) {
            scores[i] = exchange_value(moves[i]) + PV_BONUS;
            search_state.follow_pv = true;
        } else {
            scores[i] = exchange_value(moves[i]) + history_part(moves[i], keys);
        }
    }
}

namespace {

// Above every score: scores stay far below it.
constexpr int32_t NO_CEILING = std::numeric_limits<int32_t>::max();

#if defined(__x86_64__) || defined(_M_X64)
// The highest score from i on, four at a time.
inline int32_t highest_score(const int32_t* scores, int32_t i, int32_t count) {
    int32_t j = i;
    int32_t best = NEG_INFINITY;
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
    for (; j < count; ++j) best = std::max(best, scores[j]);
    return best;
}

// The first index from i on that holds `score`, which is there.
inline int32_t first_holding(const int32_t* scores, int32_t i, int32_t count, int32_t score) {
    int32_t j = i;
    const __m128i wanted = _mm_set1_epi32(score);
    for (; j + 4 <= count; j += 4) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scores + j));
        const int hits = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(next, wanted)));
        if (hits != 0) return j + std::countr_zero(static_cast<unsigned>(hits));
    }
    while (scores[j] != score) ++j;
    return j;
}
#else
// Elsewhere plain loops, which the compiler may vectorise itself.
inline int32_t highest_score(const int32_t* scores, int32_t i, int32_t count) {
    int32_t best = NEG_INFINITY;
    for (int32_t j = i; j < count; ++j) best = std::max(best, scores[j]);
    return best;
}

inline int32_t first_holding(const int32_t* scores, int32_t i, int32_t count, int32_t score) {
    int32_t j = i;
    while (j < count && scores[j] != score) ++j;
    return j;
}
#endif

// The selection itself: the first of the highest scores from i on, exchanged into place i.
// `ceiling` is a score that nothing from i on exceeds, so that a score equal to it ends the
// search. Long lists are searched four scores at a time, which a predictor cannot spoil. Every
// score lies above NEG_INFINITY (quiet moves start at -3072, history is never negative), so
// both ways find a move.
inline Move select(Move* moves, int32_t* scores, int32_t i, int32_t count, int32_t ceiling) {
    int32_t best = NEG_INFINITY;
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

} // namespace

// A single exchange instead of a shift: cheap, and a node that cuts off early never pays
// for ordering the rest of its list. The move before was taken by the same selection, so its score
// bounds all that are left: in a list of many equal scores (quiet moves without history) each pick
// then ends at once.
Move pick_next_in_turn(Move* moves, int32_t* scores, int32_t i, int32_t count) {
    const int32_t ceiling = i > 0 ? scores[i - 1] : NO_CEILING;
    return select(moves, scores, i, count, ceiling);
}

} // namespace tervane
