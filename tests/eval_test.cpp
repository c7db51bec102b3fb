// Static evaluation and its piece-square tables.
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "position/piece_square_tables.h"
#include "position/position.h"
#include "test_helpers.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tervane {
namespace {

int32_t evaluate_fen(const char* fen) {
    set_fen(fen);
    return evaluate();
}

// The same board scored with white and with black to move.
void expect_both_sides(const char* fen, int32_t white_view) {
    set_fen(fen);
    pos.side = 0;
    EXPECT_EQ(evaluate(), white_view) << fen << " white to move";
    pos.side = 1;
    EXPECT_EQ(evaluate(), -white_view) << fen << " black to move";
}

// ---------------------------------------------------------------------------------------------
// The tables.

TEST(PieceSquareTables, KnownLookups) {
    EXPECT_EQ(pawn_table_white[sq("d2")], -15);
    EXPECT_EQ(pawn_table_white[sq("e2")], -15);
    EXPECT_EQ(pawn_table_white[sq("d4")] - pawn_table_white[sq("d2")], 30);
    EXPECT_EQ(king_table_white[sq("g1")], 10);
    EXPECT_EQ(king_table_white[sq("e1")], -15);
    EXPECT_EQ(king_endgame_table[sq("g1")], 0);
    EXPECT_EQ(king_endgame_table[sq("e1")], 0);
    EXPECT_EQ(bishop_table_white[sq("c1")], -5);
    EXPECT_EQ(bishop_table_white[sq("f1")], -5);
    EXPECT_EQ(bishop_table_black[sq("c8")], -5);
    EXPECT_EQ(bishop_table_black[sq("f8")], -5);
}

TEST(PieceSquareTables, OrientationFollowsThePrintedGrids) {
    // Corners and a few inner squares of each grid, read off the printed grids.
    EXPECT_EQ(pawn_table_white[sq("a7")], 12);
    EXPECT_EQ(pawn_table_white[sq("d6")], 21);
    EXPECT_EQ(pawn_table_white[sq("h3")], 2);
    EXPECT_EQ(knight_table_white[sq("a1")], -15);
    EXPECT_EQ(knight_table_white[sq("b1")], -11);
    EXPECT_EQ(knight_table_white[sq("a2")], -11);
    EXPECT_EQ(knight_table_white[sq("a5")], -6);
    EXPECT_EQ(knight_table_white[sq("a4")], -7);
    EXPECT_EQ(knight_table_white[sq("b8")], -8);
    EXPECT_EQ(bishop_table_white[sq("a3")], -5);
    EXPECT_EQ(bishop_table_white[sq("b8")], -9);
    EXPECT_EQ(bishop_table_black[sq("a6")], -5);
    EXPECT_EQ(bishop_table_black[sq("b1")], -9);
    EXPECT_EQ(queen_table_white[sq("d2")], 8);
    EXPECT_EQ(queen_table_white[sq("h1")], -9);
    EXPECT_EQ(king_table_white[sq("a3")], -15);
    EXPECT_EQ(king_table_white[sq("b3")], -20);
    EXPECT_EQ(king_table_white[sq("d2")], -18);
    EXPECT_EQ(king_table_white[sq("h8")], -70);
    EXPECT_EQ(king_endgame_table[sq("d4")], 27);
    EXPECT_EQ(king_endgame_table[sq("h8")], -9);
    EXPECT_EQ(king_endgame_table[sq("b2")], 10);
}

TEST(PieceSquareTables, PawnTablesAreZeroOnTheBackRanks) {
    for (int f = 0; f < 8; ++f) {
        EXPECT_EQ(pawn_table_white[f], 0);
        EXPECT_EQ(pawn_table_white[56 + f], 0);
        EXPECT_EQ(pawn_table_black[f], 0);
        EXPECT_EQ(pawn_table_black[56 + f], 0);
    }
}

TEST(PieceSquareTables, MirroredBlackTables) {
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(pawn_table_black[s], pawn_table_white[s ^ 56]) << s;
        EXPECT_EQ(knight_table_black[s], knight_table_white[s ^ 56]) << s;
        EXPECT_EQ(queen_table_black[s], queen_table_white[s ^ 56]) << s;
        EXPECT_EQ(king_table_black[s], king_table_white[s ^ 56]) << s;
    }
}

TEST(PieceSquareTables, BlackBishopTableDiffersFromTheMirrorOnFourSquares) {
    std::vector<Square> differing;
    for (Square s = 0; s < 64; ++s)
        if (bishop_table_black[s] != bishop_table_white[s ^ 56]) differing.push_back(s);
    EXPECT_EQ(differing, (std::vector<Square>{sq("d3"), sq("e3"), sq("d5"), sq("e5")}));
    EXPECT_EQ(bishop_table_black[sq("d5")], 8);
    EXPECT_EQ(bishop_table_black[sq("e5")], 8);
    EXPECT_EQ(bishop_table_black[sq("d3")], 9);
    EXPECT_EQ(bishop_table_black[sq("e3")], 9);
}

TEST(PieceSquareTables, SymmetricTables) {
    for (Square s = 0; s < 64; ++s) {
        // Every table is symmetric between the a-h halves; the endgame king table also top-bottom.
        const Square across = s ^ 7;
        EXPECT_EQ(pawn_table_white[s], pawn_table_white[across]) << s;
        EXPECT_EQ(knight_table_white[s], knight_table_white[across]) << s;
        EXPECT_EQ(bishop_table_white[s], bishop_table_white[across]) << s;
        EXPECT_EQ(bishop_table_black[s], bishop_table_black[across]) << s;
        EXPECT_EQ(queen_table_white[s], queen_table_white[across]) << s;
        EXPECT_EQ(king_table_white[s], king_table_white[across]) << s;
        EXPECT_EQ(king_endgame_table[s], king_endgame_table[across]) << s;
        EXPECT_EQ(king_endgame_table[s], king_endgame_table[s ^ 56]) << s;
    }
}

TEST(PieceSquareTables, SquareColour) {
    // 1 light, 0 dark, as a board shows them: each corner on the right of a player is light.
    for (const char* dark :
         {"a1", "c1", "e1", "g1", "b2", "d4", "e5", "h8", "b8", "f8", "a7", "h2"})
        EXPECT_EQ(square_colour[sq(dark)], 0) << dark;
    for (const char* light :
         {"h1", "b1", "d1", "f1", "a2", "d5", "e4", "a8", "c8", "g8", "h7", "f3"})
        EXPECT_EQ(square_colour[sq(light)], 1) << light;
    // Neighbours along a rank or file differ, diagonal neighbours agree: half the board each.
    int light_squares = 0;
    for (Square s = 0; s < 64; ++s) {
        light_squares += square_colour[s];
        if (s % 8 < 7) {
            EXPECT_NE(square_colour[s], square_colour[s + 1]) << s;
        }
        if (s < 56) {
            EXPECT_NE(square_colour[s], square_colour[s + 8]) << s;
        }
        if (s % 8 < 7 && s < 56) {
            EXPECT_EQ(square_colour[s], square_colour[s + 9]) << s;
        }
    }
    EXPECT_EQ(light_squares, 32);
}

// ---------------------------------------------------------------------------------------------
// Worked values.

TEST(Evaluate, StartPositionIsZeroForEitherSide) {
    expect_both_sides(START_FEN, 0);
}

TEST(Evaluate, PieceCountIsFourteenAtTheStart) {
    set_up_position(START_FEN);
    EXPECT_EQ(last_evaluated_piece_count, 0); // a new position resets it
    evaluate();
    EXPECT_EQ(last_evaluated_piece_count, 14);
}

TEST(Evaluate, AfterE4BlackToMove) {
    // +30 pawn table, +30 for the f1 bishop no longer blocked, -8 king shield.
    EXPECT_EQ(evaluate_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), -52);
    EXPECT_EQ(last_evaluated_piece_count, 14);
}

TEST(Evaluate, AfterE4PlayedWithCommitMove) {
    set_fen(START_FEN);
    commit_move(text_to_move("e2e4"));
    EXPECT_EQ(evaluate(), -52);
}

TEST(Evaluate, DoesNotChangeThePosition) {
    const char* fens[] = {
        START_FEN,
        "8/5b2/4k3/8/8/8/3P4/2B1K3 b - - 0 1", // halves the material for its score
        "4k3/8/8/8/8/8/8/3NK3 w - - 0 1",      // early draw return
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    };
    for (const char* fen : fens) {
        set_fen(fen);
        std::vector<unsigned char> before(sizeof(Position));
        std::memcpy(before.data(), &pos, sizeof(Position));
        evaluate();
        EXPECT_EQ(std::memcmp(before.data(), &pos, sizeof(Position)), 0) << fen;
    }
}

// ---- Early draw return and last_evaluated_piece_count.

TEST(Evaluate, EarlyDrawLeavesPieceCountUnchanged) {
    set_fen(START_FEN);
    evaluate();
    ASSERT_EQ(last_evaluated_piece_count, 14);
    // Turn the board into king and knight against king without a new position (which resets the
    // count).
    pos.board.fill(0);
    pos.board[sq("e1")] = W_KING;
    pos.board[sq("d1")] = W_KNIGHT;
    pos.board[sq("e8")] = B_KING;
    pos.king_square = {sq("e1"), sq("e8")};
    count_material();
    EXPECT_EQ(evaluate(), 0);
    EXPECT_EQ(last_evaluated_piece_count, 14);
}

TEST(Evaluate, DrawishMinorPieceEndingsScoreZero) {
    const char* fens[] = {
        "4k3/8/8/8/8/8/8/3NK3 w - - 0 1",   // K+N v K
        "4k3/8/8/8/8/8/8/2B1K3 w - - 0 1",  // K+B v K
        "4k3/8/8/8/8/8/8/2BNK3 w - - 0 1",  // K+B+N v K
        "3nk3/8/8/8/8/8/8/4K3 w - - 0 1",   // K v K+N
        "2b1k3/8/8/8/8/8/8/4K3 b - - 0 1",  // K v K+B
        "2bbk3/8/8/8/8/8/8/3NK3 w - - 0 1", // K+N v K+B+B: white has exactly one knight
        "2b1k3/8/8/8/8/8/8/1NN1K3 w - - 0 1",
    };
    for (const char* fen : fens) {
        set_fen(fen);
        pos.side = 0;
        last_evaluated_piece_count = -1;
        EXPECT_EQ(evaluate(), 0) << fen;
        pos.side = 1;
        EXPECT_EQ(evaluate(), 0) << fen;
        EXPECT_EQ(last_evaluated_piece_count, -1) << fen;
    }
}

TEST(Evaluate, TwoKnightsAgainstKingGetAnOrdinaryScore) {
    // Material 682 - 32, knight tables -8 and -8, endgame king tables 0 - 27.
    EXPECT_EQ(evaluate_fen("8/8/8/4k3/8/8/8/3NKN2 w - - 0 1"), 607);
    EXPECT_EQ(last_evaluated_piece_count, 2);
    EXPECT_EQ(evaluate_fen("8/8/8/4k3/8/8/8/3NKN2 b - - 0 1"), -607);
}

TEST(Evaluate, KingsOnlyAndPawnlessRookEndingAreNotCaught) {
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"), 0);
    EXPECT_EQ(last_evaluated_piece_count, 0);
    // K+R v K: rook on a1 on an open file +25; kings e1 0, e8 0.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1"), 520 + 25);
    EXPECT_EQ(last_evaluated_piece_count, 1);
}

// ---- Opposite-coloured bishops.

TEST(Evaluate, OppositeColouredBishopsHalveTheMaterial) {
    // Material 457 and -357 count as 228 and -178; the positional total is -50.
    set_fen("8/5b2/4k3/8/8/8/3P4/2B1K3 b - - 0 1");
    EXPECT_EQ(evaluate(), 0);
    EXPECT_EQ(pos.material[0], 457);
    EXPECT_EQ(pos.material[1], -357);
    EXPECT_EQ(last_evaluated_piece_count, 2);
    pos.side = 0;
    EXPECT_EQ(evaluate(), 0);
}

TEST(Evaluate, HalvingTruncatesTowardZero) {
    // Two white pawns: material 557 -> 278, -357 -> -178 (odd sums, both rounded toward zero).
    // c1 -5, d2 -15 isolated -20 passed +16; h2 0 isolated -20 passed +16; f7 bishop -6;
    // kings 0 - 20.
    set_fen("8/5b2/4k3/8/8/8/3P3P/2B1K3 w - - 0 1");
    EXPECT_EQ(evaluate(), 278 - 178 - 5 - 15 - 20 + 16 - 20 + 16 - 6 - 20);
    set_fen("8/5b2/4k3/8/8/8/3P3P/2B1K3 b - - 0 1");
    pos.material[1] = -359; // an odd negative sum must give -179, not -180
    EXPECT_EQ(evaluate(), -(278 - 179 - 5 - 15 - 20 + 16 - 20 + 16 - 6 - 20));
}

TEST(Evaluate, SameColouredBishopsDoNotHalve) {
    // Black bishop on e7 (dark, like c1): table 8. Material 457 - 357 = 100.
    // c1 -5, d2 -15 - 20 + 16, e7 -8, kings 0 - 20: positional -52.
    expect_both_sides("8/4b3/4k3/8/8/8/3P4/2B1K3 w - - 0 1", 100 - 52);
}

TEST(Evaluate, AKnightOrRookBesideOppositeBishopsPreventsHalving) {
    // A black knight on a8 (table -15, subtracted): 457 - 682 - 50 + 15.
    expect_both_sides("n7/5b2/4k3/8/8/8/3P4/2B1K3 w - - 0 1", 457 - 682 - 35);
    // A white rook on h1 (open file +25): 977 - 357 - 50 + 25.
    expect_both_sides("8/5b2/4k3/8/8/8/3P4/2B1K2R w - - 0 1", 977 - 357 - 25);
}

TEST(Evaluate, OppositeBishopsWithoutPawnsAreNotHalved) {
    // No pawns, each side exactly one bishop: the early draw return.
    expect_both_sides("8/5b2/4k3/8/8/8/8/2B1K3 w - - 0 1", 0);
}

// ---- Phase switch.

// White king g1, black king e8, both kings alone: the middlegame positional total is 25
// (king g1 10 - 40 - 40 - 36; king e8 -(-15) + 40 + 40 + 36), the endgame total 0.
TEST(Evaluate, PhaseSwitchesExactlyAtTheThreshold) {
    set_fen("4k3/8/8/8/8/8/8/6K1 w - - 0 1");
    pos.material = {2160, -32};
    EXPECT_EQ(evaluate(), 2160 - 32 + 25);
    pos.material = {2159, -32};
    EXPECT_EQ(evaluate(), 2159 - 32);
    pos.material = {32, -2160};
    EXPECT_EQ(evaluate(), 32 - 2160 + 25);
    pos.material = {32, -2159};
    EXPECT_EQ(evaluate(), 32 - 2159);
}

TEST(Evaluate, ThresholdIs1900WhenBothSidesHaveAQueen) {
    // Queens on d1 and d8 read 0 in their tables.
    set_fen("3qk3/8/8/8/8/8/8/3Q2K1 w - - 0 1");
    pos.material = {1900, -1022};
    EXPECT_EQ(evaluate(), 1900 - 1022 + 25);
    pos.material = {1899, -1022};
    EXPECT_EQ(evaluate(), 1899 - 1022);
    pos.material = {1022, -1900};
    EXPECT_EQ(evaluate(), 1022 - 1900 + 25);
    pos.material = {1022, -1899};
    EXPECT_EQ(evaluate(), 1022 - 1899);
    // One queen only: the threshold stays 2160.
    set_fen("4k3/8/8/8/8/8/8/3Q2K1 w - - 0 1");
    pos.material = {2159, -32};
    EXPECT_EQ(evaluate(), 2159 - 32);
    pos.material = {2160, -32};
    EXPECT_EQ(evaluate(), 2160 - 32 + 25);
}

// ---- King shield and the sentinel files.

TEST(Evaluate, WhiteKingOnTheHFileLosesTwelveForTheSentinelFile) {
    // Queens keep it a middlegame (2212 and 2312). White: g2 and h2 passed +37 each; king h1:
    // table 10, no black pawn on h -40, own file 0, g-file 0, sentinel -12.
    // Black: a7 b7 c7 passed -37 each; king b8: -10 + 40 (no white pawn on b), shield 0 0 0.
    EXPECT_EQ(evaluate_fen("1k1qq3/ppp5/8/8/8/8/6PP/3QQ2K w - - 0 1"),
              2212 - 2312 + 74 - 111 + (10 - 40 - 12) + (-10 + 40));
}

TEST(Evaluate, BlackKingOnTheAFileGainsTwelveForTheSentinelFile) {
    // Mirror image of the case above: black king a8 with a7 b7, white king g1 with f2 g2 h2.
    expect_both_sides("k2qq3/pp6/8/8/8/8/5PPP/3QQ1K1 w - - 0 1",
                      2312 - 2212 + 111 - 74 + (10 - 40) + (-10 + 40 + 12));
}

TEST(Evaluate, ShieldPawnsFurtherAhead) {
    // White king g1, pawns f3 g4 h2; black king g8, pawns f7 g7 h7; queens d1/d8 and e1/e8 keep
    // a middlegame. White shield: own file g4 (rank index 3): 4 * (0 - 3) + 4 = -8; h2: 0;
    // f3: 3 * (0 - 2) + 3 = -3. Black shield complete: 0.
    // White pawns: tables f3 3, g4 4, h2 0; none passed (black pawns ahead on f, g, h).
    //   f3 (r 2): backward, e-file rear 6 > 2 and g-file rear 3 > 2: -10 (black pawn on f).
    //   g4 (r 3): f-file rear 2 is not > 3: not backward.
    //   h2 (r 1): backward, g-file rear 3 > 1 and sentinel 6 > 1: -10 (black pawn on h).
    // Black pawns f7 g7 h7: tables 0; none isolated, backward or passed.
    // Kings: white g1 10, black g8 -10; every king file holds pawns of both colours.
    const int32_t material = 32 + 1980 + 300 - (32 + 1980 + 300);
    const int32_t pawns = (3 + 4 + 0) - 10 - 10;
    const int32_t shield = -8 + 0 - 3;
    EXPECT_EQ(evaluate_fen("3qq1k1/5ppp/8/8/6P1/5P2/7P/3QQ1K1 w - - 0 1"),
              material + pawns + 10 + shield - 10);
}

// ---- Passed pawns.

TEST(Evaluate, PassedPawnLevelWithAnEnemyPawnOnTheNeighbouringFile) {
    // e5 white: table 18, isolated -20, passed 16 * 4. d5 black: table -15, isolated +20,
    // passed -16 * 3. Both are passed although they stand level on neighbouring files.
    expect_both_sides("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", 18 - 20 + 64 - 15 + 20 - 48);
}

TEST(Evaluate, PawnBehindAnEnemyPawnOnTheNeighbouringFileIsNotPassed) {
    // e4 white: table 15, isolated -20, not passed (d5 is ahead on a neighbouring file).
    // d5 black: table -15, isolated +20, not passed (e4 is ahead of it from black's side).
    expect_both_sides("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", 15 - 20 - 15 + 20);
}

TEST(Evaluate, EnemyPawnBehindOnTheSameFileDoesNotStopAPassedPawn) {
    // e5 white: 18 - 20 + 64. e3 black: table -21, isolated +20, passed -16 * 5.
    expect_both_sides("4k3/8/8/4P3/8/4p3/8/4K3 w - - 0 1", 18 - 20 + 64 - 21 + 20 - 80);
}

TEST(Evaluate, ConnectedPassedPawnsAndBlockade) {
    // d5: table 18, passed 64, not isolated +25, e-file rearmost one rank behind +30.
    // e4: table 15, backward -10 - 15 (no black pawn on e), passed 48, not isolated +25.
    EXPECT_EQ(evaluate_fen("4k3/8/8/3P4/4P3/8/8/4K3 w - - 0 1"),
              200 + (18 + 64 + 25 + 30) + (15 - 25 + 48 + 25));
    // The black king on d6 blocks d5 (-20) and reads 20 in the endgame king table.
    EXPECT_EQ(evaluate_fen("8/8/3k4/3P4/4P3/8/8/4K3 w - - 0 1"),
              200 + (18 + 64 + 25 + 30) + (15 - 25 + 48 + 25) - 20 - 20);
}

TEST(Evaluate, BlackConnectedPassedPawns) {
    // Colour-reversed image of the white case above.
    EXPECT_EQ(evaluate_fen("4k3/8/8/4p3/3p4/8/8/4K3 b - - 0 1"),
              200 + (18 + 64 + 25 + 30) + (15 - 25 + 48 + 25));
}

TEST(Evaluate, DoubledPawns) {
    // a2 a3 white, kings e1 e8, endgame. a2: table 0, isolated -20, doubled -4, passed +16,
    // blocked by a3 -20. a3: table 2, isolated -20, doubled -4, passed +32 (a4 empty).
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/P7/P7/4K3 w - - 0 1"),
              200 + (0 - 20 - 4 + 16 - 20) + (2 - 20 - 4 + 32));
}

// ---- Bishops.

TEST(Evaluate, BlockedBishopOnTheBackRank) {
    // c1 bishop -5 and blocked by b2 and d2 -30; b2: isolated -20, passed +16;
    // d2: table -15, isolated -20, passed +16.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/8/1P1P4/2B1K3 w - - 0 1"),
              525 - 5 - 30 + (0 - 20 + 16) + (-15 - 20 + 16));
}

TEST(Evaluate, BishopOnTheEdgeFileIsNeverBlocked) {
    // a2 bishop with pawns on b3 (s + 9) and h2 (s + 7): no penalty.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/1P6/B6P/4K3 w - - 0 1"),
              525 - 5 + (2 - 20 + 32) + (0 - 20 + 16));
    // h2 bishop with pawns on g3 (s + 7) and a4 (s + 9): no penalty.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/P7/6P1/7B/4K3 w - - 0 1"),
              525 - 5 + (4 - 20 + 48) + (2 - 20 + 32));
    // Black h7 bishop with pawns a7 (s - 7) and g6 (s - 9): no penalty.
    EXPECT_EQ(evaluate_fen("4k3/p6b/6p1/8/8/8/8/4K3 w - - 0 1"),
              -525 + 5 + (0 + 20 - 16) + (-2 + 20 - 32));
}

TEST(Evaluate, FianchettoAndBishopPair) {
    // Bishops c1 (table -5, met first) and g2 (table 5, king on g1 +15, second bishop +20).
    // Endgame: kings g1 0 and e8 0. Material 32 + 650 - 32.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/8/6B1/2B3K1 w - - 0 1"), 650 + 5 + 15 - 5 + 20);
    // Black mirror: g7 bishop with the king on g8, second bishop c8.
    EXPECT_EQ(evaluate_fen("2b3k1/6b1/8/8/8/8/8/4K3 b - - 0 1"), 650 + 5 + 15 - 5 + 20);
}

// ---- Rooks, knights and queens.

TEST(Evaluate, RookTerms) {
    // White rook on a7 (endgame, black king on rank 8: +60), open file +25. Rook h1 with the
    // king on g1 and a pawn on h2 is penalised only in the middlegame; endgame here.
    // h1 rook: h-file has a white pawn: no file bonus. h2 pawn: isolated -20, passed +16.
    EXPECT_EQ(evaluate_fen("4k3/R7/8/8/8/8/7P/6KR w - - 0 1"),
              32 + 1040 + 100 - 32 + 60 + 25 + (0 - 20 + 16));
    // The same with the black king off rank 8 (e7: endgame table 10): rank 7 gives +10.
    EXPECT_EQ(evaluate_fen("8/R3k3/8/8/8/8/7P/6KR w - - 0 1"),
              32 + 1040 + 100 - 32 + 10 + 25 + (0 - 20 + 16) - 10);
    // Half-open file +20: black pawn on the rook's file, none of white's. Black a6 pawn:
    // table 2 (white's a3), isolated +20, passed -16 * 2 (a5 empty).
    EXPECT_EQ(evaluate_fen("4k3/8/p7/8/8/8/8/R3K3 w - - 0 1"), 552 - 132 + 20 + (-2 + 20 - 32));
}

TEST(Evaluate, RookOnH1BehindTheCastledKingInTheMiddlegame) {
    // Queens d1/d8 and e1/e8 and the rooks keep a middlegame. White: king g1, rook h1, pawns
    // f2 g2 h2. Black: king g8, rook h8, pawns f7 g7 h7: both sides take 45, symmetric.
    expect_both_sides("3qq1kr/5ppp/8/8/8/8/5PPP/3QQ1KR w - - 0 1", 0);
    // Without the black rook: white alone loses 45, black loses 520 material.
    // White rook h1: h-file has a white pawn: no file bonus.
    expect_both_sides("3qq1k1/5ppp/8/8/8/8/5PPP/3QQ1KR w - - 0 1", 520 - 45);
    // A white pawn on h3 instead of h2 still triggers it. h3: table 2, not backward (g-file
    // rear 1 is not > 2), not passed; the shield reads it as 3 * (0 - 2) + 3 = -3 instead of 0.
    expect_both_sides("3qq1k1/5ppp/8/8/8/7P/5PP1/3QQ1KR w - - 0 1", 520 - 45 + 2 - 3);
}

TEST(Evaluate, KnightOutposts) {
    // White knight d5 (table 15) in front of a black pawn on d6 that no black pawn on c or e
    // could ever chase away: +20, +12 on the c- or d-file. Black d6: table 4 (white's d3),
    // isolated +20, passed -16 * 2, blocked by the knight +20.
    EXPECT_EQ(evaluate_fen("4k3/8/3p4/3N4/8/8/8/4K3 w - - 0 1"),
              357 - 132 + 15 + 32 + (-4 + 20 - 32 + 20));
    // On the b-file only +20 (knight table b5 4). Black b6: table 2, isolated, passed, blocked.
    EXPECT_EQ(evaluate_fen("4k3/8/1p6/1N6/8/8/8/4K3 w - - 0 1"),
              357 - 132 + 4 + 20 + (-2 + 20 - 32 + 20));
    // A black pawn on e7 could attack d6 (its rearmost rank 6 > 4): no outpost.
    // d6: table 4, not isolated, not backward (e-file rear 6 is not < 5), passed -32, blocked
    //   +20, not isolated -25, e-file rearmost one rank behind it -30.
    // e7: table -15 (white's e2), backward (d rear 5 < 6, f rear 1 < 6) +10, no white pawn on
    //   e +15, passed -16, not isolated -25.
    EXPECT_EQ(evaluate_fen("4k3/4p3/3p4/3N4/8/8/8/4K3 w - - 0 1"),
              357 - 232 + 15 + (-4 - 32 + 20 - 25 - 30) + (15 + 10 + 15 - 16 - 25));
    // Black knight on e4 in front of a white pawn on e3: -20 (not the c- or d-file); knight
    // table 15 (white's e5). White e3: table 4, isolated -20, passed 32, blocked -20.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/4n3/4P3/8/4K3 w - - 0 1"),
              132 - 357 - 15 - 20 + (4 - 20 + 32 - 20));
}

TEST(Evaluate, QueenOnTheSeventhInTheEndgame) {
    // White queen a7 (table 0) with the black king on h8 (endgame table -9): +50.
    EXPECT_EQ(evaluate_fen("7k/Q7/8/8/8/8/8/4K3 w - - 0 1"), 990 + 50 + 9);
    // Black king on h7 instead (table 0): no bonus.
    EXPECT_EQ(evaluate_fen("8/Q6k/8/8/8/8/8/4K3 w - - 0 1"), 990);
    // Black queen b2 (table 1, white's b7) with the white king on a1 (endgame table -9): -50.
    EXPECT_EQ(evaluate_fen("4k3/8/8/8/8/8/1q6/K7 b - - 0 1"), 990 + 1 + 50 + 9);
}

// ---------------------------------------------------------------------------------------------
// A literal second reading of the evaluation rules, kept apart from the engine's implementation,
// compared with it over many positions reached by random legal play.

struct ReferenceResult {
    bool early_draw;
    int32_t score;
    int32_t pieces;
    bool middlegame;
    bool halved;
};

ReferenceResult reference_evaluate() {
    const auto& b = pos.board;
    auto file = [](int s) { return s % 8; };
    auto rank = [](int s) { return s / 8; };
    int32_t file_pawns[2][10];
    int32_t rear[2][10];
    for (int i = 0; i < 10; ++i) {
        file_pawns[0][i] = file_pawns[1][i] = 0;
        rear[0][i] = 6;
        rear[1][i] = 1;
    }
    std::vector<int> pawn[2], knight[2], rook[2], queen[2];
    int bishops[2] = {0, 0};
    int bishop_colour[2] = {-1, -1};
    int32_t P = 0;
    for (int s = 0; s < 64; ++s) {
        const int f = file(s), r = rank(s);
        switch (b[s]) {
        case W_PAWN:
            file_pawns[0][f + 1]++;
            pawn[0].push_back(s);
            rear[0][f + 1] = std::min(rear[0][f + 1], r);
            P += pawn_table_white[s];
            break;
        case B_PAWN:
            file_pawns[1][f + 1]++;
            pawn[1].push_back(s);
            rear[1][f + 1] = std::max(rear[1][f + 1], r);
            P -= pawn_table_black[s];
            break;
        case W_KNIGHT:
            P += knight_table_white[s];
            knight[0].push_back(s);
            break;
        case B_KNIGHT:
            P -= knight_table_black[s];
            knight[1].push_back(s);
            break;
        case W_BISHOP:
            P += bishop_table_white[s];
            bishops[0]++;
            if (s == sq("g2") && b[sq("g1")] == W_KING) P += 15;
            if (bishops[0] > 1)
                P += 20;
            else
                bishop_colour[0] = square_colour[s];
            if (r <= 1 && f >= 1 && f <= 6 && b[s + 7] == W_PAWN && b[s + 9] == W_PAWN) P -= 30;
            break;
        case B_BISHOP:
            P -= bishop_table_black[s];
            bishops[1]++;
            if (s == sq("g7") && b[sq("g8")] == B_KING) P -= 15;
            if (bishops[1] > 1)
                P -= 20;
            else
                bishop_colour[1] = square_colour[s];
            if (r >= 6 && f >= 1 && f <= 6 && b[s - 7] == B_PAWN && b[s - 9] == B_PAWN) P += 30;
            break;
        case W_ROOK:
            rook[0].push_back(s);
            break;
        case B_ROOK:
            rook[1].push_back(s);
            break;
        case W_QUEEN:
            P += queen_table_white[s];
            queen[0].push_back(s);
            break;
        case B_QUEEN:
            P -= queen_table_black[s];
            queen[1].push_back(s);
            break;
        default:
            break;
        }
    }
    const int threshold = (!queen[0].empty() && !queen[1].empty()) ? 1900 : 2160;
    const bool mg = pos.material[0] >= threshold || pos.material[1] <= -threshold;
    int32_t wm = pos.material[0], bm = pos.material[1];
    bool halved = false;
    const size_t pawns = pawn[0].size() + pawn[1].size();
    const size_t heavy = queen[0].size() + queen[1].size() + rook[0].size() + rook[1].size();
    if (!mg) {
        if (pawns == 0 && heavy == 0 &&
            (knight[0].size() == 1 || bishops[0] == 1 || knight[1].size() == 1 || bishops[1] == 1))
            return {true, 0, 0, false, false};
        if (pawns > 0 && heavy == 0 && knight[0].size() + knight[1].size() == 0 &&
            bishops[0] == 1 && bishops[1] == 1 && bishop_colour[0] != bishop_colour[1]) {
            wm /= 2;
            bm /= 2;
            halved = true;
        }
    }
    auto occupied = [&](int s) { return s >= 0 && s < 64 && b[s] != 0; };
    for (int s : pawn[0]) {
        const int f = file(s), r = rank(s);
        bool isolated = false;
        if (file_pawns[0][f] == 0 && file_pawns[0][f + 2] == 0) {
            P -= mg ? 8 : 20;
            isolated = true;
        } else if (rear[0][f] > r && rear[0][f + 2] > r) {
            P -= 10;
            if (file_pawns[1][f + 1] == 0) P -= 15;
        }
        if (file_pawns[0][f + 1] > 1) P -= 4 * (file_pawns[0][f + 1] - 1);
        if (r >= rear[1][f] && r >= rear[1][f + 1] && r >= rear[1][f + 2]) {
            if (mg) {
                P += 12 * r;
            } else {
                P += 16 * r;
                if (occupied(s + 8)) P -= 20;
            }
            if (!isolated) {
                P += 25;
                if (r - rear[0][f] == 1 || r - rear[0][f + 2] == 1) P += 30;
            }
        }
    }
    for (int s : pawn[1]) {
        const int f = file(s), r = rank(s);
        bool isolated = false;
        if (file_pawns[1][f] == 0 && file_pawns[1][f + 2] == 0) {
            P += mg ? 8 : 20;
            isolated = true;
        } else if (rear[1][f] < r && rear[1][f + 2] < r) {
            P += 10;
            if (file_pawns[0][f + 1] == 0) P += 15;
        }
        if (file_pawns[1][f + 1] > 1) P += 4 * (file_pawns[1][f + 1] - 1);
        if (r <= rear[0][f] && r <= rear[0][f + 1] && r <= rear[0][f + 2]) {
            if (mg) {
                P -= 12 * (7 - r);
            } else {
                P -= 16 * (7 - r);
                if (occupied(s - 8)) P += 20;
            }
            if (!isolated) {
                P -= 25;
                if (rear[1][f] - r == 1 || rear[1][f + 2] - r == 1) P -= 30;
            }
        }
    }
    const int wk = pos.king_square[0], bk = pos.king_square[1];
    if (!mg) {
        for (int s : queen[0])
            if (rank(s) == 6 && rank(bk) == 7) P += 50;
        for (int s : queen[1])
            if (rank(s) == 1 && rank(wk) == 0) P -= 50;
    }
    for (int s : rook[0]) {
        const int f = file(s);
        if (mg && (wk == sq("f1") || wk == sq("g1")) && s == sq("h1") &&
            (b[sq("h2")] == W_PAWN || b[sq("h3")] == W_PAWN))
            P -= 45;
        if (rank(s) == 6) {
            if (mg)
                P += 20;
            else
                P += rank(bk) == 7 ? 60 : 10;
        }
        if (file_pawns[0][f + 1] == 0) P += file_pawns[1][f + 1] == 0 ? 25 : 20;
    }
    for (int s : rook[1]) {
        const int f = file(s);
        if (mg && (bk == sq("f8") || bk == sq("g8")) && s == sq("h8") &&
            (b[sq("h7")] == B_PAWN || b[sq("h6")] == B_PAWN))
            P += 45;
        if (rank(s) == 1) {
            if (mg)
                P -= 20;
            else
                P -= rank(wk) == 0 ? 60 : 10;
        }
        if (file_pawns[1][f + 1] == 0) P -= file_pawns[0][f + 1] == 0 ? 25 : 20;
    }
    for (int s : knight[0]) {
        const int f = file(s), r = rank(s);
        if (r <= 5 && b[s + 8] == B_PAWN && rear[1][f] <= r && rear[1][f + 2] <= r) {
            P += 20;
            if (f == 2 || f == 3) P += 12;
        }
    }
    for (int s : knight[1]) {
        const int f = file(s), r = rank(s);
        if (r >= 2 && b[s - 8] == W_PAWN && rear[0][f] >= r && rear[0][f + 2] >= r) {
            P -= 20;
            if (f == 2 || f == 3) P -= 12;
        }
    }
    if (mg) {
        int f = file(wk), r = rank(wk);
        P += king_table_white[wk];
        if (file_pawns[0][f + 1] == 0) P -= 40;
        if (file_pawns[1][f + 1] == 0) P -= 40;
        if (file_pawns[0][f + 1] > 0 && r < rear[0][f + 1])
            P += 4 * (r - rear[0][f + 1]) + 4;
        else
            P -= 12;
        for (int x : {f + 2, f}) {
            if (file_pawns[0][x] > 0 && r < rear[0][x])
                P += 3 * (r - rear[0][x]) + 3;
            else
                P -= 12;
        }
        f = file(bk), r = rank(bk);
        P -= king_table_black[bk];
        if (file_pawns[1][f + 1] == 0) P += 40;
        if (file_pawns[0][f + 1] == 0) P += 40;
        if (file_pawns[1][f + 1] > 0 && r > rear[1][f + 1])
            P += 4 * (r - rear[1][f + 1]) - 4;
        else
            P += 12;
        for (int x : {f + 2, f}) {
            if (file_pawns[1][x] > 0 && r > rear[1][x])
                P += 3 * (r - rear[1][x]) - 3;
            else
                P += 12;
        }
    } else {
        P += king_endgame_table[wk] - king_endgame_table[bk];
    }
    const int pieces = static_cast<int>(knight[0].size() + knight[1].size() + rook[0].size() +
                                        rook[1].size() + queen[0].size() + queen[1].size()) +
                       bishops[0] + bishops[1];
    const int32_t total = wm + bm + P;
    return {false, pos.side == 0 ? total : -total, pieces, mg, halved};
}

// The board as a FEN placement with the side to move and the material, for failure messages.
std::string describe_position() {
    std::string text;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const PieceCode piece = pos.board[file + 8 * rank];
            if (piece == 0) {
                ++empty;
                continue;
            }
            if (empty > 0) text += static_cast<char>('0' + empty);
            empty = 0;
            text += piece_to_char[piece];
        }
        if (empty > 0) text += static_cast<char>('0' + empty);
        if (rank > 0) text += '/';
    }
    text += pos.side == 0 ? " w" : " b";
    text += " material " + std::to_string(pos.material[0]) + " " + std::to_string(pos.material[1]);
    return text;
}

// How often each form of the evaluation was met, so that the comparisons can show that they
// covered every form.
struct Coverage {
    int early_draws = 0, halved = 0, middlegames = 0, endgames = 0;
};

void expect_matches_reference(const char* where, Coverage& coverage) {
    const ReferenceResult want = reference_evaluate();
    coverage.early_draws += want.early_draw;
    coverage.halved += want.halved;
    coverage.middlegames += want.middlegame;
    coverage.endgames += !want.early_draw && !want.middlegame;
    last_evaluated_piece_count = -12345;
    const int32_t got = evaluate();
    ASSERT_EQ(got, want.score) << where << ": " << describe_position();
    ASSERT_EQ(last_evaluated_piece_count, want.early_draw ? -12345 : want.pieces)
        << where << ": " << describe_position();
    // The eval command's terms: white's less black's add up to the score, in the form that the
    // literal reading takes, and reading them changes nothing the evaluation keeps.
    last_evaluated_piece_count = -12345;
    const EvalBreakdown terms = evaluation_breakdown();
    ASSERT_EQ(last_evaluated_piece_count, -12345);
    int32_t white_view = 0;
    for (int i = 0; i < terms.term_count; ++i)
        white_view += terms.terms[i].values[0] - terms.terms[i].values[1];
    ASSERT_EQ(pos.side == 0 ? white_view : -white_view, got)
        << where << ": " << describe_position();
    ASSERT_EQ(terms.score, got) << where << ": " << describe_position();
    ASSERT_EQ(terms.form, want.early_draw   ? EvalForm::DRAWN_ENDING
                          : want.middlegame ? EvalForm::MIDDLEGAME
                                            : EvalForm::ENDGAME)
        << where << ": " << describe_position();
    ASSERT_EQ(terms.halved_material, want.halved) << where << ": " << describe_position();
    // The windowed form, with windows below, around and above the score: exact inside the
    // window, else a bound of the score on the window's far side of it. Each window twice: with
    // the king terms of these squares remembered from the evaluation above, and forgotten by an
    // evaluation with the kings swapped.
    for (const int32_t offset : {-900, -400, -200, -100, -40, -1, 0, 1, 40, 100, 200, 400, 900}) {
        for (const int32_t width : {1, 60, -60}) {
            const int32_t alpha = want.score + offset, beta = alpha + std::abs(width);
            if (width < 0) {
                std::swap(pos.king_square[0], pos.king_square[1]);
                evaluate();
                std::swap(pos.king_square[0], pos.king_square[1]);
            }
            last_evaluated_piece_count = -12345;
            const int32_t bounded = evaluate_within(alpha, beta);
            const std::string window = std::string(where) + ": " + describe_position() +
                                       " window " + std::to_string(alpha) + " " +
                                       std::to_string(beta);
            if (want.score >= beta) {
                ASSERT_GE(bounded, beta) << window;
                ASSERT_LE(bounded, want.score) << window;
            } else if (want.score <= alpha) {
                ASSERT_LE(bounded, alpha) << window;
                ASSERT_GE(bounded, want.score) << window;
            } else {
                ASSERT_EQ(bounded, want.score) << window;
            }
            ASSERT_EQ(last_evaluated_piece_count, want.early_draw ? -12345 : want.pieces) << window;
        }
    }
    // The positions after the quiet moves of every piece, scored without playing the moves,
    // against evaluate() after each move. Not where a pawn stands on the first or last rank,
    // which no game reaches and the move generator does not expect.
    if ((pos.kind_pieces[PAWN_SET] & (RANK_1 | RANK_8)) != 0) return;
    last_evaluated_piece_count = -12345;
    begin_quiet_moves();
    ASSERT_EQ(last_evaluated_piece_count, -12345) << where << ": " << describe_position();
    MoveList list;
    gen_moves(list.moves.data(), list.count);
    for (int32_t i = 0; i < list.count; ++i) {
        const Move move = list.moves[i];
        const int kind = move_kind(move);
        if ((kind != MOVE_NORMAL && kind != MOVE_DOUBLE_PUSH) || pos.board[move_to(move)] != 0)
            continue;
        last_evaluated_piece_count = -12345;
        const int32_t predicted = score_after_quiet_move(move);
        const int32_t predicted_count = last_evaluated_piece_count;
        if (!make_move(move)) continue;
        last_evaluated_piece_count = -12345;
        const int32_t after = evaluate();
        const int32_t after_count = last_evaluated_piece_count;
        unmake_move();
        ASSERT_EQ(predicted, -after) << where << ": " << describe_position() << " move " << move;
        ASSERT_EQ(predicted_count, after_count) << where << ": " << describe_position();
    }
}

// Boards on which the terms that the windowed form bounds reach the bound's extremes: rooks on
// the seventh rank on open files, knights on outposts on the c- and d-files, a shut-in h-rook,
// the shelter of a king on an open file with its neighbouring pawns far advanced; each colour,
// either side to move, endgame and middlegame.
TEST(Evaluate, WindowedFormOnBoardsAtTheBoundsExtremes) {
    Coverage coverage;
    for (const char* fen : {
             "4k3/RR6/2p5/2N5/8/8/8/4K3 w - - 0 1",
             "4k3/8/8/8/2n5/2P5/rr6/4K3 w - - 0 1",
             "6kr/RR5p/2p5/2N5/8/8/8/4K2Q w - - 0 1",
             "4k2q/8/8/8/2n5/2P5/rr5P/6KR w - - 0 1",
             "4k3/RR6/2p5/2N5/1p6/8/PPPp1p2/1K5Q w - - 0 1",
             "1k5q/pppP1P2/8/1P6/2n5/2P5/rr6/4K3 w - - 0 1",
             // Forgotten king terms at the bound's extreme, with the shut-in h-rook: the
             // shelter of the king on f8 (f1) is the worst there is, the other king's the best.
             "3q1k1r/1p5p/8/8/8/8/PPP1p1p1/1K1Q4 w - - 0 1",
             "1k1q4/ppp1P1P1/8/8/8/8/1P5P/3Q1K1R w - - 0 1",
         }) {
        for (const uint8_t side : {0, 1}) {
            set_fen(fen);
            pos.side = side;
            expect_matches_reference(fen, coverage);
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(coverage.early_draws, 0);
}

TEST(Evaluate, MatchesTheLiteralReadingOverRandomGames) {
    const char* fens[] = {
        START_FEN,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
        "4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1",
        "2b1kb2/pppppppp/8/8/8/8/PPPPPPPP/2B1KB2 w - - 0 1",
        "1n2k1n1/pppppppp/8/8/8/8/PPPPPPPP/1N2K1N1 w - - 0 1",
    };
    std::mt19937 rng(20240607);
    int positions = 0;
    Coverage coverage;
    for (const char* fen : fens) {
        for (int game = 0; game < 12; ++game) {
            set_fen(fen);
            for (int ply = 0; ply < 120; ++ply) {
                expect_matches_reference(fen, coverage);
                if (HasFatalFailure()) return;
                ++positions;
                MoveList list;
                gen_legal_moves(list.moves.data(), list.count);
                if (list.count == 0) break;
                // Prefer captures now and then so that games reach sparse endings.
                Move move = list.moves[rng() % list.count];
                for (int tries = 0; tries < 3 && pos.board[move_to(move)] == 0; ++tries)
                    move = list.moves[rng() % list.count];
                ASSERT_TRUE(make_move(move));
            }
        }
    }
    EXPECT_GT(positions, 5000);
    EXPECT_GT(coverage.middlegames, 1000);
    EXPECT_GT(coverage.endgames, 1000);
}

// Positions that random play rarely reaches: pieces on any square, pawns on the back ranks
// (only a FEN can put them there), the endgame material rules, many queens.
TEST(Evaluate, MatchesTheLiteralReadingOnConstructedBoards) {
    std::mt19937 rng(7);
    const std::vector<PieceCode> recipes[] = {
        {W_PAWN, B_PAWN, W_KNIGHT, B_KNIGHT, W_BISHOP, B_BISHOP, W_ROOK, B_ROOK, W_QUEEN, B_QUEEN},
        {W_PAWN, B_PAWN, W_PAWN, B_PAWN, W_BISHOP, B_BISHOP},               // opposite bishops
        {W_KNIGHT, B_KNIGHT, W_BISHOP, B_BISHOP},                           // minor-piece endings
        {W_PAWN, B_PAWN, W_PAWN, B_PAWN, W_ROOK, B_ROOK, W_QUEEN, B_QUEEN}, // heavy pieces
    };
    Coverage coverage;
    for (int trial = 0; trial < 40000; ++trial) {
        const std::vector<PieceCode>& kinds = recipes[trial % 4];
        set_fen("8/8/8/8/8/8/8/8 w - - 0 1");
        const int count = static_cast<int>(rng() % (trial % 4 == 1 ? 6 : 24));
        for (int i = 0; i < count; ++i) pos.board[rng() % 64] = kinds[rng() % kinds.size()];
        // One bishop each, on squares of opposite colours or not, half the time.
        if (trial % 4 == 1 && trial % 8 < 4) {
            for (PieceCode& piece : pos.board)
                if (piece == W_BISHOP || piece == B_BISHOP) piece = 0;
            pos.board[rng() % 64] = W_BISHOP;
            pos.board[rng() % 64] = B_BISHOP;
        }
        for (int colour = 0; colour < 2; ++colour) {
            // Castled kings now and then, so that the shield and h-rook terms meet pawns.
            const Square castled[] = {6, 5, 2, 62, 61, 58, 7, 56, 0, 63};
            Square king;
            do king = static_cast<Square>(rng() % 3 == 0 ? castled[rng() % 10] : rng() % 64);
            while (pos.board[king] == W_KING);
            pos.board[king] = colour == 0 ? W_KING : B_KING;
            pos.king_square[colour] = king;
        }
        pos.side = static_cast<uint8_t>(rng() % 2);
        count_material();
        if (trial % 7 == 0) pos.material[0] += 2000; // the middlegame form for thin boards
        expect_matches_reference("constructed board", coverage);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(coverage.early_draws, 500);
    EXPECT_GT(coverage.halved, 500);
    EXPECT_GT(coverage.middlegames, 5000);
    EXPECT_GT(coverage.endgames, 5000);
}

} // namespace
} // namespace tervane
