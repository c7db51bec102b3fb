// The bench positions and the node total that fingerprints the engine's behaviour.
#include "movegen/movegen.h"
#include "position/position.h"
#include "uci/bench.h"

#include <gtest/gtest.h>

using namespace tervane;

TEST(Bench, PositionsAreLegalGamePositions) {
    for (const char* fen : BENCH_POSITIONS) {
        set_fen(fen);
        EXPECT_EQ(pos.board[pos.king_square[0]], W_KING) << fen;
        EXPECT_EQ(pos.board[pos.king_square[1]], B_KING) << fen;
        // The side that just moved may not stand in check.
        pos.side ^= 1;
        EXPECT_FALSE(note_check_status()) << fen;
        pos.side ^= 1;
        MoveList legal;
        gen_legal_moves(legal.moves.data(), legal.count);
        EXPECT_GT(legal.count, 0) << fen;
    }
}

// Any change to what the search computes moves this number: update it only for a change
// of behaviour that is meant, never for a speed-up.
TEST(Bench, NodeTotalIsTheEnginesFingerprint) {
    uint64_t total = 0;
    for (const char* fen : BENCH_POSITIONS) total += bench_search(fen, 5);
    EXPECT_EQ(total, 4324286u);
}
