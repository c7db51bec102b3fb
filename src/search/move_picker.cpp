#include "search/move_picker.h"

#include <algorithm>

namespace tervane {

namespace {

enum class Listed : uint8_t { YES, NO, UNKNOWN };

// Whether the list will hold `move`, from the captures (which the list holds in full) and, for a
// quiet move, from the generator's own test. Castling and quiet promotions only the list knows.
Listed list_holds(Move move, const MovePicker& picker) {
    if (first_holding(picker.moves.data(), 0, picker.capture_count, move) < picker.capture_count)
        return Listed::YES;
    if (pos.board[move_to(move)] != 0) return Listed::NO;
    const int kind = move_kind(move);
    if (kind != MOVE_NORMAL && kind != MOVE_DOUBLE_PUSH && kind != MOVE_EN_PASSANT)
        return Listed::UNKNOWN;
    return lists_quiet_move(move) ? Listed::YES : Listed::NO;
}

} // namespace

void choose_first_stage(MovePicker& picker, int32_t taking) {
    picker.capture_count = taking;
    if (search_state.follow_pv) {
        // On the line its move goes first, if the list holds it; without it the list scores as
        // off the line, and score_moves would leave the line before any move is tried.
        const Move expected = search_state.pv_table[1][pos.ply];
        switch (list_holds(expected, picker)) {
        case Listed::YES:
            picker.line_move = expected;
            picker.stage = PickStage::LINE_MOVE;
            return;
        case Listed::UNKNOWN:
            return;
        case Listed::NO:
            search_state.follow_pv = false;
            break;
        }
    }
    score_moves_off_line(picker.moves.data(), picker.scores.data(), taking);
    picker.quiet_bounds = quiet_score_bounds();
    picker.stage = PickStage::WINNING_CAPTURES;
}

namespace {

// The list's scores, as they would have been before any move was tried: meanwhile the history
// stands as before the moves tried before the list raised it, put back latest first and taken
// up again in turn, as two promotions share an entry.
void score_list(MovePicker& picker) {
    auto& history = search_state.history;
    std::array<int32_t, MAX_EARLY_MOVES> entries_after;
    for (int32_t r = picker.raised - 1; r >= 0; --r) {
        entries_after[r] = history[picker.raised_entries[r]];
        history[picker.raised_entries[r]] = picker.entries_before[r];
    }
    if (picker.on_line) {
        // The list scores as on the line, where the node was before the moves tried before;
        // a reply among them may have left the line since, and the node stays where it is.
        const bool following = search_state.follow_pv;
        search_state.follow_pv = true;
        score_moves(picker.moves.data(), picker.scores.data(), picker.count);
        if (picker.tried > 0) search_state.follow_pv = following;
    } else {
        score_moves_off_line(picker.moves.data(), picker.scores.data(), picker.count);
    }
    for (int32_t r = 0; r < picker.raised; ++r)
        history[picker.raised_entries[r]] = entries_after[r];
}

} // namespace

void generate_list(MovePicker& picker) {
    gen_moves(picker.moves.data(), picker.count);
    score_list(picker);
    for (picker.next = 0; picker.next < picker.tried; ++picker.next) {
        [[maybe_unused]] const Move move =
            pick_next_in_turn(picker.moves.data(), picker.scores.data(), picker.next, picker.count);
        check_invariant("the list picks first the moves tried before it",
                        [&] { return move == picker.tried_moves[picker.next]; });
    }
}

bool each_move_handed_out_once(const MovePicker& picker) {
    if (picker.next != picker.count) return false;
    // The list holds each move once, and handed out those tried before it first.
    std::array<Move, MAX_MOVES> sorted;
    std::copy_n(picker.moves.begin(), picker.count, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + picker.count);
    if (std::adjacent_find(sorted.begin(), sorted.begin() + picker.count) !=
        sorted.begin() + picker.count)
        return false;
    return std::equal(picker.tried_moves.begin(), picker.tried_moves.begin() + picker.tried,
                      picker.moves.begin());
}

} // namespace tervane
