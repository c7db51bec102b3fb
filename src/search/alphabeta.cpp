#include "eval/eval.h"
#include "search/search.h"

#include <algorithm>
#include <limits>

namespace tervane {

namespace {

constexpr int32_t LAST_MOVING_PLY = MAX_PLY - 1;
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

template <int Side> int32_t search_as(int32_t alpha, int32_t beta, int32_t depth, bool null_ok);

namespace {

// How many squares the set holds, counting no further than two.
inline int32_t squares_up_to_two(Bitboard b) {
    return b == 0 ? 0 : (b & (b - 1)) == 0 ? 1 : 2;
}

// The moves of `Side` known without generating them: its king's steps and its pawns' pushes
// to empty squares, each kind counted no further than two.
template <int Side> inline int32_t steps_and_pushes() {
    const Bitboard empty = ~occupied_squares();
    const Bitboard pawns = pos.colour_pieces[Side] & pos.kind_pieces[PAWN_SET];
    const Bitboard pushes = Side == 0 ? (pawns << 8) & empty : (pawns >> 8) & empty;
    return squares_up_to_two(king_attacks[pos.king_square[Side]] & empty) +
           squares_up_to_two(pushes);
}

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

} // namespace

// A child searched to `depth`: below one ply straight to the quiescence search, as search_as
// would go itself, without entering it (most children of the last full ply are such).
template <int Side>
inline int32_t search_child(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    return depth < 1 ? quiesce_as<Side>(alpha, beta) : search_as<Side>(alpha, beta, depth, null_ok);
}

// The side to move is a constant of each instance, as in the quiescence search.
template <int Side> int32_t search_as(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    if (search_state.stop_flag) return 0;
    if (depth < 1 || pos.ply > LAST_MOVING_PLY) return quiesce_as<Side>(alpha, beta);

    const int32_t ply = pos.ply;
    const bool check = note_check_status();
    int32_t extension = check ? 1 : 0;
    search_state.pv_length[ply] = ply;

    // last_evaluated_piece_count is the one left by the latest evaluation somewhere in the tree,
    // which is close enough to this node's material for a zugzwang guard.
    if (!check && depth >= NULL_MOVE_MIN_DEPTH && !search_state.follow_pv && null_ok &&
        last_evaluated_piece_count >= NULL_MOVE_MIN_PIECES) {
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
        if (search_state.stop_flag) return 0;
        if (score >= beta) return beta;
    }

    // On the last two full plies a capture or the first killer often refutes the move before:
    // the moves that the full list would try first, as far as they are known without the quiet
    // moves, are tried before those are generated, and only when none cuts off are they. The
    // list then picks the same moves first, and passes over them. It scores as it would have
    // before any move: the history that a move tried before gained is left out meanwhile; a
    // reply's history is kept under from-squares where none of this side's pieces stands, and
    // nothing below writes this ply's killers. Two plies from the end a move is tried before
    // only when its reply cannot be extended, so that the reply's children are quiescence
    // nodes, which write no history. On the line, its move is the one tried before.
    bool on_line = search_state.follow_pv;
    std::array<Move, MAX_EARLY_MOVES> early;
    int32_t tried = 0;
    uint32_t early_legal = 0; // bit i: early[i] was legal
    // The history entries of the moves that raised alpha, and their values before.
    std::array<int32_t, MAX_EARLY_MOVES> raised_entries;
    std::array<int32_t, MAX_EARLY_MOVES> entries_before;
    int32_t raised = 0;
    if (depth <= 2 && !check) {
        std::array<Move, MAX_CAPTURES> captures;
        const auto taking =
            static_cast<int32_t>(generate_captures<Side>(captures.data()) - captures.data());
        // With a second move (of the captures, king steps and pawn pushes) the reply is not
        // forced, and the children are not extended.
        const int32_t early_count = taking + steps_and_pushes<Side>() >= 2
                                        ? early_moves(captures.data(), taking, early.data())
                                        : 0;
        // Whether the list is scored with the line's move first: early_moves may have found it
        // missing here, and left the line before any child could return to it.
        on_line = search_state.follow_pv;
        while (tried < early_count) {
            const Move move = early[tried++];
            if (!make_move_here<Side>(move)) continue;
            if (depth == 2 && !reply_unextended<1 - Side>()) {
                unmake_move();
                --tried;
                break;
            }
            early_legal |= 1U << (tried - 1);
            count_node();
            const int32_t score = -search_child<1 - Side>(-beta, -alpha, depth - 1, true);
            unmake_move();
            if (search_state.stop_flag) return 0;
            if (score <= alpha) continue;
            raised_entries[raised] = history_index(move);
            entries_before[raised++] = search_state.history[history_index(move)];
            if (raise_alpha(move, score, depth, alpha, beta)) return beta;
        }
    }

    std::array<Move, MAX_MOVES> moves;
    std::array<int32_t, MAX_MOVES> scores;
    int32_t count = 0;
    gen_moves(moves.data(), count);
    // While the list is scored the history stands as before the moves tried before raised it:
    // put back latest first, and taken up again in turn, as two promotions share an entry.
    std::array<int32_t, MAX_EARLY_MOVES> entries_after;
    for (int32_t r = raised - 1; r >= 0; --r) {
        entries_after[r] = search_state.history[raised_entries[r]];
        search_state.history[raised_entries[r]] = entries_before[r];
    }
    if (on_line) {
        // The list scores as on the line, where the node was before the moves tried before;
        // a reply among them may have left the line since, and the node stays where it is.
        const bool following = search_state.follow_pv;
        search_state.follow_pv = true;
        score_moves(moves.data(), scores.data(), count);
        if (tried > 0) search_state.follow_pv = following;
    } else
        score_moves_off_line(moves.data(), scores.data(), count);
    for (int32_t r = 0; r < raised; ++r) search_state.history[raised_entries[r]] = entries_after[r];
    // A forced reply costs nothing to look at more deeply. Pseudo-legal count on purpose:
    // finding out which moves are legal would cost a make per move.
    if (count == 1) extension = 1;

    // Children of the last full ply are quiescence nodes, which stand pat first: a quiet move
    // of the king to a square where it is not attacked, or of another piece from a square where
    // it cannot expose the king, leads to a stand-pat score that is known without playing the
    // move, and the child returns at once when that score refutes the move.
    const bool last_full_ply = depth - 1 + extension < 1;
    bool quiet_moves_begun = false;
    bool made_move = false;
    for (int32_t i = 0; i < count; ++i) {
        const Move move = pick_next_in_turn(moves.data(), scores.data(), i, count);
        if (i < tried) {
            made_move = made_move || ((early_legal >> i) & 1) != 0;
            continue;
        }
        if (last_full_ply && is_quiet_step(move) &&
            (move_from(move) == pos.king_square[Side]
                 ? king_step_legal<Side>(move_to(move))
                 : ((pos.safe_from[ply][Side] >> move_from(move)) & 1) != 0)) {
            if (!quiet_moves_begun) {
                begin_quiet_moves();
                quiet_moves_begun = true;
            }
            if (score_after_quiet_move(move) <= alpha) {
                count_node();
                made_move = true;
                if (search_state.stop_flag) return 0;
                continue;
            }
        }
        if (!make_move_here<Side>(move)) continue;
        count_node();
        made_move = true;
        const int32_t score = -search_child<1 - Side>(-beta, -alpha, depth - 1 + extension, true);
        unmake_move();
        if (search_state.stop_flag) return 0;
        if (score <= alpha) continue;
        if (raise_alpha(move, score, depth, alpha, beta)) return beta;
    }

    if (made_move) return pos.fifty > FIFTY_MOVE_LIMIT ? 0 : alpha;
    if (check) return ply - MATE_SCORE;
    return 0;
}

int32_t search(int32_t alpha, int32_t beta, int32_t depth, bool null_ok) {
    return pos.side == 0 ? search_as<0>(alpha, beta, depth, null_ok)
                         : search_as<1>(alpha, beta, depth, null_ok);
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
