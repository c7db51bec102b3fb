#include "platform/platform.h"
#include "search/search.h"

#include <algorithm>

namespace tervane {

namespace {

constexpr int32_t PROGRESS_MIN_DEPTH = 5; // shallower iterations finish too fast to report
constexpr int32_t SCORE_DROP_MARGIN = 40;
constexpr uint32_t LATE_ITERATION_MS = 1500;
constexpr uint32_t REARM_AFTER_MS = 2000;
constexpr int32_t TIME_TEST_MIN_DEPTH = 6;

// Legal moves of the root, the same in every iteration of one search.
int32_t root_move_count = 0;
// The node limit ended the search: it stops the search as the clock does, but unlike "stop"
// it releases no answer that "infinite" or "ponder" holds.
bool node_limit_reached = false;

uint32_t budget_ms(double budget) {
    return static_cast<uint32_t>(static_cast<int64_t>(budget));
}

uint32_t elapsed_ms() {
    return tick_count() - search_limits.start_time;
}

// "searchmoves": the listed root moves stay, in the order in which the root would take them
// among all. All are picked in turn first, so that moves of equal score keep that order too;
// the new scores keep it in the root's loop. Returns how many stay.
int32_t keep_listed_root_moves(int32_t count) {
    SearchState& s = search_state;
    const SearchLimits& limits = search_limits;
    const Move* listed = limits.search_moves.data();
    const Move* listed_end = listed + limits.search_move_count;
    for (int32_t i = 0; i < count; ++i)
        pick_next_in_turn(s.root_moves.data(), s.root_scores.data(), i, count);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i)
        if (std::find(listed, listed_end, s.root_moves[i]) != listed_end)
            s.root_moves[kept++] = s.root_moves[i];
    for (int32_t i = 0; i < kept; ++i) s.root_scores[i] = kept - i;
    return kept;
}

// "go mate": whether the iteration just finished found a mate in the moves asked for or fewer,
// or searched deep enough to have found one. The mate's last move leaves the mated side to move
// at ply 2 * moves, and a node sees that it has no move only with depth left, so a root depth
// of 2 * moves is the least that sees every such mate (but one that the null move prunes, in a
// zugzwang).
bool mate_search_done(int32_t root_depth) {
    const int32_t moves = search_limits.mate_limit;
    const int32_t found = mate_in_moves(search_state.best_score);
    return (found > 0 && found <= moves) || root_depth >= 2 * moves;
}

} // namespace

void poll() {
    const SearchLimits& limits = search_limits;
    // A signed difference, so that a budget below zero or a clock wrap stops at once.
    if (!limits.no_time_limit && static_cast<int32_t>(tick_count() - limits.deadline) > 0) {
        search_state.stop_flag = true;
        return;
    }
    if (limits.node_limit != 0 && pos.nodes >= limits.node_limit) {
        node_limit_reached = true;
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
    if (search_limits.search_move_count > 0) count = keep_listed_root_moves(count);

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
        // Only a move forced by the rules ends the search early; a move the interface chose
        // to analyse alone is searched like any other.
        if (root_move_count == 1) s.single_root_move = true;
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
    node_limit_reached = false;
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
        // A few reported mate scores end a search: deeper iterations would not change the
        // answer. A mate search goes on, as a shorter quiet mate may lie behind a longer one
        // found early along a line of checks.
        const bool mates_enough = limits.mate_limit > 0
                                      ? mate_search_done(s.iteration_depth + check_extension)
                                      : s.mate_reports > 3;
        if (s.iteration_depth >= limits.depth_limit || s.stop_flag || s.single_root_move ||
            mates_enough)
            break;
        if (++s.iteration_depth > MAX_ITERATIONS) break;
    }

    // Stopped before the first root move was done: the move that was being searched first
    // is still a legal answer, and the best guess there is.
    if (s.best_move == 0 && root_move_count > 0) s.best_move = s.root_moves[0];
    if (node_limit_reached) s.stop_flag = false;
    if (limits.hold_bestmove && !s.stop_flag) search_reporter.wait_for_release();
    // Interfaces show the score of the move they get: a search cut before its fifth
    // iteration reports its latest line once, before the move; so does a mate search under a
    // depth limit, whose score is its answer.
    if ((!limits.depth_limited || limits.mate_limit > 0) && progress_lines == 0 &&
        line_length > 1) {
        s.pv_length[1] = line_length;
        report_best_line(line_score, line_depth);
    }
    search_reporter.result(s.best_move);
}

} // namespace tervane
