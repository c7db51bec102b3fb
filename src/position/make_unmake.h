// Make and unmake themselves, inline for the search and perft, which call them at every node:
// compiled into their loops they spare a call and its register saves per move. Each caller
// chooses whether they are always compiled in (Inlining). make_move(Move) (position.h) is the
// same function, out of line, for a side to move known only at run time.
#pragma once

#include "platform/build_config.h"
#include "position/check_tests.h"
#include "position/move.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <cstring>

namespace tervane {

namespace detail {

constexpr std::array<PieceCode, 4> WHITE_PROMOTIONS = {W_QUEEN, W_ROOK, W_BISHOP, W_KNIGHT};
constexpr std::array<PieceCode, 4> BLACK_PROMOTIONS = {B_QUEEN, B_ROOK, B_BISHOP, B_KNIGHT};

// Rights that survive a move from or to each square: a king or rook leaving its start
// square, or anything arriving on a rook's corner, ends the rights tied to it.
constexpr std::array<uint8_t, 64> make_castle_keep_mask() {
    std::array<uint8_t, 64> keep{};
    keep.fill(15);
    keep[4] = 15 & ~(CASTLE_WK | CASTLE_WQ);
    keep[60] = 15 & ~(CASTLE_BK | CASTLE_BQ);
    keep[0] = 15 & ~CASTLE_WQ;
    keep[7] = 15 & ~CASTLE_WK;
    keep[56] = 15 & ~CASTLE_BQ;
    keep[63] = 15 & ~CASTLE_BK;
    return keep;
}
constexpr std::array<uint8_t, 64> castle_keep = make_castle_keep_mask();

struct CastlingRook {
    Square from, to;
};
// The rook's jump of a castling move, by the king's to-square (c1, g1, c8, g8; any other
// to-square moves no rook).
constexpr std::array<CastlingRook, 64> make_castling_rooks() {
    std::array<CastlingRook, 64> rooks{};
    rooks[6] = {7, 5};
    rooks[2] = {0, 3};
    rooks[62] = {63, 61};
    rooks[58] = {56, 59};
    return rooks;
}
constexpr std::array<CastlingRook, 64> castling_rooks = make_castling_rooks();

// Indexed by the moving piece's code or'ed with the captured one's: all bits set when the
// half-move clock runs on, 0 when the move resets it. Both colour bits mean a capture.
constexpr std::array<int32_t, 256> make_clock_kept() {
    std::array<int32_t, 256> kept{};
    for (int code = 0; code < 256; ++code) {
        const bool capture = (code & (WHITE | BLACK)) == (WHITE | BLACK);
        kept[code] = capture || (code & PAWN) != 0 ? 0 : -1;
    }
    return kept;
}
constexpr std::array<int32_t, 256> clock_kept = make_clock_kept();

// Castling, en passant and promotions: the kinds that move or change a second piece.
constexpr bool is_special_kind(int kind) {
    constexpr unsigned special = (1u << MOVE_CASTLE) | (1u << MOVE_EN_PASSANT) | 0xF0u;
    return (special >> kind) & 1;
}

// The second part of playing a castling, en passant or promotion: the rook's jump, the pawn
// taken en passant, the promoted piece. Out of line, so that the common path stays short.
template <int Mover> [[gnu::noinline]] void play_special(int kind, int to) {
    constexpr int opponent = 1 - Mover;
    constexpr PieceCode own_rook = Mover == 0 ? W_ROOK : B_ROOK;
    constexpr PieceCode own_pawn = Mover == 0 ? W_PAWN : B_PAWN;
    constexpr PieceCode enemy_pawn = Mover == 0 ? B_PAWN : W_PAWN;
    constexpr int behind = Mover == 0 ? -8 : 8; // from the to-square towards the mover
    auto& b = pos.board;
    switch (kind) {
    case MOVE_CASTLE: {
        const CastlingRook rook = castling_rooks[to];
        if (rook.from != rook.to) {
            b[rook.from] = 0;
            b[rook.to] = own_rook;
            const Bitboard jump = bit(rook.from) | bit(rook.to);
            pos.colour_pieces[Mover] ^= jump;
            pos.kind_pieces[ROOK_SET] ^= jump;
        }
        break;
    }
    case MOVE_EN_PASSANT: {
        const int victim = to + behind;
        b[victim] = 0;
        pos.colour_pieces[opponent] ^= bit(victim);
        pos.kind_pieces[PAWN_SET] ^= bit(victim);
        pos.square_score -= square_value(enemy_pawn, victim);
        if constexpr (Mover == 0)
            pos.material[1] += 100;
        else
            pos.material[0] -= 100;
        break;
    }
    default: {
        const int index = (kind - MOVE_PROMOTE_QUEEN) & 3;
        const PieceCode promoted = Mover == 0 ? WHITE_PROMOTIONS[index] : BLACK_PROMOTIONS[index];
        b[to] = promoted;
        pos.kind_pieces[PAWN_SET] ^= bit(to);
        pos.kind_pieces[kind_set[promoted]] ^= bit(to);
        pos.square_score += square_value(promoted, to) - square_value(own_pawn, to);
        const int gain = piece_value[promoted] - 100;
        if constexpr (Mover == 0)
            pos.material[0] += gain;
        else
            pos.material[1] -= gain;
        break;
    }
    }
}

// Plays the move on the board and the state kept beside it, everything but the undo record,
// the legality test and the side switch, which make_move and commit_move do their own way.
template <int Mover> [[gnu::always_inline]] inline void play_on_board(Move move) {
    constexpr int opponent = 1 - Mover;
    constexpr int behind = Mover == 0 ? -8 : 8; // from the to-square towards the mover
    // Unsigned, as table indices: no sign extension on every lookup.
    const unsigned from = move_from(move), to = move_to(move), kind = move_kind(move);
    auto& b = pos.board;
    const auto piece = static_cast<unsigned>(b[from]);
    const auto captured = static_cast<unsigned>(b[to]);

    // The captured piece, if any, leaves the to-square's bit in its sets; without one the sets
    // lose a bit they do not hold (the empty square's kind_set entry is the pawns').
    const Bitboard from_to = bit(from) | bit(to);
    pos.colour_pieces[Mover] ^= from_to;
    pos.colour_pieces[opponent] &= ~bit(to);
    pos.kind_pieces[kind_set[captured]] &= ~bit(to);
    pos.kind_pieces[kind_set[piece]] ^= from_to;
    pos.square_score +=
        square_values[piece][to] - square_values[piece][from] - square_values[captured][to];

    // A double push is as common as a random pick among the moves: its target goes in without
    // a branch, and only the rare kinds leave the common path.
    pos.ep_square = kind == MOVE_DOUBLE_PUSH ? static_cast<int>(to) + behind : 0;
    if (piece == (Mover == 0 ? W_KING : B_KING)) pos.king_square[Mover] = static_cast<int>(to);
    pos.castling &= castle_keep[from] & castle_keep[to];
    // Pawn moves (promotions included) and captures reset the half-move clock.
    // Without a branch: which moves reset it is as good as random to a predictor.
    pos.fifty = (pos.fifty + 1) & clock_kept[piece | captured];
    if constexpr (Mover == 0)
        pos.material[1] += piece_value[captured];
    else
        pos.material[0] -= piece_value[captured];

    b[to] = static_cast<PieceCode>(piece);
    b[from] = 0;
    if (is_special_kind(static_cast<int>(kind))) [[unlikely]]
        play_special<Mover>(static_cast<int>(kind), static_cast<int>(to));
}

// Whether the move just played by `Mover` at ply p, from a square not known to be safe, left
// its king attacked. Out of line: most moves never ask.
template <int Mover> [[gnu::noinline]] bool left_king_attacked(Move move, int p) {
    const int from = move_from(move), kind = move_kind(move);
    // When the king is known not to be in check, a move of another piece (en passant aside)
    // can only expose it along the line through the square it leaves.
    const bool line_only = pos.safe_from[p][Mover] != 0 && kind != MOVE_EN_PASSANT &&
                           pos.board[move_to(move)] != (Mover == 0 ? W_KING : B_KING);
    return line_only ? king_exposed_from<Mover>(from) : king_attacked<Mover>();
}

// In the checked build the drift between the board and the sets kept beside it, which make and
// unmake leave as it was; elsewhere nothing is looked at.
inline BoardDrift drift_when_checked() {
    if constexpr (CHECKED_BUILD)
        return board_drift();
    else
        return {};
}

// unmake_move's body.
[[gnu::always_inline]] inline void take_back() {
    const BoardDrift drift = drift_when_checked();
    const int p = --pos.ply;
    const UndoRecord& undo = pos.undo_stack[p];
    std::memcpy(static_cast<BoardState*>(&pos), &undo.state, sizeof(BoardState));

    const Move move = undo.move;
    const int from = move_from(move), to = move_to(move), kind = move_kind(move);
    auto& b = pos.board;
    if (is_special_kind(kind)) [[unlikely]] {
        switch (kind) {
        case MOVE_CASTLE: {
            const CastlingRook rook = castling_rooks[to];
            if (rook.from != rook.to) {
                b[rook.from] = b[rook.to];
                b[rook.to] = 0;
            }
            break;
        }
        case MOVE_EN_PASSANT:
            if (undo.state.side == 0)
                b[to - 8] = B_PAWN;
            else
                b[to + 8] = W_PAWN;
            break;
        default:
            b[to] = undo.state.side == 0 ? W_PAWN : B_PAWN;
            break;
        }
    }
    b[from] = b[to];
    b[to] = undo.captured;
    check_invariant("unmake_move keeps the square sets in step with the board",
                    [&] { return board_drift() == drift; });
}

// take_back, compiled in or called as the compiler sees fit.
inline void take_back_as_compiler_sees_fit() {
    take_back();
}

// make_move's body.
template <int Mover> [[gnu::always_inline]] inline bool play(Move move) {
    const BoardDrift drift = drift_when_checked();
    const int p = pos.ply;
    UndoRecord& undo = pos.undo_stack[p];
    std::memcpy(&undo.state, static_cast<const BoardState*>(&pos), sizeof(BoardState));
    undo.move = move;
    undo.captured = pos.board[move_to(move)];
    pos.ply = p + 1;

    play_on_board<Mover>(move);

    // Most moves leave from a square known to be safe and need no test at all (see
    // safe_from_squares); the rest, king moves among them, are tested after the move.
    if (((pos.safe_from[p][Mover] >> move_from(move)) & 1) == 0) [[unlikely]] {
        if (left_king_attacked<Mover>(move, p)) {
            take_back_as_compiler_sees_fit();
            return false;
        }
    }
    pos.side = static_cast<uint8_t>(1 - Mover);
    pos.safe_from[p + 1] = {};
    check_invariant("make_move keeps the square sets in step with the board",
                    [&] { return board_drift() == drift; });
    return true;
}

// play, compiled in or called as the compiler sees fit.
template <int Mover> inline bool play_as_compiler_sees_fit(Move move) {
    return play<Mover>(move);
}

} // namespace detail

// Whether a caller has make_move and unmake_move compiled into itself whatever the compiler
// would decide (ALWAYS), or leaves that to the compiler. The search's loops make their moves
// compiled in; perft's loops take theirs back compiled in, and make them faster as the
// compiler sees fit (compiled in everywhere, make_move made perft 8% slower).
enum class Inlining : uint8_t { COMPILER_CHOICE, ALWAYS };

// Plays a pseudo-legal move of `Mover`, the side to move; false (and the position unchanged)
// when it would leave that side's king attacked.
template <int Mover, Inlining How = Inlining::COMPILER_CHOICE>
[[gnu::always_inline]] inline bool make_move(Move move) {
    if constexpr (How == Inlining::ALWAYS)
        return detail::play<Mover>(move);
    else
        return detail::play_as_compiler_sees_fit<Mover>(move);
}

// Takes back the latest move made by make_move.
template <Inlining How = Inlining::COMPILER_CHOICE>
[[gnu::always_inline]] inline void unmake_move() {
    if constexpr (How == Inlining::ALWAYS)
        detail::take_back();
    else
        detail::take_back_as_compiler_sees_fit();
}

} // namespace tervane
