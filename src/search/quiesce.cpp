#include "eval/eval.h"
#include "movegen/captures.h"
#include "search/search.h"

namespace tervane {

template <int Side> int32_t quiesce_standing(int32_t alpha, int32_t beta, int32_t stand);

// The node's own stand pat, before anything else: most children of captures end there, and
// they end without entering the rest of the node.
template <int Side>
[[gnu::always_inline]] inline int32_t quiesce_node(int32_t alpha, int32_t beta) {
    if (search_state.stop_flag) return 0;
    const int32_t ply = pos.ply;
    if (ply > LAST_MOVING_PLY) return evaluate();
    search_state.pv_length[ply] = ply;

    // Standing pat is allowed even in check: checks are not resolved here. The callers compare
    // a score outside the window only with the window, so a bound beyond it serves as well.
    const int32_t stand = evaluate_within(alpha, beta);
    if (stand >= beta) return stand;
    return quiesce_standing<Side>(alpha, beta, stand);
}

// The side to move is a constant of each instance, so that the capture generator and make_move
// are chosen without a test, which a predictor would often miss.
template <int Side> int32_t quiesce_standing(int32_t alpha, int32_t beta, int32_t stand) {
    if (stand > alpha) alpha = stand;

    std::array<Move, MAX_CAPTURES> moves;
    std::array<int32_t, MAX_CAPTURES> scores;
    const auto count = static_cast<int32_t>(generate_captures<Side>(moves.data()) - moves.data());
    score_captures(moves.data(), scores.data(), count);

    bool made_move = false;
    for (int32_t i = 0; i < count; ++i) {
        const Move move = pick_next_in_turn(moves.data(), scores.data(), i, count);
        if (!make_move<Side, Inlining::ALWAYS>(move)) continue;
        count_node();
        made_move = true;
        const int32_t score = -quiesce_node<1 - Side>(-beta, -alpha);
        unmake_move();
        if (search_state.stop_flag) return 0;
        if (score <= alpha) continue;
        if (score >= beta) return beta;
        alpha = score;
        take_child_line(move);
    }
    // With no legal capture the static score stands, even below the alpha passed in.
    return made_move ? alpha : stand;
}

template <int Side> int32_t quiesce(int32_t alpha, int32_t beta) {
    return quiesce_node<Side>(alpha, beta);
}

template int32_t quiesce<0>(int32_t alpha, int32_t beta);
template int32_t quiesce<1>(int32_t alpha, int32_t beta);

int32_t quiesce(int32_t alpha, int32_t beta) {
    return pos.side == 0 ? quiesce<0>(alpha, beta) : quiesce<1>(alpha, beta);
}

} // namespace tervane
