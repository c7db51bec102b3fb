#include "search/search.h"
#include "uci/platform.h"

#include <cstdio>

namespace tervane {

namespace {

constexpr int32_t MATE_REPORT_BOUND = 999744;
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
    return tick_count() - search_state.start_time;
}

int32_t nodes_per_second(uint32_t elapsed) {
    if (elapsed == 0) return 0;
    return static_cast<int32_t>(pos.nodes / elapsed * 1000);
}

unsigned long long printed_nodes() {
    return static_cast<unsigned long long>(pos.nodes);
}

} // namespace

uint32_t rearmed_deadline(uint32_t now) {
    const SearchState& s = search_state;
    const uint32_t deadline = now + budget_ms(s.time_budget);
    if (s.safe_limit < 0) return deadline;
    // Compared as distances from the start so that a wrap of the tick counter is harmless.
    const uint32_t cap = budget_ms(s.safe_limit);
    if (deadline - s.start_time > cap) return s.start_time + cap;
    return deadline;
}

// Progress lines printed during this search.
int32_t progress_lines = 0;

void print_info(int32_t score, int32_t depth) {
    SearchState& s = search_state;
    ++progress_lines;
    if (score > MATE_REPORT_BOUND || score < -MATE_REPORT_BOUND) ++s.mate_reports;
    if (s.silent) return;
    const uint32_t elapsed = elapsed_ms();
    const int32_t nps = nodes_per_second(elapsed);
    if (score > MATE_REPORT_BOUND) {
        std::printf("info depth %d score mate %d ", depth, (MATE_SCORE - score) / 2);
    } else if (score < -MATE_REPORT_BOUND) {
        std::printf("info depth %d score mate %d ", depth, -((score + MATE_SCORE) / 2));
    } else {
        std::printf("info depth %d score cp %d ", depth, score);
    }
    std::printf("time %d nodes %llu nps %d pv ", static_cast<int>(elapsed), printed_nodes(), nps);
    char text[6];
    for (int32_t j = 1; j < s.pv_length[1]; ++j) {
        move_to_text(s.pv_table[1][j], text);
        std::printf("%s ", text);
    }
    std::printf("\n");
}

int32_t search_root() {
    SearchState& s = search_state;
    int32_t depth = s.iteration_depth;
    int32_t best = NEG_INFINITY;
    s.score_dropped = false;
    s.follow_pv = true;
    pos.ply = 1;
    s.pv_length[1] = 1;
    if (in_check()) ++depth;

    int32_t count = 0;
    gen_legal_moves(s.root_moves.data(), count);
    root_move_count = count;
    score_moves(s.root_moves.data(), s.root_scores.data(), count);

    char text[6];
    for (int32_t i = 0; i < count; ++i) {
        const Move move = pick_next_in_turn(s.root_moves.data(), s.root_scores.data(), i, count);
        make_move(move);
        count_node();
        pos.hash_key = compute_key();
        if (depth >= PROGRESS_MIN_DEPTH && !s.silent) {
            move_to_text(move, text);
            std::printf("info depth %d currmove %s currmovenumber %d\n", depth, text, i + 1);
        }
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
        if (depth >= PROGRESS_MIN_DEPTH) print_info(score, depth);
    }
    return s.best_score;
}

void think() {
    SearchState& s = search_state;
    const uint32_t now = tick_count();
    s.start_time = now;
    s.deadline = now + budget_ms(s.time_budget);
    reset_search();
    if (s.depth_limit == 0) s.depth_limit = MAX_ITERATIONS;
    if (s.depth_limited) s.no_time_limit = true;
    s.iteration_depth = 1;
    progress_lines = 0;
    // The latest root line found, for a timed search too short to have shown one.
    const int32_t check_extension = in_check() ? 1 : 0;
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
        if (!s.no_time_limit && s.iteration_depth >= TIME_TEST_MIN_DEPTH &&
            tick_count() - s.deadline < LATE_ITERATION_MS)
            break;
        // A falling score is worth more time to find a way out.
        if (s.score_dropped) {
            const uint32_t later = tick_count();
            if (later - s.start_time > REARM_AFTER_MS) s.deadline = rearmed_deadline(later);
        }
        const uint32_t elapsed = elapsed_ms();
        if (!s.silent)
            std::printf("info time %d nodes %llu nps %d \n", static_cast<int>(elapsed),
                        printed_nodes(), nodes_per_second(elapsed));
        if (s.iteration_depth >= s.depth_limit || s.stop_flag || s.single_root_move ||
            s.mate_reports > 3)
            break;
        if (++s.iteration_depth > MAX_ITERATIONS) break;
    }

    // Stopped before the first root move was done: the move that was being searched first
    // is still a legal answer, and the best guess there is.
    if (s.best_move == 0 && root_move_count > 0) s.best_move = s.root_moves[0];
    if (s.hold_bestmove && !s.stop_flag) wait_for_release();
    // Interfaces show the score of the move they get: a search cut before its fifth
    // iteration reports its latest line once, before the move.
    if (!s.depth_limited && progress_lines == 0 && line_length > 1) {
        s.pv_length[1] = line_length;
        print_info(line_score, line_depth);
    }
    if (s.best_move == 0) {
        if (!s.silent) std::printf("bestmove 0000\n");
        return;
    }
    char text[6];
    move_to_text(s.best_move, text);
    if (!s.silent) std::printf("bestmove %s\n", text);
    commit_move(s.best_move);
}

} // namespace tervane
