#include "search/search.h"

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

// A single exchange instead of a shift: cheap, and a node that cuts off early never pays
// for ordering the rest of its list.
Move pick_next_move(Move* moves, int32_t* scores, int32_t i, int32_t count) {
    int32_t best = NEG_INFINITY;
    int32_t chosen = -1;
    for (int32_t j = i; j < count; ++j) {
        if (scores[j] > best) {
            best = scores[j];
            chosen = j;
        }
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

} // namespace tervane
