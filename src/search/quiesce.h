// The quiescence search of a node whose side to move is `Side`: its stand pat, then its
// captures. The stand pat is compiled into the loops that search the node's parent, so that
// the many children that stand pat at once end without a call.
#pragma once

#include "eval/eval.h"
#include "search/search.h"

namespace tervane {

// The captures of a node that did not stand pat at or above beta (quiesce.cpp).
template <int Side> int32_t quiesce_captures(int32_t alpha, int32_t beta, int32_t stand);

template <int Side> [[gnu::always_inline]] inline int32_t quiesce(int32_t alpha, int32_t beta) {
    if (search_state.stop_flag) return 0;
    const int32_t ply = pos.ply;
    if (ply > LAST_MOVING_PLY) return evaluate();
    search_state.pv_length[ply] = ply;

    // Standing pat is allowed even in check: checks are not resolved here. The callers compare
    // a score outside the window only with the window, so a bound beyond it serves as well.
    const int32_t stand = evaluate_within(alpha, beta);
    if (stand >= beta) return stand;
    return quiesce_captures<Side>(alpha, beta, stand);
}

} // namespace tervane
