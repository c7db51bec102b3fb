#include "position/piece_square_tables.h"
#include "position/position.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace tervane {

Position pos;

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A field ends at a blank, or where the text or its line ends.
bool ends_field(char c) {
    return c == '\0' || c == ' ' || c == '\n';
}

// Reads the placement field, rank 8 first. A rank ends once eight squares are filled;
// the character after ranks 8 to 2 is the "/" and is skipped unread. Returns the index
// of the character after the placement, or -1 when the text ended inside it.
int read_placement(const char* text) {
    int i = 0;
    std::array<int, 2> placed{};
    for (int rank = 7; rank >= 0; --rank) {
        int file = 0;
        while (file < 8) {
            char c = text[i];
            if (c == '\0') return -1;
            ++i;
            if (c >= '1' && c <= '8') {
                file += c - '0';
                continue;
            }
            Square s = file + 8 * rank;
            ++file;
            PieceCode piece = piece_of_char(c);
            if (piece == 0) continue;
            // A pawn on the first or last rank cannot exist in play, and more than 16
            // pieces of a colour cannot either; both stay off the board.
            if ((piece & PAWN) && (rank == 0 || rank == 7)) continue;
            int colour = (piece & BLACK) ? 1 : 0;
            if (placed[colour] == MAX_PIECES_PER_SIDE) continue;
            ++placed[colour];
            pos.board[s] = piece;
            if (piece == W_KING) pos.king_square[0] = s;
            if (piece == B_KING) pos.king_square[1] = s;
        }
        if (rank > 0) {
            if (text[i] == '\0') return -1;
            ++i;
        }
    }
    return i;
}

// Rights are granted only where king and rook stand on their starting squares.
void read_castling(char c) {
    const auto& b = pos.board;
    if (c == 'K' && b[4] == W_KING && b[7] == W_ROOK) pos.castling |= CASTLE_WK;
    if (c == 'Q' && b[4] == W_KING && b[0] == W_ROOK) pos.castling |= CASTLE_WQ;
    if (c == 'k' && b[60] == B_KING && b[63] == B_ROOK) pos.castling |= CASTLE_BK;
    if (c == 'q' && b[60] == B_KING && b[56] == B_ROOK) pos.castling |= CASTLE_BQ;
}

// An en-passant square counts only where the last move can have been a double push:
// the square passed over is empty and the pawn that made it stands just beyond it.
int32_t checked_ep_square(const char* field, int length) {
    if (length != 2) return 0;
    int file = field[0] - 'a', rank = field[1] - '1';
    if (file < 0 || file > 7 || rank < 0 || rank > 7) return 0;
    Square s = file + 8 * rank;
    if (pos.board[s] != 0) return 0;
    if (pos.side == 0) return rank == 5 && pos.board[s - 8] == B_PAWN ? s : 0;
    return rank == 2 && pos.board[s + 8] == W_PAWN ? s : 0;
}

} // namespace

void set_fen(const char* text) {
    clear_game();
    pos.ep_square = 0;

    int i = read_placement(text);
    // Fields are found by position: exactly one separator between them.
    if (i >= 0 && text[i] != '\0' && text[i + 1] != '\0') {
        i += 1;
        if (text[i] == 'w') pos.side = 0;
        if (text[i] == 'b') pos.side = 1;
        i += 1;
        if (text[i] != '\0' && text[i + 1] != '\0') {
            i += 1;
            for (; !ends_field(text[i]); ++i) read_castling(text[i]);
            if (text[i] == ' ') {
                i += 1;
                int start = i;
                while (!ends_field(text[i])) ++i;
                pos.ep_square = checked_ep_square(text + start, i - start);
                if (text[i] == ' ' && is_digit(text[i + 1])) {
                    int32_t fifty = 0;
                    // Any clock beyond a few hundred means the same; stop before overflow.
                    for (++i; is_digit(text[i]); ++i)
                        fifty = std::min(fifty * 10 + (text[i] - '0'), 100000);
                    pos.fifty = fifty;
                }
            }
        }
    }
    pos.hash_history[0] = compute_key();
    count_material();
}

void clear_game() {
    pos.board.fill(0);
    pos.hash_history.fill(0);
    pos.undo_stack.fill({});
    pos.nodes = 0;
    pos.ply = 0;
    pos.root_ply = 0;
    pos.castling = 0;
    pos.fifty = 0;
    rebuild_board_sets();
}

namespace {

// The square sets and sums kept beside the board, as the board says they are.
struct BoardSums {
    std::array<Bitboard, 2> colour_pieces;
    std::array<Bitboard, 6> kind_pieces;
    std::array<int32_t, 2> material;
    int32_t square_score;
};

BoardSums sums_of_board() {
    BoardSums sums{};
    for (Square s = 0; s < 64; ++s) {
        const PieceCode piece = pos.board[s];
        if (piece == 0) continue;
        const int colour = (piece & WHITE) ? 0 : 1;
        sums.colour_pieces[colour] |= bit(s);
        sums.kind_pieces[kind_set[piece]] |= bit(s);
        sums.material[colour] += colour == 0 ? piece_value[piece] : -piece_value[piece];
        sums.square_score += square_value(piece, s);
    }
    return sums;
}

} // namespace

void count_material() {
    pos.material = sums_of_board().material;
    rebuild_board_sets();
}

void rebuild_board_sets() {
    const BoardSums sums = sums_of_board();
    pos.colour_pieces = sums.colour_pieces;
    pos.kind_pieces = sums.kind_pieces;
    pos.square_score = sums.square_score;
    pos.safe_from.fill({});
}

BoardDrift board_drift() {
    const BoardSums sums = sums_of_board();
    BoardDrift drift{};
    for (int side = 0; side < 2; ++side) {
        drift.colour_pieces[side] = pos.colour_pieces[side] ^ sums.colour_pieces[side];
        drift.material[side] = pos.material[side] - sums.material[side];
        const bool has_king = (sums.kind_pieces[KING_SET] & sums.colour_pieces[side]) != 0;
        drift.king_astray[side] =
            has_king && pos.board[pos.king_square[side]] != (side == 0 ? W_KING : B_KING);
    }
    for (int kind = 0; kind < 6; ++kind)
        drift.kind_pieces[kind] = pos.kind_pieces[kind] ^ sums.kind_pieces[kind];
    drift.square_score = pos.square_score - sums.square_score;
    return drift;
}

void print_board() {
    for (int rank = 7; rank >= 0; --rank) {
        std::printf("%d ", rank + 1);
        for (int file = 0; file < 8; ++file) {
            PieceCode piece = pos.board[file + 8 * rank];
            if (piece == 0)
                std::printf(". ");
            else
                std::printf("%c ", piece_to_char[piece]);
        }
        std::printf("\n");
    }
    std::printf("\n");
    std::printf("  a b c d e f g h \n");
    std::printf(pos.side == 0 ? "turn: W\n" : "turn: B\n");
    std::printf("ply:%d * root_ply:%d * fifty:%d\n", pos.ply, pos.root_ply, pos.fifty);
    std::printf("hash numder: %" PRIu64 "\n", pos.hash_key);
}

} // namespace tervane
