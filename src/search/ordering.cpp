#include "search/search.h"

#include <array>

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
    return search_state.history[history_index(move)] >> keys.history_shift;
}

int32_t exchange_value(Move move) {
    return piece_value[pos.board[move_to(move)]] - piece_value[pos.board[move_from(move)]];
}

// Whether a move takes is as good as random to a predictor: both values are worked out and
// one is kept by a mask, which the compiler cannot turn back into a branch.
int32_t base_score(Move move) {
    const int32_t quiet = -static_cast<int32_t>(pos.board[move_to(move)] == 0);
    return (exchange_value(move) & ~quiet) | (QUIET_BASE & quiet);
}

// The killers and their bonuses: each killer once, with the bonus of the first slot that holds
// it; a repeated slot is left empty (0, which no list holds).
struct KillerBonus {
    Move move;
    int32_t bonus;
};
std::array<KillerBonus, 3> killer_bonuses(const OrderingKeys& keys) {
    const Move second = keys.killer2 != keys.killer1 ? keys.killer2 : 0;
    const Move third =
        keys.killer3 != keys.killer1 && keys.killer3 != keys.killer2 ? keys.killer3 : 0;
    return {{{keys.killer1, KILLER1_BONUS}, {second, KILLER2_BONUS}, {third, KILLER3_BONUS}}};
}

// The bonus of `move` as a killer: each move matches one slot at most.
int32_t killer_bonus(Move move, const std::array<KillerBonus, 3>& killers) {
    int32_t bonus = 0;
    for (const KillerBonus& killer : killers) bonus += move == killer.move ? killer.bonus : 0;
    return bonus;
}

// Adds a bonus to the score of `move`, if the list holds it.
void add_bonus(const Move* moves, int32_t* scores, int32_t count, Move move, int32_t bonus) {
    const int32_t i = first_holding(moves, 0, count, move);
    if (i < count) scores[i] += bonus;
}

// Below this many moves a list (the captures before the whole list) compares each move with
// the killers; a longer one looks for each killer in the list, which holds each move once.
constexpr int32_t SHORT_LIST = 8;

} // namespace

void score_moves_off_line(const Move* moves, int32_t* scores, int32_t count) {
    const OrderingKeys keys = ordering_keys();
    const std::array<KillerBonus, 3> killers = killer_bonuses(keys);
    if (count < SHORT_LIST) {
        for (int32_t i = 0; i < count; ++i)
            scores[i] = base_score(moves[i]) + history_part(moves[i], keys) +
                        killer_bonus(moves[i], killers);
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        scores[i] = base_score(moves[i]) + history_part(moves[i], keys);
    for (const KillerBonus& killer : killers)
        if (killer.move != 0) add_bonus(moves, scores, count, killer.move, killer.bonus);
}

QuietScoreBounds quiet_score_bounds() {
    const OrderingKeys keys = ordering_keys();
    // No quiet move's history part is above the highest entry's.
    const int32_t history_ceiling = search_state.history_max >> keys.history_shift;
    const Move killer = keys.killer1;
    return {QUIET_BASE + KILLER1_BONUS + history_ceiling,
            QUIET_BASE + KILLER2_BONUS + history_ceiling,
            killer != 0 ? QUIET_BASE + KILLER1_BONUS + history_part(killer, keys) : NO_QUIET_SCORE};
}

void score_moves(const Move* moves, int32_t* scores, int32_t count) {
    score_moves_off_line(moves, scores, count);
    if (!search_state.follow_pv) return;
    const OrderingKeys keys = ordering_keys();
    // Still on the previous iteration's line: its move here goes first, and we stay on the
    // line only if this node has that move at all.
    const int32_t i = first_holding(moves, 0, count, keys.expected);
    if (i < count) scores[i] = base_score(moves[i]) + PV_BONUS;
    search_state.follow_pv = i < count;
}

void score_captures(const Move* moves, int32_t* scores, int32_t count) {
    const OrderingKeys keys = ordering_keys();
    // Capture lists are short: the line's move is looked for in the same pass.
    int32_t on_line = -1;
    for (int32_t i = 0; i < count; ++i) {
        scores[i] = exchange_value(moves[i]) + history_part(moves[i], keys);
        on_line = moves[i] == keys.expected ? i : on_line;
    }
    // The line's move goes first here too, and a capture list that holds it takes the search
    // back onto the line.
    if (on_line >= 0) {
        scores[on_line] = exchange_value(moves[on_line]) + PV_BONUS;
        search_state.follow_pv = true;
    }
}

} // namespace tervane
