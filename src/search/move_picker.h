// The order in which a node of the main search tries its moves, in stages. Near the leaves a
// capture or the first killer often refutes the move before, and the quiet moves need not be
// generated at all: so the moves that the whole list would pick first, as far as they are known
// without the quiet moves, are handed out before the list is generated. Then the list is
// generated, scored as it would have been before any move was tried, and picked from; its first
// picks are the moves handed out already, which it passes over.
//
// The list must score as it would have before those moves were tried. Their own history is
// kept aside (the picker's snapshot); a reply's history sits under from-squares where none of
// this side's pieces stands; nothing below writes this ply's killers. Two plies from the end a
// move is tried before the list only when its reply cannot be extended, so that the reply's
// children are quiescence nodes, which write no history: the node hands such a move back to
// the list.
#pragma once

#include "movegen/captures.h"
#include "platform/build_config.h"
#include "search/search.h"

#include <array>
#include <cstdint>

namespace tervane {

// The moves handed out before the list, at most.
constexpr int32_t MAX_EARLY_MOVES = 8;
// No move: what the picker hands out when a stage (or the node) has no move left.
constexpr Move NO_MOVE = 0;

enum class PickStage : uint8_t {
    // On the previous iteration's line: its move, when the list holds it.
    LINE_MOVE,
    // Off the line: the captures that outrank every quiet move, in the order the list would pick
    // them, as long as that order is certain.
    WINNING_CAPTURES,
    // The first killer, when it outranks every move left.
    KILLER,
    // The rest of the list.
    LIST,
};

struct MovePicker {
    PickStage stage;
    // Whether the list is scored as on the previous iteration's line, as the node was when it
    // began picking (after the line move was looked for).
    bool on_line;
    int32_t tried; // moves handed out before the list
    std::array<Move, MAX_EARLY_MOVES> tried_moves;
    // The history entries that moves tried before the list raised, and their values before.
    int32_t raised;
    std::array<int32_t, MAX_EARLY_MOVES> raised_entries;
    std::array<int32_t, MAX_EARLY_MOVES> entries_before;

    // The stages before the list. Until the list is generated, its arrays hold the captures
    // (generate_captures' list, in gen_moves' order) and their scores (score_moves_off_line's):
    // one frame of the search holds no second list.
    Move line_move;
    QuietScoreBounds quiet_bounds;
    int32_t capture_count;

    // The list.
    int32_t count;
    int32_t next; // the next pick
    std::array<Move, MAX_MOVES> moves;
    std::array<int32_t, MAX_MOVES> scores;
};

namespace detail {

// How many squares the set holds, counting no further than two.
inline int32_t squares_up_to_two(Bitboard b) {
    return b == 0 ? 0 : (b & (b - 1)) == 0 ? 1 : 2;
}

} // namespace detail

// The moves of `Side` known without generating them: its king's steps and its pawns' pushes
// to empty squares, each kind counted no further than two.
template <int Side> inline int32_t steps_and_pushes() {
    const Bitboard empty = ~occupied_squares();
    const Bitboard pawns = pos.colour_pieces[Side] & pos.kind_pieces[PAWN_SET];
    const Bitboard pushes = Side == 0 ? (pawns << 8) & empty : (pawns >> 8) & empty;
    return detail::squares_up_to_two(king_attacks[pos.king_square[Side]] & empty) +
           detail::squares_up_to_two(pushes);
}

// The first stage of a node off or on the line, from the `taking` captures generated into
// picker.moves (move_picker.cpp). May leave the line, as score_moves would.
void choose_first_stage(MovePicker& picker, int32_t taking);

// Starts picking the moves of `Side`, the side to move, at a node of `depth` (not in check when
// `check` is false).
template <int Side>
[[gnu::always_inline]] inline void begin_picking(MovePicker& picker, int32_t depth, bool check) {
    picker.stage = PickStage::LIST;
    picker.tried = 0;
    picker.raised = 0;
    if constexpr (USE_EARLY_MOVES) {
        if (depth <= 2 && !check) {
            Move* const captures = picker.moves.data();
            const auto taking = static_cast<int32_t>(generate_captures<Side>(captures) - captures);
            // With a second move (of the captures, king steps and pawn pushes) the node is not
            // extended, and its moves before the list are searched as deep as the list's.
            if (taking + steps_and_pushes<Side>() >= 2) choose_first_stage(picker, taking);
        }
    }
    picker.on_line = search_state.follow_pv;
}

namespace detail {

[[gnu::always_inline]] inline Move hand_out(MovePicker& picker, Move move) {
    picker.tried_moves[picker.tried++] = move;
    return move;
}

// The next capture that the list would pick now, when it outranks every quiet move and, after
// the first pick, no other capture scores the same: among equal scores the list's choice
// depends on where its earlier picks moved the moves they displaced. The first pick is the
// first of the best, in the list's order as in the captures'.
[[gnu::always_inline]] inline Move next_winning_capture(MovePicker& picker) {
    const int32_t i = picker.tried;
    const int32_t count = picker.capture_count;
    if (i == count || i == MAX_EARLY_MOVES) return NO_MOVE;
    int32_t* const scores = picker.scores.data();
    const Move move = pick_next_in_turn(picker.moves.data(), scores, i, count);
    const int32_t score = scores[i];
    if (score <= picker.quiet_bounds.highest) return NO_MOVE;
    if (i > 0 && first_holding(scores, i + 1, count, score) < count) return NO_MOVE;
    return move;
}

// Whether the first killer outranks every move left: the captures not handed out and every
// other quiet move.
[[gnu::always_inline]] inline bool killer_outranks_the_rest(const MovePicker& picker) {
    const int32_t i = picker.tried;
    const int32_t score = picker.quiet_bounds.first_killer;
    if (i == MAX_EARLY_MOVES || score <= picker.quiet_bounds.highest_but_first_killer) return false;
    const int32_t count = picker.capture_count;
    if (i < count && detail::highest_score(picker.scores.data(), i, count) >= score) return false;
    return lists_quiet_move(search_state.killer1[pos.ply]);
}

} // namespace detail

// The next move to try before the list, or NO_MOVE once the list must be generated.
[[gnu::always_inline]] inline Move next_move_before_list(MovePicker& picker) {
    switch (picker.stage) {
    case PickStage::LINE_MOVE:
        picker.stage = PickStage::LIST;
        return detail::hand_out(picker, picker.line_move);
    case PickStage::WINNING_CAPTURES:
        if (const Move move = detail::next_winning_capture(picker); move != NO_MOVE)
            return detail::hand_out(picker, move);
        picker.stage = PickStage::KILLER;
        [[fallthrough]];
    case PickStage::KILLER:
        picker.stage = PickStage::LIST;
        if (detail::killer_outranks_the_rest(picker))
            return detail::hand_out(picker, search_state.killer1[pos.ply]);
        return NO_MOVE;
    case PickStage::LIST:
        break;
    }
    return NO_MOVE;
}

// The move last handed out goes back to the list, which will hand it out in its turn; no
// move is handed out before the list any more.
inline void hand_back_to_list(MovePicker& picker) {
    --picker.tried;
    picker.stage = PickStage::LIST;
}

// Before a move tried before the list raises its history: the entry as it was, for the list's
// scores.
[[gnu::always_inline]] inline void keep_history_before(MovePicker& picker, Move move) {
    const int32_t entry = history_index(move);
    picker.raised_entries[picker.raised] = entry;
    picker.entries_before[picker.raised++] = search_state.history[entry];
}

// Generates and scores the list, and passes over the moves handed out before it, which are its
// first picks (move_picker.cpp).
void generate_list(MovePicker& picker);

// The next move of the list, or NO_MOVE after the last.
[[gnu::always_inline]] inline Move next_listed_move(MovePicker& picker) {
    if (picker.next == picker.count) return NO_MOVE;
    return pick_next_in_turn(picker.moves.data(), picker.scores.data(), picker.next++,
                             picker.count);
}

// The picker's promise, once the node has tried all its moves: every move of the list was
// handed out once, those before the list as the list's first picks (move_picker.cpp).
bool each_move_handed_out_once(const MovePicker& picker);

} // namespace tervane
