// What the Position keeps beside its board (square sets, the piece-square sum) and the shortcuts
// that read it: in step with the board through make and unmake, and giving the answers of a plain
// walk over the board.
#include "movegen/movegen.h"
#include "position/piece_square_tables.h"
#include "position/position.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace tervane;

namespace {

struct Derived {
    std::array<Bitboard, 2> colour_pieces;
    std::array<Bitboard, 6> kind_pieces;
    std::array<int32_t, 2> material;
    int32_t square_score;
    bool operator==(const Derived&) const = default;
};

Derived derived() {
    return {pos.colour_pieces, pos.kind_pieces, pos.material, pos.square_score};
}

// The same state counted afresh from the board.
Derived recounted() {
    Derived d{};
    for (Square s = 0; s < 64; ++s) {
        const PieceCode piece = pos.board[s];
        if (piece == 0) continue;
        const int colour = (piece & WHITE) ? 0 : 1;
        d.colour_pieces[colour] |= bit(s);
        d.kind_pieces[kind_set[piece]] |= bit(s);
        d.material[colour] += colour == 0 ? piece_value[piece] : -piece_value[piece];
        d.square_score += square_value(piece, s);
    }
    return d;
}

// Whether the king of `side` is attacked, by walking out from it over the board.
bool attacked_by_walk(int side) {
    const Square k = pos.king_square[side];
    const PieceCode enemy = side == 0 ? BLACK : WHITE;
    const int kf = k % 8, kr = k / 8;
    auto enemy_on = [&](int f, int r, PieceCode kinds) {
        if (f < 0 || f > 7 || r < 0 || r > 7) return false;
        const PieceCode p = pos.board[f + 8 * r];
        return (p & enemy) && (p & kinds);
    };
    for (const auto& [df, dr] :
         {std::pair{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}})
        if (enemy_on(kf + df, kr + dr, KNIGHT)) return true;
    for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr)
            if ((df != 0 || dr != 0) && enemy_on(kf + df, kr + dr, KING)) return true;
    // A pawn attacks diagonally forward; none stands beyond a king on its own last two ranks.
    const int forward = side == 0 ? 1 : -1;
    if (side == 0 ? kr < 6 : kr > 1)
        if (enemy_on(kf - 1, kr + forward, PAWN) || enemy_on(kf + 1, kr + forward, PAWN))
            return true;
    for (const auto& [df, dr] :
         {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}}) {
        const PieceCode sliders = QUEEN | (df != 0 && dr != 0 ? BISHOP : ROOK);
        for (int f = kf + df, r = kr + dr; f >= 0 && f < 8 && r >= 0 && r < 8; f += df, r += dr) {
            const PieceCode p = pos.board[f + 8 * r];
            if (p == 0) continue;
            if ((p & enemy) && (p & sliders)) return true;
            break;
        }
    }
    return false;
}

constexpr const char* GAME_FENS[] = {
    START_FEN,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
};

// Random games through positions with castling, en passant, promotions and checks. At every
// position each pseudo-legal move is made and taken back: make_move's answer is the plain walk's,
// whether or not it knows beforehand that the king is in check, and the state kept beside the
// board is the board's.
TEST(SquareSets, StayInStepWithTheBoardAndAnswerAsTheBoardDoes) {
    std::mt19937 rng(2024);
    int made = 0, refused = 0;
    for (const char* fen : GAME_FENS) {
        for (int game = 0; game < 12; ++game) {
            set_fen(fen);
            ASSERT_EQ(derived(), recounted()) << fen;
            for (int ply = 0; ply < 80; ++ply) {
                ASSERT_EQ(note_check_status(), attacked_by_walk(pos.side)) << fen << " ply " << ply;
                MoveList list;
                gen_moves(list.moves.data(), list.count);
                const Derived before = derived();
                const auto board = pos.board;
                std::vector<Move> legal;
                for (int i = 0; i < list.count; ++i) {
                    const Move m = list.moves[i];
                    const int mover = pos.side;
                    // First with the check status gen_moves left, then without any.
                    const bool accepted = make_move(m);
                    if (accepted) {
                        ASSERT_EQ(derived(), recounted()) << fen << " " << text_of(m);
                        EXPECT_FALSE(attacked_by_walk(mover)) << fen << " " << text_of(m);
                        unmake_move();
                        legal.push_back(m);
                        ++made;
                    } else {
                        ++refused;
                    }
                    ASSERT_EQ(derived(), before) << fen << " " << text_of(m);
                    ASSERT_EQ(pos.board, board) << fen << " " << text_of(m);
                    const auto safe_from = pos.safe_from;
                    pos.safe_from.fill({});
                    const bool tested_in_full = make_move(m);
                    if (tested_in_full) unmake_move();
                    pos.safe_from = safe_from;
                    ASSERT_EQ(accepted, tested_in_full) << fen << " " << text_of(m);
                }
                if (legal.empty()) break;
                ASSERT_TRUE(make_move(legal[rng() % legal.size()]));
            }
        }
    }
    // The games must reach both kinds of answer often enough to mean something.
    EXPECT_GT(made, 20000);
    EXPECT_GT(refused, 500);
}

// Pieces placed by hand are taken into the sets by count_material.
TEST(SquareSets, CountMaterialRebuildsFromTheBoard) {
    set_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    pos.board[sq("d4")] = W_QUEEN;
    pos.board[sq("c6")] = B_KNIGHT;
    pos.board[sq("h2")] = W_PAWN;
    count_material();
    EXPECT_EQ(derived(), recounted());
    EXPECT_EQ(pos.colour_pieces[0], bit(sq("e1")) | bit(sq("d4")) | bit(sq("h2")));
    EXPECT_EQ(pos.kind_pieces[KNIGHT_SET], bit(sq("c6")));
}

} // namespace
