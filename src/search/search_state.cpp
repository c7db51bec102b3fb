#include "search/search.h"

namespace tervane {

SearchLimits search_limits;
SearchState search_state;

namespace {

void tell_no_line(int32_t, int32_t, uint32_t, uint64_t, const Move*, int32_t) {}
void tell_no_move(int32_t, Move, int32_t) {}
void tell_no_iteration(uint32_t, uint64_t) {}
void take_no_result(Move) {}
void read_no_input() {}

} // namespace

const SearchReporter QUIET_REPORTER = {tell_no_line,   tell_no_move,  tell_no_iteration,
                                       take_no_result, read_no_input, read_no_input};
SearchReporter search_reporter = QUIET_REPORTER;

void reset_search_result() {
    search_state.best_move = 0;
}

// Ordering knowledge is per move: a new "go" must not inherit the previous one's history,
// killers or line. The limits, the clock and last_iteration_score belong to the caller.
void reset_search() {
    SearchState& s = search_state;
    s.history.fill(0);
    s.history_max = 0;
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
