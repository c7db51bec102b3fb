#include "search/search.h"

namespace tervane {

SearchState search_state;

// Ordering knowledge is per move: a new "go" must not inherit the previous one's history,
// killers or line. The limits, the clock and last_iteration_score belong to the caller.
void reset_search() {
    SearchState& s = search_state;
    s.history.fill(0);
    for (auto& row : s.pv_table) row.fill(0);
    s.killer3.fill(0);
    s.killer2.fill(0);
    s.killer1.fill(0);
    // Deeper entries are written on node entry before they are read, except at the ply cap,
    // where nodes return their static score untouched: their line is empty.
    for (int p = 0; p < 64; ++p) s.pv_length[p] = 0;
    s.pv_length[MAX_PLY] = MAX_PLY;
    s.root_scores.fill(0);
    s.mate_reports = 0;
    pos.nodes = 0;
    s.single_root_move = false;
    s.stop_flag = false;
    s.score_dropped = false;
    s.best_move = 0;
    s.best_score = NEG_INFINITY;
}

} // namespace tervane
