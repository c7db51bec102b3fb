#include "movegen/move.h"
#include "position/position.h"

#include <algorithm>

namespace tervane {

namespace {

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

// Plays the move on the board and the scalar state, everything but the undo record,
// the legality test and the side switch, which make_move and commit_move do their own way.
inline void play_on_board(Move move) {
    const int from = move_from(move), to = move_to(move), kind = move_kind(move);
    auto& b = pos.board;
    PieceCode piece = b[from];
    const PieceCode captured = b[to];
    const int mover = pos.side;

    pos.ep_square = 0;
    if (piece == W_KING) pos.king_square[0] = to;
    if (piece == B_KING) pos.king_square[1] = to;

    switch (kind) {
    case MOVE_NORMAL:
        break;
    case MOVE_CASTLE:
        if (to == 6) b[7] = 0, b[5] = W_ROOK;
        if (to == 2) b[0] = 0, b[3] = W_ROOK;
        if (to == 62) b[63] = 0, b[61] = B_ROOK;
        if (to == 58) b[56] = 0, b[59] = B_ROOK;
        break;
    case MOVE_EN_PASSANT:
        if (mover == 0) {
            b[to - 8] = 0;
            pos.material[1] += 100;
        } else {
            b[to + 8] = 0;
            pos.material[0] -= 100;
        }
        break;
    case MOVE_DOUBLE_PUSH:
        pos.ep_square = mover == 0 ? to - 8 : to + 8;
        break;
    default: {
        const int index = (kind - MOVE_PROMOTE_QUEEN) & 3;
        piece = mover == 0 ? WHITE_PROMOTIONS[index] : BLACK_PROMOTIONS[index];
        const int gain = piece_value[piece] - 100;
        if (mover == 0)
            pos.material[0] += gain;
        else
            pos.material[1] -= gain;
        break;
    }
    }

    if (pos.castling != 0) pos.castling &= castle_keep[from] & castle_keep[to];

    // b[from] still holds the piece that moved, the pawn of a promotion included.
    if ((b[from] & PAWN) || captured != 0)
        pos.fifty = 0;
    else
        pos.fifty += 1;

    if (mover == 0)
        pos.material[1] += piece_value[captured];
    else
        pos.material[0] -= piece_value[captured];

    b[to] = piece;
    b[from] = 0;
}

} // namespace

bool make_move(Move move) {
    const int p = pos.ply;
    pos.move_stack[p] = move;
    UndoRecord& undo = pos.undo_stack[p];
    undo.captured = pos.board[move_to(move)];
    undo.ep_square = pos.ep_square;
    undo.fifty = pos.fifty;
    undo.material = pos.material;
    undo.king_square = pos.king_square;
    undo.side = pos.side;
    undo.castling = pos.castling;
    pos.ply = p + 1;

    play_on_board(move);

    if (in_check()) {
        unmake_move();
        return false;
    }
    pos.side = static_cast<uint8_t>(1 - pos.side);
    return true;
}

void unmake_move() {
    const int p = --pos.ply;
    const Move move = pos.move_stack[p];
    const UndoRecord& undo = pos.undo_stack[p];
    pos.castling = undo.castling;
    pos.ep_square = undo.ep_square;
    pos.fifty = undo.fifty;
    pos.material = undo.material;
    pos.side = undo.side;

    const int from = move_from(move), to = move_to(move), kind = move_kind(move);
    auto& b = pos.board;
    switch (kind) {
    case MOVE_NORMAL:
    case MOVE_DOUBLE_PUSH:
        break;
    case MOVE_CASTLE:
        if (to == 6) b[7] = W_ROOK, b[5] = 0;
        if (to == 2) b[0] = W_ROOK, b[3] = 0;
        if (to == 62) b[63] = B_ROOK, b[61] = 0;
        if (to == 58) b[56] = B_ROOK, b[59] = 0;
        break;
    case MOVE_EN_PASSANT:
        if (undo.side == 0)
            b[to - 8] = B_PAWN;
        else
            b[to + 8] = W_PAWN;
        break;
    default:
        b[to] = undo.side == 0 ? W_PAWN : B_PAWN;
        break;
    }
    b[from] = b[to];
    b[to] = undo.captured;
    pos.king_square = undo.king_square;
}

void commit_move(Move move) {
    play_on_board(move);
    pos.side = static_cast<uint8_t>(1 - pos.side);
    if (pos.root_ply == HISTORY_CAPACITY) {
        // Keep the recent half: the repetition test never reaches further back.
        constexpr int kept = HISTORY_CAPACITY / 2;
        std::copy(pos.hash_history.end() - kept, pos.hash_history.end(), pos.hash_history.begin());
        pos.root_ply = kept;
    }
    pos.hash_history[pos.root_ply] = compute_key();
    pos.root_ply += 1;
}

} // namespace tervane
