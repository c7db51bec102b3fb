// The search: its limits and tables, the iteration driver, alpha-beta, quiescence and move
// ordering. It prints nothing: it reports through the SearchReporter the front end sets.
#pragma once

#include "movegen/movegen.h"
#include "position/position.h"
#include "search/pick.h"

#include <array>
#include <cstdint>
#include <limits>

namespace tervane {

// Deepest ply from which a move may still be made: the undo stack ends at MAX_PLY. Beyond it
// both searches score the node statically.
constexpr int32_t LAST_MOVING_PLY = MAX_PLY - 1;
// Per-ply tables cover every ply the search can reach: neither search makes a move beyond
// LAST_MOVING_PLY, and the quiescence search returns at once there.
constexpr int SEARCH_PLIES = MAX_PLY + 2;
constexpr int MAX_ITERATIONS = 64;
// The clock is looked at every 1024 nodes, so that a short budget is not overrun by more
// than a fraction of a millisecond; the input every 65536 nodes.
constexpr uint64_t CLOCK_INTERVAL_MASK = 0x3FF;
constexpr uint64_t INPUT_INTERVAL_MASK = 0xFFFF;

// Scores: a mate found at ply p scores MATE_SCORE - p for the side that mates.
constexpr int32_t MATE_SCORE = 1000000;
constexpr int32_t NEG_INFINITY = -1000000;
// Scores beyond this bound (either sign) are mates, reported in moves.
constexpr int32_t MATE_REPORT_BOUND = 999744;

// The moves to the mate that a score beyond MATE_REPORT_BOUND promises: positive when the side
// to move mates, negative when it is mated; 0 for any other score.
constexpr int32_t mate_in_moves(int32_t score) {
    if (score > MATE_REPORT_BOUND) return (MATE_SCORE - score) / 2;
    if (score < -MATE_REPORT_BOUND) return -((score + MATE_SCORE) / 2);
    return 0;
}

// What "go" asks for, and the clock of the search it starts.
struct SearchLimits {
    int32_t depth_limit; // 0: as deep as the iterations go
    bool depth_limited;
    bool no_time_limit;
    double time_budget;  // milliseconds
    double safe_limit;   // ms after the start that the clock allows at most; < 0: no clock
    bool hold_bestmove;  // "infinite" or "ponder": answer only after stop, quit or ponderhit
    bool pondering;      // "ponder": ponderhit turns the search into a timed one
    bool quit_requested; // "quit" arrived during the search
    // The search stops at its first clock look once it has counted this many nodes; 0: no limit.
    uint64_t node_limit;
    // Moves: the iterations end once one finds a mate in this many or fewer; 0: no mate search.
    int32_t mate_limit;
    // A node or mate limit came without the clock: no time limit, after ponderhit too.
    bool clockless;
    // The root searches only search_moves[0 .. search_move_count), legal moves without
    // repeats; a count of 0: every legal move.
    std::array<Move, MAX_MOVES> search_moves;
    int32_t search_move_count;
    // Set by think() when the search starts, and again by ponderhit.
    uint32_t start_time; // milliseconds of the clock
    uint32_t deadline;
};

extern SearchLimits search_limits;

// The search's own tables and results.
struct SearchState {
    std::array<int32_t, std::size_t{64} * 64> history; // by history_index
    int32_t history_max;                               // the largest entry of history
    std::array<std::array<Move, SEARCH_PLIES>, SEARCH_PLIES> pv_table;
    std::array<int32_t, SEARCH_PLIES> pv_length;
    std::array<Move, SEARCH_PLIES> killer1;
    std::array<Move, SEARCH_PLIES> killer2;
    std::array<Move, SEARCH_PLIES> killer3;
    std::array<Move, MAX_MOVES> root_moves;
    std::array<int32_t, MAX_MOVES> root_scores;
    int32_t iteration_depth;
    int32_t best_score;
    int32_t last_iteration_score;
    Move best_move;
    bool score_dropped;
    bool follow_pv;
    bool single_root_move;
    int32_t mate_reports;
    bool stop_flag;
};

extern SearchState search_state;

// Everything the search tells the front end, and the two things it asks of it. Set by the
// front end before think(); QUIET_REPORTER tells nothing and reads no input.
struct SearchReporter {
    // A new best line at the root: its moves are line[0 .. length).
    void (*best_line)(int32_t score, int32_t depth, uint32_t elapsed_ms, uint64_t nodes,
                      const Move* line, int32_t length);
    // The root move about to be searched, numbered from 1.
    void (*current_move)(int32_t depth, Move move, int32_t number);
    void (*iteration_end)(uint32_t elapsed_ms, uint64_t nodes);
    // The answer (0: no legal move), to be played into the game.
    void (*result)(Move best);
    // Every 65536 nodes: input that arrived meanwhile may stop the search (stop_flag).
    void (*poll_input)();
    // After a search that ended by itself under "infinite" or "ponder": returns once stop,
    // quit or ponderhit has released the answer.
    void (*wait_for_release)();
};

extern const SearchReporter QUIET_REPORTER;
extern SearchReporter search_reporter;

// Counts one node; every 1024 nodes the clock and every 65536 the input are looked at.
void poll();
inline void count_node() {
    if ((++pos.nodes & CLOCK_INTERVAL_MASK) == 0) poll();
}

// Forgets the previous game's answer, for a new game.
void reset_search_result();
void reset_search();
void think();
int32_t search_root();
// A new best line at the root, passed on to the reporter.
void report_best_line(int32_t score, int32_t depth);
// The searches of a node below the root, for the side to move: alpha-beta and the quiescence
// search. Each has an instance for either side to move, which the loops of the search call
// (quiesce<Side> is in search/quiesce.h).
int32_t search(int32_t alpha, int32_t beta, int32_t depth, bool null_ok);
template <int Side> int32_t search(int32_t alpha, int32_t beta, int32_t depth, bool null_ok);
int32_t quiesce(int32_t alpha, int32_t beta);
int32_t repetition_count();

// Where a move's count is kept in SearchState::history: one entry per from- and to-square,
// the move's own low bits, so that reading it costs no arithmetic.
constexpr int32_t history_index(Move move) {
    return move & 4095;
}

// History of a move that raised alpha, saturating instead of wrapping.
void raise_history(Move move, int32_t amount);
// The line of the node at the current ply: `move` followed by the line of its child.
void take_child_line(Move move);

void score_moves(const Move* moves, int32_t* scores, int32_t count);
// score_moves for a node that is off the previous iteration's line (follow_pv was false when
// the node began), whatever follow_pv says now.
void score_moves_off_line(const Move* moves, int32_t* scores, int32_t count);
// What score_moves_off_line would give the quiet moves of a list now (moves to an empty square,
// en passant included): none scores above `highest`, none but the first killer above
// `highest_but_first_killer`, and the first killer scores `first_killer` (NO_QUIET_SCORE when
// there is none).
constexpr int32_t NO_QUIET_SCORE = std::numeric_limits<int32_t>::min();
struct QuietScoreBounds {
    int32_t highest;
    int32_t highest_but_first_killer;
    int32_t first_killer;
};
QuietScoreBounds quiet_score_bounds();
void score_captures(const Move* moves, int32_t* scores, int32_t count);
// pick_next_in_turn (search/pick.h): picks the best-scored move of moves[i .. count) and swaps it
// to moves[i], for a loop that picks i = 0, 1, 2, ... in turn from one list.

// The search's clock starts at `now`, its deadline the time budget later: by think(), and
// again by ponderhit.
void start_search_clock(uint32_t now);
// The deadline moved on after a score drop, never past what the clock allows.
uint32_t rearmed_deadline(uint32_t now);

} // namespace tervane
