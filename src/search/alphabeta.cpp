#include "eval/eval.h"
#include "search/move_picker.h"
#include "search/quiesce.h"
#include "search/search.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace tervane {

namespace {

constexpr int32_t NULL_MOVE_MIN_DEPTH = 4;
// Too few pieces and zugzwang makes passing a real option, so the null move lies.
constexpr int32_t NULL_MOVE_MIN_PIECES = 5;
constexpr int32_t FIFTY_MOVE_LIMIT = 99;

void remember_killer(Move move) {
    const int32_t ply = pos.ply;
    search_state.killer3[ply] = search_state.killer2[ply];
    search_state.killer2[ply] = search_state.killer1[ply];
    search_state.killer1[ply] = move;
}

} // namespace

void raise_history(Move move, int32_t amount) {
    int32_t& entry = search_state.history[history_index(move)];
    // Saturate: a wrapped entry would turn negative and sink a good move to the bottom.
    entry = entry > std::numeric_limits<int32_t>::max() - amount
                ? std::numeric_limits<int32_t>::max()
                : entry + amount;
    search_state.history_max = std::max(search_state.history_max, entry);
}

void take_child_line(Move move) {
    const int32_t ply = pos.ply;
    auto& line = search_state.pv_table[ply];
    const auto& child_line = search_state.pv_table[ply + 1];
    line[ply] = move;
    const int32_t child_end = search_state.pv_length[ply + 1];
    for (int32_t j = ply + 1; j < child_end; ++j) line[j] = child_line[j];
    search_state.pv_length[ply] = child_end;
}

namespace {

// Whether `Side`, to move after the move just made, is not in check and has two moves: then
// its search on the last full ply extends nothing. The check test notes what make_move will
// ask of this ply, as the search would.
template <int Side> inline bool reply_unextended() {
    return !note_check_status() && steps_and_pushes<Side>() >= 2;
}

// A child's score above alpha: the move gains history and, at beta, a killer place (true:
// the node is cut off), else alpha rises to the score and the node takes the child's line.
inline bool raise_alpha(Move move, int32_t score, int32_t depth, int32_t& alpha, int32_t beta) {
    raise_history(move, depth);
    if (score >= beta) {
        // The board is back as before the move, so an empty to-square means no piece was
        // taken there: en passant counts as quiet, like castling.
        if (pos.board[move_to(move)] == 0) remember_killer(move);
        return true;
    }
    alpha = score;
    take_child_line(move);
    return false;
}

// A move to an empty square: no castling, en passant or promotion.
inline bool is_quiet_step(Move move) {
    const int kind = move_kind(move);
    return (kind == MOVE_NORMAL || kind == MOVE_DOUBLE_PUSH) && pos.board[move_to(move)] == 0;
}

// last_evaluated_piece_count is the one left by the latest evaluation somewhere in the tree,
// which is close enough to this node's material for a zugzwang guard.
inline bool null_move_allowed(bool check, int32_t depth, bool null_ok) {
    return !check && depth >= NULL_MOVE_MIN_DEPTH && !search_state.follow_pv && null_ok &&
           last_evaluated_piece_count >= NULL_MOVE_MIN_PIECES;
}

// A child searched to `depth`: below one ply straight to the quiescence search, as search
// would go itself, without entering it (most children of the last full ply are such).
template <int Side>
inline int32_t search_child(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    return depth < 1 ? quiesce<Side>(alpha, beta) : search<Side>(alpha, beta, depth, null_ok);
}

// The score of passing: the other side moves twice, searched shallower, with a window just
// below beta.
template <int Side>
[[gnu::always_inline]] inline int32_t null_move_score(int32_t beta, int32_t depth) {
    const int32_t ep_square = pos.ep_square;
    const int32_t fifty = pos.fifty;
    pos.fifty = 0;
    pos.ep_square = 0;
    pos.side = static_cast<uint8_t>(1 - Side);
    const int32_t reduction = depth <= 6 ? 3 : 4;
    const int32_t score = -search_child<1 - Side>(-beta, -beta + 1, depth - reduction, false);
    pos.side = static_cast<uint8_t>(Side);
    pos.ep_square = ep_square;
    pos.fifty = fifty;
    return score;
}

// The moves the picker hands out before the list; they are not extended (the picker hands
// none out in check or with a single move). The node's result when one of them ends it.
template <int Side>
[[gnu::always_inline]] inline std::optional<int32_t>
search_moves_before_list(MovePicker& picker, int32_t& alpha, int32_t beta, int32_t depth,
                         bool& made_move) {
    for (Move move; (move = next_move_before_list(picker)) != NO_MOVE;) {
        if (!make_move<Side, Inlining::ALWAYS>(move)) continue;
        if (depth == 2 && !reply_unextended<1 - Side>()) {
            unmake_move();
            hand_back_to_list(picker);
            break;
        }
        count_node();
        made_move = true;
        const int32_t score = -search_child<1 - Side>(-beta, -alpha, depth - 1, true);
        unmake_move();
        if (search_state.stop_flag) return 0;
        if (score <= alpha) continue;
        keep_history_before(picker, move);
        if (raise_alpha(move, score, depth, alpha, beta)) return beta;
    }
    return std::nullopt;
}

// On the last full ply the children are quiescence nodes, which stand pat first: a quiet move
// of the king to a square where it is not attacked, or of another piece from a square where it
// cannot expose the king, leads to a stand-pat score that is known without playing the move,
// and the child would return at once when that score refutes the move.
template <int Side>
[[gnu::always_inline]] inline bool refuted_without_playing(Move move, int32_t alpha,
                                                           bool& quiet_moves_begun) {
    const int from = move_from(move);
    if (!(is_quiet_step(move) &&
          (from == pos.king_square[Side] ? king_step_legal<Side>(move_to(move))
                                         : ((pos.safe_from[pos.ply][Side] >> from) & 1) != 0)))
        return false;
    if (!quiet_moves_begun) {
        begin_quiet_moves();
        quiet_moves_begun = true;
    }
    return score_after_quiet_move(move) <= alpha;
}

// The moves of the list not tried before it, each searched to `child_depth`. The node's result
// when one of them ends it.
template <int Side>
[[gnu::always_inline]] inline std::optional<int32_t>
search_listed_moves(MovePicker& picker, int32_t& alpha, int32_t beta, int32_t depth,
                    int32_t child_depth, bool& made_move) {
    const bool last_full_ply = USE_QUIET_SCORES && child_depth < 1;
    bool quiet_moves_begun = false;
    for (Move move; (move = next_listed_move(picker)) != NO_MOVE;) {
        if (last_full_ply && refuted_without_playing<Side>(move, alpha, quiet_moves_begun)) {
            count_node();
            made_move = true;
            if (search_state.stop_flag) return 0;
            continue;
        }
        if (!make_move<Side, Inlining::ALWAYS>(move)) continue;
        count_node();
        made_move = true;
        const int32_t score = -search_child<1 - Side>(-beta, -alpha, child_depth, true);
        unmake_move();
        if (search_state.stop_flag) return 0;
        if (score <= alpha) continue;
        if (raise_alpha(move, score, depth, alpha, beta)) return beta;
    }
    check_invariant("a node tries each of its moves once",
                    [&] { return each_move_handed_out_once(picker); });
    return std::nullopt;
}

} // namespace

// A node of the main search. The side to move is a constant of each instance, as in the
// quiescence search, so that the generators and make_move are chosen without a test.
template <int Side> int32_t search(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    // Step 1. Stopped, or out of depth or plies: the quiescence search scores the node.
    if (search_state.stop_flag) return 0;
    if (depth < 1 || pos.ply > LAST_MOVING_PLY) return quiesce<Side>(alpha, beta);

    // Step 2. Check, which extends the node and rules out the null move; an empty line.
    const int32_t ply = pos.ply;
    const bool check = note_check_status();
    search_state.pv_length[ply] = ply;

    // Step 3. Null move.
    if (null_move_allowed(check, depth, null_ok)) {
        const int32_t score = null_move_score<Side>(beta, depth);
        if (search_state.stop_flag) return 0;
        if (score >= beta) return beta;
    }

    // Step 4. The moves the list would try first, where they are known without it.
    MovePicker picker;
    begin_picking<Side>(picker, depth, check);
    bool made_move = false;
    if (const auto result = search_moves_before_list<Side>(picker, alpha, beta, depth, made_move))
        return *result;

    // Step 5. The list. A forced reply costs nothing to look at more deeply. Pseudo-legal count
    // on purpose: finding out which moves are legal would cost a make per move.
    generate_list(picker);
    const int32_t extension = check || picker.count == 1 ? 1 : 0;

    // Step 6. The rest of the list.
    if (const auto result =
            search_listed_moves<Side>(picker, alpha, beta, depth, depth - 1 + extension, made_move))
        return *result;

    // Step 7. All moves tried: the fifty-move rule, or without a legal move mate or stalemate.
    if (made_move) return pos.fifty > FIFTY_MOVE_LIMIT ? 0 : alpha;
    return check ? ply - MATE_SCORE : 0;
}

int32_t search(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    return pos.side == 0 ? search<0>(alpha, beta, depth, null_ok)
                         : search<1>(alpha, beta, depth, null_ok);
}

// Only the root asks: inside the tree the keys are not kept up to date.
int32_t repetition_count() {
    const int32_t end = pos.root_ply;
    int32_t start = pos.root_ply - pos.fifty;
    if (start < 0) start = 0;
    int32_t count = 0;
    for (int32_t i = start; i < end; ++i)
        if (pos.hash_history[i] == pos.hash_key) ++count;
    return count;
}

} // namespace tervane
