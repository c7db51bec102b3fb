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

// Adds a bonus to the score of `move`, if the list holds it.
void add_bonus(const Move* moves, int32_t* scores, int32_t count, Move move, int32_t bonus) {
    const int32_t i = first_holding(moves, 0, count, move);
    if (i < count) scores[i] += bonus;
}

} // namespace

// A list holds each move once, so rather than comparing every move with the killers, each
// killer is looked for in the list.
void score_moves_off_line(const Move* moves, int32_t* scores, int32_t count) {
    const OrderingKeys keys = ordering_keys();
    for (int32_t i = 0; i < count; ++i)
        scores[i] = base_score(moves[i]) + history_part(moves[i], keys);
    for (const KillerBonus& killer : killer_bonuses(keys))
        if (killer.move != 0) add_bonus(moves, scores, count, killer.move, killer.bonus);
}

namespace {

int32_t early_moves_off_line(const Move* captures, int32_t count, Move* out,
                             const OrderingKeys& keys) {
    const int32_t history_ceiling = search_state.history_max >> keys.history_shift;
    // No quiet move scores more than a first killer's bonus on the highest history.
    const int32_t quiet_ceiling = QUIET_BASE + KILLER1_BONUS + history_ceiling;
    const std::array<KillerBonus, 3> killers = killer_bonuses(keys);
    // The captures best first, equal ones in the list's order; en passant scores as a quiet
    // move and is left to the list.
    std::array<Move, MAX_CAPTURES> ranked;
    std::array<int32_t, MAX_CAPTURES> scores;
    int32_t ranked_count = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Move move = captures[i];
        if (move_kind(move) == MOVE_EN_PASSANT) continue;
        int32_t score = exchange_value(move) + history_part(move, keys);
        for (const KillerBonus& killer : killers)
            if (move == killer.move) score += killer.bonus;
        int32_t j = ranked_count++;
        for (; j > 0 && scores[j - 1] < score; --j) {
            scores[j] = scores[j - 1];
            ranked[j] = ranked[j - 1];
        }
        scores[j] = score;
        ranked[j] = move;
    }
    // The list's first pick is the first of the best, as it keeps the captures' order. A later
    // pick is known only when its score stands alone: among equal ones the list's choice
    // depends on where the earlier picks moved the moves they displaced.
    int32_t length = 0;
    for (; length < ranked_count && length < MAX_EARLY_MOVES; ++length) {
        if (scores[length] <= quiet_ceiling) return length;
        if (length > 0 && length + 1 < ranked_count && scores[length + 1] == scores[length])
            return length;
        out[length] = ranked[length];
    }
    // After every capture, the first killer when it outranks every other quiet move (those
    // score at most the second killer's bonus on the highest history).
    const Move killer = keys.killer1;
    if (length == ranked_count && length < MAX_EARLY_MOVES && killer != 0 &&
        KILLER1_BONUS + history_part(killer, keys) > KILLER2_BONUS + history_ceiling &&
        lists_quiet_move(killer))
        out[length++] = killer;
    return length;
}

} // namespace

int32_t early_moves(const Move* captures, int32_t count, Move* out) {
    const OrderingKeys keys = ordering_keys();
    if (!search_state.follow_pv) return early_moves_off_line(captures, count, out, keys);
    // On the line its move goes first, if the list holds it; without it the list scores as off
    // the line, and score_moves would leave the line before any move is tried.
    const Move expected = keys.expected;
    bool listed = first_holding(captures, 0, count, expected) < count;
    if (!listed && pos.board[move_to(expected)] == 0) {
        // Whether castling or a promotion is listed, only the list knows.
        const int kind = move_kind(expected);
        if (kind != MOVE_NORMAL && kind != MOVE_DOUBLE_PUSH && kind != MOVE_EN_PASSANT) return 0;
        listed = lists_quiet_move(expected);
    }
    if (listed) {
        out[0] = expected;
        return 1;
    }
    search_state.follow_pv = false;
    return early_moves_off_line(captures, count, out, keys);
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
