// The one game state of the engine and the operations that change or examine it.
#pragma once

#include "position/bitboards.h"
#include "position/squares.h"

#include <array>
#include <cstdint>

namespace tervane {

using PieceCode = int32_t; // colour bit | kind bit, 0 = empty
using Move = int32_t;      // from + 64 * to + 4096 * kind, 0 = no move

// Colour and kind bits of a PieceCode.
constexpr PieceCode WHITE = 1;
constexpr PieceCode BLACK = 2;
constexpr PieceCode PAWN = 4;
constexpr PieceCode KNIGHT = 8;
constexpr PieceCode KING = 16;
constexpr PieceCode BISHOP = 32;
constexpr PieceCode ROOK = 64;
constexpr PieceCode QUEEN = 128;

constexpr PieceCode W_PAWN = WHITE | PAWN, B_PAWN = BLACK | PAWN;
constexpr PieceCode W_KNIGHT = WHITE | KNIGHT, B_KNIGHT = BLACK | KNIGHT;
constexpr PieceCode W_KING = WHITE | KING, B_KING = BLACK | KING;
constexpr PieceCode W_BISHOP = WHITE | BISHOP, B_BISHOP = BLACK | BISHOP;
constexpr PieceCode W_ROOK = WHITE | ROOK, B_ROOK = BLACK | ROOK;
constexpr PieceCode W_QUEEN = WHITE | QUEEN, B_QUEEN = BLACK | QUEEN;

constexpr int PIECE_CODES = 131; // tables indexed by PieceCode hold 0..130
constexpr int MAX_PLY = 128;     // depth of the undo stack
// Keys of the game's positions. Far more than any game needs; when it fills up the
// oldest half is dropped (the repetition test never looks that far back).
constexpr int HISTORY_CAPACITY = 16384;
// Set-up keeps at most this many pieces of one colour on the board.
constexpr int MAX_PIECES_PER_SIDE = 16;

// Castling right bits.
constexpr uint8_t CASTLE_WK = 1, CASTLE_WQ = 2, CASTLE_BK = 4, CASTLE_BQ = 8;

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// The state a move changes besides the board, saved whole so that taking a move back is a
// copy rather than a replay in reverse: one block, copied in a few wide moves.
struct BoardState {
    // The board again as square sets, kept in step by make/unmake and rebuilt by
    // count_material: [0] white, [1] black; by kind, both colours (see PAWN_SET...).
    std::array<Bitboard, 2> colour_pieces;
    std::array<Bitboard, 6> kind_pieces;
    std::array<int32_t, 2> material;    // [0] white sum, [1] minus the black sum
    std::array<int32_t, 2> king_square; // [0] white, [1] black
    int32_t ep_square;                  // 0 = none
    int32_t fifty;
    // Sum of the evaluation's piece-square values of all pieces, white's view.
    int32_t square_score;
    uint8_t side; // 0 white, 1 black
    uint8_t castling;
};

// What make_move keeps to take its move back; aligned for the wide moves of the block copy.
struct alignas(64) UndoRecord {
    BoardState state;
    Move move;
    PieceCode captured;
};

struct Position : BoardState {
    std::array<PieceCode, 64> board;
    int32_t ply;
    int32_t root_ply; // valid entries of hash_history
    uint64_t nodes;
    uint64_t hash_key;
    // Per ply and side to move, when note_check_status has found out and the king is not in
    // check: the squares from which a move cannot leave the king attacked (safe_from_squares),
    // never empty. Else 0. A successful make_move clears the next ply's entries, set-up and
    // commit_move clear all: an entry describes the position now at its ply. By side, because
    // a null move hands the same ply to the other side.
    std::array<std::array<Bitboard, 2>, MAX_PLY + 1> safe_from;
    std::array<uint64_t, HISTORY_CAPACITY> hash_history;
    std::array<UndoRecord, MAX_PLY> undo_stack;
};

extern Position pos;

constexpr std::array<int32_t, PIECE_CODES> make_piece_values() {
    std::array<int32_t, PIECE_CODES> v{};
    v[W_PAWN] = v[B_PAWN] = 100;
    v[W_KNIGHT] = v[B_KNIGHT] = 325;
    v[W_BISHOP] = v[B_BISHOP] = 325;
    v[W_ROOK] = v[B_ROOK] = 520;
    v[W_QUEEN] = v[B_QUEEN] = 990;
    v[W_KING] = v[B_KING] = 32;
    return v;
}
constexpr std::array<int32_t, PIECE_CODES> piece_value = make_piece_values();

constexpr std::array<char, PIECE_CODES> make_piece_to_char() {
    std::array<char, PIECE_CODES> c{};
    c[W_PAWN] = 'P', c[B_PAWN] = 'p', c[W_KNIGHT] = 'N', c[B_KNIGHT] = 'n';
    c[W_KING] = 'K', c[B_KING] = 'k', c[W_BISHOP] = 'B', c[B_BISHOP] = 'b';
    c[W_ROOK] = 'R', c[B_ROOK] = 'r', c[W_QUEEN] = 'Q', c[B_QUEEN] = 'q';
    return c;
}
constexpr std::array<char, PIECE_CODES> piece_to_char = make_piece_to_char();

constexpr std::array<PieceCode, 115> make_char_to_piece() {
    std::array<PieceCode, 115> p{};
    for (int code = 0; code < PIECE_CODES; ++code)
        if (piece_to_char[code] != 0) p[static_cast<unsigned char>(piece_to_char[code])] = code;
    return p;
}
constexpr std::array<PieceCode, 115> char_to_piece = make_char_to_piece();

// Piece of a character, 0 for anything that is not one of the twelve letters.
constexpr PieceCode piece_of_char(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < char_to_piece.size() ? char_to_piece[u] : 0;
}

// Where each PieceCode is kept in Position::kind_pieces (0 for the empty square, which
// is never looked up with a non-empty mask).
constexpr std::array<uint8_t, PIECE_CODES> make_kind_set() {
    std::array<uint8_t, PIECE_CODES> k{};
    k[W_PAWN] = k[B_PAWN] = PAWN_SET;
    k[W_KNIGHT] = k[B_KNIGHT] = KNIGHT_SET;
    k[W_KING] = k[B_KING] = KING_SET;
    k[W_BISHOP] = k[B_BISHOP] = BISHOP_SET;
    k[W_ROOK] = k[B_ROOK] = ROOK_SET;
    k[W_QUEEN] = k[B_QUEEN] = QUEEN_SET;
    return k;
}
constexpr std::array<uint8_t, PIECE_CODES> kind_set = make_kind_set();

inline Bitboard occupied_squares() {
    return pos.colour_pieces[0] | pos.colour_pieces[1];
}
// Pieces of one kind (a *_SET index) and one side (0 white, 1 black).
inline Bitboard pieces_of(int side, int kind) {
    return pos.colour_pieces[side] & pos.kind_pieces[kind];
}

// fen.cpp
void set_fen(const char* text);
// Everything kept beside the board (material sums, square sets, the piece-square sum),
// recomputed from the board; for set-up and for code that places pieces by hand.
void count_material();
// Empties the board and starts a new game record, as set-up and a new game do.
void clear_game();
// The square sets and sums kept beside the board, rebuilt from it.
void rebuild_board_sets();
// How far the square sets, the material and piece-square sums and the king squares kept beside
// the board are from what the board says: nothing, unless code that placed pieces by hand (or
// set a sum on purpose) left them so. Make and unmake keep them in step with the board, so the
// drift stays what it was. The position is left as it is.
struct BoardDrift {
    std::array<Bitboard, 2> colour_pieces; // the squares where set and board differ
    std::array<Bitboard, 6> kind_pieces;
    std::array<int32_t, 2> material; // what is kept less what the board holds
    int32_t square_score;
    std::array<bool, 2> king_astray; // the side has a king, and king_square names another square
    bool operator==(const BoardDrift&) const = default;
};
BoardDrift board_drift();
void print_board();

// keys.cpp
struct ZobristKeys {
    std::array<std::array<uint64_t, 64>, PIECE_CODES> piece_keys;
    std::array<uint64_t, 64> ep_keys;
    std::array<uint64_t, 16> castle_keys;
    uint64_t side_key;
};
extern ZobristKeys zobrist;
void init_keys();
uint64_t compute_key();

// make_move.cpp (the inline make and unmake are in make_unmake.h)
bool make_move(Move move);
// Plays a legal move into the game: the position after it becomes the new root.
void commit_move(Move move);

} // namespace tervane
