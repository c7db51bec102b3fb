#include "search/quiesce.h"

#include "movegen/captures.h"

namespace tervane {

// The side to move is a constant of each instance, so that the capture generator and make_move
// are chosen without a test, which a predictor would often miss.
template <int Side> int32_t quiesce_captures(int32_t alpha, int32_t beta, int32_t stand) {
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
        const int32_t score = -quiesce<1 - Side>(-beta, -alpha);
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

template int32_t quiesce_captures<0>(int32_t alpha, int32_t beta, int32_t stand);
template int32_t quiesce_captures<1>(int32_t alpha, int32_t beta, int32_t stand);

int32_t quiesce(int32_t alpha, int32_t beta) {
    return pos.side == 0 ? quiesce<0>(alpha, beta) : quiesce<1>(alpha, beta);
}

} // namespace tervane
