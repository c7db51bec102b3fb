#include "platform/platform.h"
#include "search/search.h"

namespace tervane {

namespace {

constexpr int32_t PROGRESS_MIN_DEPTH = 5; // shallower iterations finish too fast to report
constexpr int32_t SCORE_DROP_MARGIN = 40;
constexpr uint32_t LATE_ITERATION_MS = 1500;
constexpr uint32_t REARM_AFTER_MS = 2000;
constexpr int32_t TIME_TEST_MIN_DEPTH = 6;

// Legal moves of the root, the same in every iteration of one search.
int32_t root_move_count = 0;

uint32_t budget_ms(double budget) {
    return static_cast<uint32_t>(static_cast<int64_t>(budget));
}

uint32_t elapsed_ms() {
    return tick_count() - search_limits.start_time;
}

} // namespace

void poll() {
    const SearchLimits& limits = search_limits;
    // A signed difference, so that a budget below zero or a clock wrap stops at once.
    if (!limits.no_time_limit && static_cast<int32_t>(tick_count() - limits.deadline) > 0) {
        search_state.stop_flag = true;
        return;
    }
    if ((pos.nodes & INPUT_INTERVAL_MASK) == 0 && !search_state.stop_flag)
        search_reporter.poll_input();
}

void start_search_clock(uint32_t now) {
    search_limits.start_time = now;
    search_limits.deadline = now + budget_ms(search_limits.time_budget);
}

uint32_t rearmed_deadline(uint32_t now) {
    const SearchLimits& s = search_limits;
    const uint32_t deadline = now + budget_ms(s.time_budget);
    if (s.safe_limit < 0) return deadline;
    // Compared as distances from the start so that a wrap of the tick counter is harmless.
    const uint32_t cap = budget_ms(s.safe_limit);
    if (deadline - s.start_time > cap) return s.start_time + cap;
    return deadline;
}

// Progress lines reported during this search.
int32_t progress_lines = 0;

void report_best_line(int32_t score, int32_t depth) {
    SearchState& s = search_state;
    ++progress_lines;
    if (score > MATE_REPORT_BOUND || score < -MATE_REPORT_BOUND) ++s.mate_reports;
    search_reporter.best_line(score, depth, elapsed_ms(), pos.nodes, &s.pv_table[1][1],
                              s.pv_length[1] - 1);
}

int32_t search_root() {
    SearchState& s = search_state;
    int32_t depth = s.iteration_depth;
    int32_t best = NEG_INFINITY;
    s.score_dropped = false;
    s.follow_pv = true;
    pos.ply = 1;
    s.pv_length[1] = 1;
    if (note_check_status()) ++depth;

    int32_t count = 0;
    gen_legal_moves(s.root_moves.data(), count);
    root_move_count = count;
    score_moves(s.root_moves.data(), s.root_scores.data(), count);

    for (int32_t i = 0; i < count; ++i) {
        const Move move = pick_next_in_turn(s.root_moves.data(), s.root_scores.data(), i, count);
        make_move(move);
        count_node();
        pos.hash_key = compute_key();
        if (depth >= PROGRESS_MIN_DEPTH) search_reporter.current_move(depth, move, i + 1);
        int32_t score = 0;
        if (repetition_count() > 0) {
            s.pv_length[pos.ply] = pos.ply;
        } else {
            score = -search(NEG_INFINITY, -best, depth - 1, true);
        }
        unmake_move();
        if (s.stop_flag) return 0;
        if (count == 1) s.single_root_move = true;
        if (score <= best) continue;

        raise_history(move, 2 * depth);
        if (score + SCORE_DROP_MARGIN < s.last_iteration_score) s.score_dropped = true;
        s.best_move = move;
        best = score;
        s.best_score = score;
        take_child_line(move);
        if (depth >= PROGRESS_MIN_DEPTH) report_best_line(score, depth);
    }
    return s.best_score;
}

void think() {
    SearchState& s = search_state;
    SearchLimits& limits = search_limits;
    start_search_clock(tick_count());
    reset_search();
    if (limits.depth_limit == 0) limits.depth_limit = MAX_ITERATIONS;
    if (limits.depth_limited) limits.no_time_limit = true;
    s.iteration_depth = 1;
    progress_lines = 0;
    // The latest root line found, for a timed search too short to have shown one.
    const int32_t check_extension = note_check_status() ? 1 : 0;
    int32_t line_depth = 0, line_score = 0, line_length = 1;

    for (;;) {
        const int32_t result = search_root();
        if (s.pv_length[1] > 1) {
            line_depth = s.iteration_depth + check_extension;
            line_score = s.best_score;
            line_length = s.pv_length[1];
        }
        s.best_score = result;
        s.last_iteration_score = result;
        // Past the deadline (the difference wraps to a huge value before it): another
        // iteration would not finish.
        if (!limits.no_time_limit && s.iteration_depth >= TIME_TEST_MIN_DEPTH &&
            tick_count() - limits.deadline < LATE_ITERATION_MS)
            break;
        // A falling score is worth more time to find a way out.
        if (s.score_dropped) {
            const uint32_t later = tick_count();
            if (later - limits.start_time > REARM_AFTER_MS)
                limits.deadline = rearmed_deadline(later);
        }
        search_reporter.iteration_end(elapsed_ms(), pos.nodes);
        if (s.iteration_depth >= limits.depth_limit || s.stop_flag || s.single_root_move ||
            s.mate_reports > 3)
            break;
        if (++s.iteration_depth > MAX_ITERATIONS) break;
    }

    // Stopped before the first root move was done: the move that was being searched first
    // is still a legal answer, and the best guess there is.
    if (s.best_move == 0 && root_move_count > 0) s.best_move = s.root_moves[0];
    if (limits.hold_bestmove && !s.stop_flag) search_reporter.wait_for_release();
    // Interfaces show the score of the move they get: a search cut before its fifth
    // iteration reports its latest line once, before the move.
    if (!limits.depth_limited && progress_lines == 0 && line_length > 1) {
        s.pv_length[1] = line_length;
        report_best_line(line_score, line_depth);
    }
    search_reporter.result(s.best_move);
}

} // namespace tervane
