// The search: move ordering, quiescence, alpha-beta and the iteration driver.
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "position/position.h"
#include "search/search.h"
#include "test_helpers.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace tervane {
namespace {

constexpr Move mv(const char* from, const char* to, int kind = MOVE_NORMAL) {
    return move_word(sq(from), sq(to), kind);
}
int32_t& history_of(Move move) {
    return search_state.history[history_index(move)];
}

// The state a node below the root sees early in a fresh "go".
void set_up(const char* fen) {
    set_up_position(fen);
    reset_search();
    // Searches here count nodes: no clock may cut them short, whatever ran before.
    search_limits.no_time_limit = true;
    search_state.iteration_depth = 1;
    search_state.follow_pv = false;
    pos.ply = 1;
}

// Node count of a call made from a fresh search state; the Position must come back intact.
uint64_t nodes_of(const std::function<void()>& call) {
    reset_search();
    search_limits.no_time_limit = true;
    search_state.iteration_depth = 1;
    search_state.follow_pv = false;
    const Position before = pos;
    call();
    // The input stays out of it: it is looked at every 65536 nodes.
    EXPECT_LT(pos.nodes, INPUT_INTERVAL_MASK);
    EXPECT_EQ(pos.board, before.board);
    EXPECT_EQ(pos.side, before.side);
    EXPECT_EQ(pos.ep_square, before.ep_square);
    EXPECT_EQ(pos.fifty, before.fifty);
    EXPECT_EQ(pos.ply, before.ply);
    return pos.nodes;
}

// ---------------------------------------------------------------------------------------------
// Move ordering

TEST(MoveOrdering, SelectionExchangesRatherThanShifts) {
    constexpr Move A = 1, B = 2, C = 3, D = 4;
    std::array<Move, 4> moves{A, B, C, D};
    std::array<int32_t, 4> scores{5, 7, 5, 7};
    std::vector<Move> order;
    for (int32_t i = 0; i < 4; ++i)
        order.push_back(pick_next_in_turn(moves.data(), scores.data(), i, 4));
    EXPECT_EQ(order, (std::vector<Move>{B, D, C, A}));
    // The scores travel with their moves.
    EXPECT_EQ(scores, (std::array<int32_t, 4>{7, 7, 5, 5}));

    std::array<Move, 3> lowest{A, B, C};
    std::array<int32_t, 3> lowest_scores{-3072, -3072, -3072};
    EXPECT_EQ(pick_next_in_turn(lowest.data(), lowest_scores.data(), 0, 3), A);
    EXPECT_EQ(pick_next_in_turn(lowest.data(), lowest_scores.data(), 2, 3), C);
}

// White: Ke1, Qa4, Pe5. Black: Kh8, Qd2, Pa7, Pd5 just pushed (en passant on d6).
constexpr const char* ORDERING_FEN = "7k/p7/8/3pP3/Q7/8/3q4/4K3 w - d6 0 1";
constexpr Move KING_TAKES_QUEEN = mv("e1", "d2");
constexpr Move QUEEN_TAKES_PAWN = mv("a4", "a7");
constexpr Move EN_PASSANT = mv("e5", "d6", MOVE_EN_PASSANT);
constexpr Move QUIET_1 = mv("a4", "b5");
constexpr Move QUIET_2 = mv("a4", "b4");
constexpr Move QUIET_3 = mv("a4", "c4");

TEST(MoveOrdering, ExchangeValuesAndQuietBase) {
    set_up(ORDERING_FEN);
    const std::array<Move, 4> moves{KING_TAKES_QUEEN, QUEEN_TAKES_PAWN, EN_PASSANT, QUIET_1};
    std::array<int32_t, 4> scores{};
    score_moves(moves.data(), scores.data(), 4);
    EXPECT_EQ(scores, (std::array<int32_t, 4>{958, -890, -3072, -3072}));

    // In a capture list en passant is a pawn taking nothing on the to-square.
    std::array<int32_t, 3> capture_scores{};
    score_captures(moves.data(), capture_scores.data(), 3);
    EXPECT_EQ(capture_scores, (std::array<int32_t, 3>{958, -890, -100}));
}

TEST(MoveOrdering, HistoryIsScaledByIterationDepth) {
    set_up(ORDERING_FEN);
    history_of(QUIET_1) = 40;
    history_of(KING_TAKES_QUEEN) = 8;
    const std::array<Move, 2> moves{QUIET_1, KING_TAKES_QUEEN};
    std::array<int32_t, 2> scores{};
    search_state.iteration_depth = 2;
    score_moves(moves.data(), scores.data(), 2);
    EXPECT_EQ(scores, (std::array<int32_t, 2>{-3072 + 10, 958 + 2}));
    score_captures(moves.data() + 1, scores.data(), 1);
    EXPECT_EQ(scores[0], 958 + 2);

    // Deep iterations shift everything away, however large the count.
    history_of(QUIET_1) = 0x7FFFFFFF;
    for (int32_t depth : {31, 32, 40, 64}) {
        search_state.iteration_depth = depth;
        score_moves(moves.data(), scores.data(), 1);
        EXPECT_EQ(scores[0], -3072) << depth;
    }
    search_state.iteration_depth = 30;
    score_moves(moves.data(), scores.data(), 1);
    EXPECT_EQ(scores[0], -3072 + 1);
}

TEST(MoveOrdering, OnlyTheFirstMatchingKillerSlotCounts) {
    set_up(ORDERING_FEN);
    search_state.killer1[1] = QUIET_1;
    search_state.killer2[1] = QUIET_1;
    search_state.killer3[1] = QUIET_2;
    search_state.killer2[2] = QUIET_3; // another ply's killers do not count here
    const std::array<Move, 3> moves{QUIET_1, QUIET_2, QUIET_3};
    std::array<int32_t, 3> scores{};
    score_moves(moves.data(), scores.data(), 3);
    EXPECT_EQ(scores, (std::array<int32_t, 3>{-3072 + 1024, -3072 + 96, -3072}));

    search_state.killer1[1] = 0;
    score_moves(moves.data(), scores.data(), 3);
    EXPECT_EQ(scores, (std::array<int32_t, 3>{-3072 + 384, -3072 + 96, -3072}));

    // Capture lists ignore killers.
    search_state.killer1[1] = KING_TAKES_QUEEN;
    const Move capture = KING_TAKES_QUEEN;
    score_captures(&capture, scores.data(), 1);
    EXPECT_EQ(scores[0], 958);
}

TEST(MoveOrdering, FollowingThePreviousLine) {
    set_up(ORDERING_FEN);
    pos.ply = 3;
    search_state.pv_table[1][3] = QUIET_1;
    search_state.pv_table[1][1] = QUIET_2; // the expected move is the one of this ply
    search_state.killer1[3] = QUIET_1;
    history_of(QUIET_1) = 1 << 10;
    const std::array<Move, 2> moves{QUIET_2, QUIET_1};
    std::array<int32_t, 2> scores{};

    // On the line: the expected move gets the bonus and nothing else, and we stay on it.
    search_state.follow_pv = true;
    score_moves(moves.data(), scores.data(), 2);
    EXPECT_EQ(scores, (std::array<int32_t, 2>{-3072, -3072 + 1000000}));
    EXPECT_TRUE(search_state.follow_pv);

    // A list without the expected move leaves the line.
    score_moves(moves.data(), scores.data(), 1);
    EXPECT_FALSE(search_state.follow_pv);

    // Off the line the expected move is an ordinary move.
    score_moves(moves.data(), scores.data(), 2);
    EXPECT_EQ(scores, (std::array<int32_t, 2>{-3072, -3072 + 1024 + 512}));
    EXPECT_FALSE(search_state.follow_pv);

    // A capture list finds its way back onto the line, and never leaves it by itself.
    search_state.pv_table[1][3] = KING_TAKES_QUEEN;
    const std::array<Move, 2> captures{QUEEN_TAKES_PAWN, KING_TAKES_QUEEN};
    score_captures(captures.data(), scores.data(), 2);
    EXPECT_EQ(scores, (std::array<int32_t, 2>{-890, 958 + 1000000}));
    EXPECT_TRUE(search_state.follow_pv);
    score_captures(captures.data(), scores.data(), 1);
    EXPECT_TRUE(search_state.follow_pv);
}

// ---------------------------------------------------------------------------------------------
// Repetition

TEST(Repetition, WindowReachesBackToTheLastIrreversibleMove) {
    set_up_position(START_FEN);
    constexpr uint64_t KEY = 0x0123456789ABCDEFULL;
    pos.root_ply = 10;
    pos.hash_key = KEY;
    for (int32_t i = 0; i < 12; ++i) pos.hash_history[i] = i + 1;

    auto count_with = [&](int32_t fifty, std::vector<int32_t> hits) {
        for (int32_t i = 0; i < 12; ++i) pos.hash_history[i] = i + 1;
        for (int32_t i : hits) pos.hash_history[i] = KEY;
        pos.fifty = fifty;
        return repetition_count();
    };
    EXPECT_EQ(count_with(4, {5}), 0);
    EXPECT_EQ(count_with(4, {6}), 1);
    EXPECT_EQ(count_with(4, {6, 9}), 2);
    EXPECT_EQ(count_with(4, {10, 11}), 0); // beyond the game's recorded positions
    EXPECT_EQ(count_with(20, {0}), 1);
    EXPECT_EQ(count_with(20, {0, 3, 9}), 3);
    EXPECT_EQ(count_with(0, {9}), 0);
    EXPECT_EQ(count_with(-3, {9}), 0);

    // All 64 bits count.
    for (int32_t i = 0; i < 12; ++i) pos.hash_history[i] = KEY ^ (1ULL << 40);
    pos.fifty = 20;
    EXPECT_EQ(repetition_count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Quiescence

// White to move, pawn e4 takes a loose queen on d5.
constexpr const char* LOOSE_QUEEN_FEN = "4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1";

TEST(Quiesce, StandPatFailsSoftCaptureFailsHard) {
    set_up(LOOSE_QUEEN_FEN);
    const int32_t stand = evaluate();
    EXPECT_EQ(quiesce(stand - 20, stand - 10), stand);
    EXPECT_EQ(pos.nodes, 0u);
    EXPECT_EQ(quiesce(stand - 10, stand + 1), stand + 1);
    EXPECT_EQ(pos.nodes, 1u);

    // Full window: the capture raises alpha and becomes the line.
    const int32_t score = quiesce(NEG_INFINITY, MATE_SCORE);
    EXPECT_GT(score, stand + 500);
    EXPECT_EQ(search_state.pv_length[1], 2);
    EXPECT_EQ(search_state.pv_table[1][1], mv("e4", "d5"));
}

TEST(Quiesce, CapturesAndRecapturesFormTheLine) {
    // Rook takes a pawn defended by a pawn, which would lose the rook: the line is empty.
    set_up("4k3/8/2p5/3p4/8/8/8/3RK3 w - - 0 1");
    const int32_t stand = evaluate();
    EXPECT_EQ(quiesce(NEG_INFINITY, MATE_SCORE), stand);
    EXPECT_EQ(search_state.pv_length[1], 1);

    // Pawn takes the queen, bishop takes the pawn.
    set_up("4k3/7p/2b5/3q4/4P3/8/7P/4K3 w - - 0 1");
    quiesce(NEG_INFINITY, MATE_SCORE);
    ASSERT_EQ(search_state.pv_length[1], 3);
    EXPECT_EQ(search_state.pv_table[1][1], mv("e4", "d5"));
    EXPECT_EQ(search_state.pv_table[1][2], mv("c6", "d5"));
}

TEST(Quiesce, StandsPatInCheckAndWithoutLegalCaptures) {
    // White in check from a rook, nothing to capture: no mate is seen here.
    set_up("4k3/8/8/8/8/8/6PP/r6K w - - 0 1");
    EXPECT_EQ(quiesce(NEG_INFINITY, MATE_SCORE), evaluate());

    // The only capture is by a pinned bishop: the stand-pat score comes back even below alpha,
    // or a bound of it that lies between it and alpha.
    set_up("4r2k/8/8/8/8/3p4/4B3/4K3 w - - 0 1");
    const int32_t stand = evaluate();
    const int32_t score = quiesce(stand + 500, stand + 600);
    EXPECT_LE(score, stand + 500);
    EXPECT_GE(score, stand);
    EXPECT_EQ(pos.nodes, 0u);
}

TEST(Quiesce, MakesNoMoveAtThePlyCap) {
    set_up(LOOSE_QUEEN_FEN);
    const int32_t stand = evaluate();
    pos.ply = MAX_PLY;
    search_state.pv_length[MAX_PLY] = 77;
    EXPECT_EQ(quiesce(stand - 10, stand + 1), stand);
    EXPECT_EQ(search_state.pv_length[MAX_PLY], 77);
    EXPECT_EQ(pos.nodes, 0u);

    pos.ply = MAX_PLY - 1;
    EXPECT_EQ(quiesce(stand - 10, stand + 1), stand + 1);
    EXPECT_EQ(pos.ply, MAX_PLY - 1);

    // The capture from the last ply that may move still makes a line of one move.
    set_up(LOOSE_QUEEN_FEN);
    pos.ply = MAX_PLY - 1;
    EXPECT_GT(quiesce(NEG_INFINITY, MATE_SCORE), stand);
    EXPECT_EQ(search_state.pv_length[MAX_PLY - 1], MAX_PLY);
    EXPECT_EQ(search_state.pv_table[MAX_PLY - 1][MAX_PLY - 1], mv("e4", "d5"));
}

// ---------------------------------------------------------------------------------------------
// Alpha-beta

TEST(AlphaBeta, MateAndStalemate) {
    set_up("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"); // black is mated
    pos.ply = 3;
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 1, true), -999997);
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 5, true), -999997);

    set_up("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"); // white mates on a8
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 2, true), 999998);
    EXPECT_EQ(search_state.pv_table[1][1], mv("a1", "a8"));

    set_up("k7/8/1Q6/8/8/8/8/7K b - - 0 1"); // black is stalemated
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 1, true), 0);
    EXPECT_EQ(search(-50, 50, 3, true), 0);
}

TEST(AlphaBeta, FiftyMoveRuleDrawsUnlessTheNodeCutsOff) {
    set_up(LOOSE_QUEEN_FEN);
    pos.fifty = 99;
    EXPECT_GT(search(NEG_INFINITY, MATE_SCORE, 1, true), 100); // a queen down, then not
    pos.fifty = 100;
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 1, true), 0);
    pos.fifty = 150;
    EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 1, true), 0);
    EXPECT_EQ(search(0, 50, 1, true), 50);
}

TEST(AlphaBeta, CheckIsExtendedAtTheHorizon) {
    // White has only its king and black can never capture: at depth 1 the nodes are the
    // king moves alone, unless the node is in check and its replies are searched too.
    set_up("r6k/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(nodes_of([] { search(NEG_INFINITY, MATE_SCORE, 1, true); }), 5u);
    set_up("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_GT(nodes_of([] { search(NEG_INFINITY, MATE_SCORE, 1, true); }), 4u + 4u * 10u);
}

// Null-move pruning is seen from outside through node counts: a null move that refutes the
// node costs exactly the nodes of the reduced search with the other side to move.
class NullMove : public testing::Test {
  protected:
    static constexpr int32_t LOW_BETA = -3000; // any null move fails high

    static uint64_t node(int32_t depth, int32_t pieces, bool null_ok = true, bool follow_pv = false,
                         int32_t beta = LOW_BETA) {
        return nodes_of([=] {
            search_state.follow_pv = follow_pv;
            last_evaluated_piece_count = pieces;
            search(beta - 1, beta, depth, null_ok);
        });
    }
    // Nodes of the search a pass hands over: `after_pass` is the node's position written out
    // by hand with the other side to move, no en-passant square and a fresh fifty-move count.
    static uint64_t passed(const char* after_pass, int32_t depth, int32_t beta = LOW_BETA) {
        const Position before = pos;
        set_up(after_pass);
        const uint64_t nodes = nodes_of([=] { search(-beta, -beta + 1, depth, false); });
        pos = before;
        return nodes;
    }
};

// Black has just pushed d7-d5 and the clock is close to fifty moves: the null move must hand
// over a position without the en-passant square and with a fresh clock.
constexpr const char* NULL_MOVE_FEN =
    "r1bqkb1r/ppp2ppp/2n2n2/3pp3/4P3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq d6 98 5";
constexpr const char* AFTER_PASS =
    "r1bqkb1r/ppp2ppp/2n2n2/3pp3/4P3/2N2N2/PPPP1PPP/R1BQKB1R b KQkq - 0 5";

TEST_F(NullMove, ReductionGrowsWithDepth) {
    set_up(NULL_MOVE_FEN);
    ASSERT_NE(passed(AFTER_PASS, 2), passed(AFTER_PASS, 3));
    ASSERT_NE(passed(AFTER_PASS, 3), passed(AFTER_PASS, 4));
    EXPECT_EQ(node(4, 5), passed(AFTER_PASS, 1));
    EXPECT_EQ(node(6, 5), passed(AFTER_PASS, 3));
    EXPECT_EQ(node(7, 5), passed(AFTER_PASS, 3));
    EXPECT_EQ(node(8, 5), passed(AFTER_PASS, 4));
}

TEST_F(NullMove, PassingStartsAFreshFiftyMoveCount) {
    // A knight up with the clock at 100: after a pass the opponent is still lost, not drawn.
    set_up("r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 100 60");
    constexpr const char* after_pass = "r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 60";
    ASSERT_NE(passed(after_pass, 1, 50), node(4, 4, true, false, 50));
    EXPECT_EQ(node(4, 5, true, false, 50), passed(after_pass, 1, 50));
}

TEST_F(NullMove, OnlyWhereItIsSafe) {
    set_up(NULL_MOVE_FEN);
    // Too few pieces for the latest evaluation: zugzwang is likely.
    EXPECT_NE(node(4, 4), passed(AFTER_PASS, 1));
    EXPECT_GT(node(4, 4), node(4, 5));
    // Not tried: the same nodes as where the piece count forbids it. (Deeper, the children
    // would read the piece count set here before any evaluation has replaced it.)
    EXPECT_EQ(node(3, 5), node(3, 4));
    EXPECT_EQ(node(4, 5, false), node(4, 4));
    EXPECT_EQ(node(4, 5, true, true), node(4, 4));

    // In check: permission or not makes no difference (its children are extended to depth 4
    // and may try it themselves).
    set_up("rnbqkbnr/ppp2ppp/8/1B1pp3/4P3/8/PPPP1PPP/RNBQK1NR b KQkq - 1 3");
    EXPECT_EQ(node(4, 5, true), node(4, 5, false));
    EXPECT_EQ(node(5, 5, true), node(5, 5, false));
}

TEST(AlphaBeta, KillersAreQuietCutoffMoves) {
    // En passant refutes the node first (its history puts it in front): it is a killer.
    set_up("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Move en_passant = mv("e5", "d6", MOVE_EN_PASSANT);
    history_of(en_passant) = 1 << 20;
    search_state.killer1[1] = QUIET_1;
    search_state.killer2[1] = QUIET_2;
    EXPECT_EQ(search(-3001, -3000, 1, true), -3000);
    EXPECT_EQ(search_state.killer1[1], en_passant);
    EXPECT_EQ(search_state.killer2[1], QUIET_1);
    EXPECT_EQ(search_state.killer3[1], QUIET_2);
    EXPECT_EQ(history_of(en_passant), (1 << 20) + 1);

    // A capture refutes it: no killer, but history grows by the depth.
    set_up("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
    const Move capture = mv("e4", "d5");
    EXPECT_EQ(search(-3001, -3000, 3, true), -3000);
    EXPECT_EQ(search_state.killer1[1], 0);
    EXPECT_EQ(history_of(capture), 3);
}

TEST(AlphaBeta, HistoryGrowsForEveryMoveThatRaisesAlpha) {
    // The capture is searched first in a full window: it raises alpha without a cutoff.
    set_up("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
    const Move capture = mv("e4", "d5");
    search(NEG_INFINITY, MATE_SCORE, 1, true);
    EXPECT_EQ(history_of(capture), 1);
    search(NEG_INFINITY, MATE_SCORE, 2, true);
    EXPECT_EQ(history_of(capture), 1 + 2);
    // Failing low leaves it alone.
    search(5000, 5001, 2, true);
    EXPECT_EQ(history_of(capture), 1 + 2);

    // In check the replies are searched a ply deeper, but history grows by the node's depth.
    set_up("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
    search(NEG_INFINITY, MATE_SCORE, 1, true);
    int32_t raised = 0;
    for (int32_t to = 0; to < 64; ++to) {
        EXPECT_LE(history_of(move_word(sq("e1"), to, MOVE_NORMAL)), 1);
        raised += history_of(move_word(sq("e1"), to, MOVE_NORMAL));
    }
    EXPECT_GE(raised, 1);
}

TEST(AlphaBeta, StopsMakingMovesAtThePlyCap) {
    set_up(START_FEN);
    // Every child of a node at ply 127 stands on its static score, however deep the search.
    pos.ply = MAX_PLY - 1;
    int32_t shallow = 0, deep = 0;
    const uint64_t shallow_nodes =
        nodes_of([&] { shallow = search(NEG_INFINITY, MATE_SCORE, 1, false); });
    const uint64_t deep_nodes =
        nodes_of([&] { deep = search(NEG_INFINITY, MATE_SCORE, 5, false); });
    EXPECT_EQ(shallow, deep);
    EXPECT_EQ(shallow_nodes, 20u);
    EXPECT_EQ(deep_nodes, 20u);

    pos.ply = MAX_PLY;
    const int32_t stand = evaluate();
    EXPECT_EQ(nodes_of([&] { EXPECT_EQ(search(NEG_INFINITY, MATE_SCORE, 4, true), stand); }), 0u);
}

TEST(AlphaBeta, StopFlagUnwindsAtOnce) {
    set_up(START_FEN);
    search_state.stop_flag = true;
    EXPECT_EQ(search(-50, 50, 4, true), 0);
    EXPECT_EQ(quiesce(-50, 50), 0);
    EXPECT_EQ(pos.nodes, 0u);

    // A deadline long past stops the search at the first look at the clock; not one more
    // move is made after it, whichever node was at work, and everything is taken back. At
    // depth 10 the stop comes inside the null move's search, which must not count as a
    // refutation.
    struct Window {
        int32_t depth, alpha, beta;
    };
    for (const Window w :
         {Window{5, NEG_INFINITY, MATE_SCORE}, Window{6, 29, 30}, Window{7, 29, 30},
          Window{8, NEG_INFINITY, MATE_SCORE}, Window{10, -31, -30}}) {
        set_up("r1bqkb1r/pppp1ppp/2n2n2/4p3/4P3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 4 4");
        const Position before = pos;
        search_limits.no_time_limit = false;
        search_limits.deadline = tick_count() - 10000;
        evaluate(); // the piece count the null move looks at
        EXPECT_EQ(search(w.alpha, w.beta, w.depth, true), 0);
        EXPECT_TRUE(search_state.stop_flag);
        EXPECT_EQ(pos.nodes, CLOCK_INTERVAL_MASK + 1) << w.depth;
        EXPECT_EQ(pos.board, before.board);
        EXPECT_EQ(pos.side, before.side);
        EXPECT_EQ(pos.fifty, before.fifty);
        EXPECT_EQ(pos.ply, before.ply);
    }
    search_state.stop_flag = false;
    search_limits.no_time_limit = true;
}

TEST(AlphaBeta, ForcedMoveIsExtended) {
    // White's only move is Kg2 (bishop and pawns are blocked in): a depth-1 node searches
    // black's replies at depth 1 rather than at the horizon.
    constexpr const char* FEN = "k7/8/8/8/8/5n1n/5P1P/6BK w - - 0 1";
    set_up(FEN);
    const uint64_t forced = nodes_of([] { search(NEG_INFINITY, MATE_SCORE, 1, true); });
    commit_move(mv("h1", "g2"));
    pos.ply = 2;
    const uint64_t reply = nodes_of([] { search(NEG_INFINITY, MATE_SCORE, 1, true); });
    EXPECT_EQ(forced, 1 + reply);
}

// ---------------------------------------------------------------------------------------------
// Iterative deepening

// Runs think() with the limits already set and returns what it printed.
std::string run_think() {

    // The search looks at its input every 65536 nodes and ends when the input has ended:
    // give it an open pipe with nothing in it, like an interface that is waiting.
    int quiet_input[2];
    EXPECT_EQ(pipe(quiet_input), 0);
    const int saved_input = dup(STDIN_FILENO);
    dup2(quiet_input[0], STDIN_FILENO);

    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    const int saved_output = dup(STDOUT_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    think();
    std::fflush(stdout);
    dup2(saved_output, STDOUT_FILENO);
    close(saved_output);

    dup2(saved_input, STDIN_FILENO);
    close(saved_input);
    close(quiet_input[0]);
    close(quiet_input[1]);

    std::string text;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(capture);
    return text;
}

std::string think_to_depth(int32_t depth) {
    SearchLimits& s = search_limits;
    s.depth_limit = depth;
    s.depth_limited = true;
    s.no_time_limit = true;
    s.hold_bestmove = false;
    s.pondering = false;
    s.safe_limit = -1;
    s.time_budget = 0;
    std::string text = run_think();
    EXPECT_FALSE(search_state.stop_flag);
    return text;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

int count_prefix(const std::string& text, const std::string& prefix) {
    int n = 0;
    for (const auto& line : lines_of(text)) n += line.rfind(prefix, 0) == 0;
    return n;
}

TEST(Think, ShallowSearchesPrintOnlyIterationEnds) {
    set_up_position(START_FEN);
    const std::string out = think_to_depth(3);
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 4u) << out;
    const std::regex iteration_end("info time \\d+ nodes \\d+ nps \\d+ ");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::regex_match(lines[i], iteration_end)) << lines[i];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("bestmove [a-h][1-8][a-h][1-8]")));
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("info time \\d+ nodes 20 nps \\d+ ")));
    // The move was played into the game.
    EXPECT_EQ(pos.side, 1);
    EXPECT_EQ(pos.root_ply, 1);
}

TEST(Think, ProgressLinesAndDeterminism) {
    auto normalise = [](const std::string& text) {
        return std::regex_replace(text, std::regex("(time|nps) \\d+ "), "$1 _ ");
    };
    set_up_position(START_FEN);
    const std::string first = think_to_depth(5);
    const uint64_t first_nodes = pos.nodes;
    // Another search in between must leave nothing behind that changes the next one.
    set_up_position("r1bqkb1r/pppp1ppp/2n2n2/4p3/4P3/2N2N2/PPPP1PPP/R1BQKB1R w KQkq - 4 4");
    think_to_depth(4);
    set_up_position(START_FEN);
    const std::string second = think_to_depth(5);
    EXPECT_EQ(pos.nodes, first_nodes);
    EXPECT_EQ(normalise(first), normalise(second));

    const std::regex progress("info depth 5 score cp -?\\d+ time \\d+ nodes \\d+ nps \\d+ pv"
                              "( [a-h][1-8][a-h][1-8][qrbn]?)+ ");
    const std::regex current("info depth 5 currmove [a-h][1-8][a-h][1-8] currmovenumber \\d+");
    int progress_lines = 0, current_lines = 0;
    for (const auto& line : lines_of(first)) {
        if (line.rfind("info depth", 0) != 0) continue;
        if (line.find("currmove") != std::string::npos) {
            EXPECT_TRUE(std::regex_match(line, current)) << line;
            ++current_lines;
        } else {
            EXPECT_TRUE(std::regex_match(line, progress)) << line;
            ++progress_lines;
        }
    }
    EXPECT_EQ(current_lines, 20);
    EXPECT_GE(progress_lines, 1);
    // A full-width line of five plies, possibly lengthened by captures, and no empty moves.
    for (const auto& line : lines_of(first)) {
        const auto at = line.find(" pv ");
        if (at == std::string::npos) continue;
        EXPECT_GE(lines_of(std::regex_replace(line.substr(at + 4), std::regex(" "), "\n")).size(),
                  5u)
            << line;
    }
    EXPECT_EQ(first.find("a1a1"), std::string::npos);
    EXPECT_EQ(count_prefix(first, "info time "), 5);
}

TEST(Think, RootInCheckSearchesOnePlyDeeper) {
    set_up_position("4k3/8/8/8/8/8/8/r3K2R w K - 0 1");
    const std::string out = think_to_depth(4);
    EXPECT_GT(count_prefix(out, "info depth 5 "), 0) << out;
    EXPECT_EQ(count_prefix(out, "info depth 4 "), 0) << out;
    EXPECT_EQ(count_prefix(out, "info time "), 4) << out;
}

TEST(Think, SingleLegalMoveAnswersAfterDepthOne) {
    set_up_position("k7/8/1K6/8/8/8/8/7R b - - 0 1");
    const auto lines = lines_of(think_to_depth(20));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("info time ", 0), 0u);
    EXPECT_EQ(lines[1], "bestmove a8b8");
}

TEST(Think, MateDistances) {
    set_up_position("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    std::string out = think_to_depth(5);
    EXPECT_NE(out.find("info depth 5 score mate 1 time "), std::string::npos) << out;
    EXPECT_NE(out.find(" pv a1a8 \n"), std::string::npos) << out;
    EXPECT_NE(out.find("bestmove a1a8\n"), std::string::npos) << out;
    EXPECT_EQ(pos.board[sq("a8")], W_ROOK);

    // Every black move allows Rg8 mate.
    set_up_position("k7/7p/1K6/8/8/8/8/6R1 b - - 0 1");
    out = think_to_depth(5);
    EXPECT_NE(out.find("info depth 5 score mate -1 time "), std::string::npos) << out;

    // Four mate reports are enough, whatever the depth limit.
    set_up_position("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    out = think_to_depth(30);
    EXPECT_EQ(count_prefix(out, "info time "), 8) << out;
    EXPECT_EQ(count_prefix(out, "info depth 8 score mate 1 "), 1) << out;
}

TEST(Think, RepeatingAGamePositionScoresZero) {
    // Black is a queen up; white can only hope to repeat.
    set_up_position("6k1/8/8/8/8/8/q7/6K1 w - - 0 1");
    pos.root_ply = 1;
    for (const char* text : {"g1h1", "g8h8", "h1g1", "h8g8"}) {
        const Move move = text_to_move(text);
        ASSERT_NE(move, 0) << text;
        commit_move(move);
    }
    const std::string out = think_to_depth(5);
    EXPECT_NE(out.find("info depth 5 score cp 0 "), std::string::npos) << out;
    EXPECT_NE(out.find(" pv g1h1 \n"), std::string::npos) << out;
    EXPECT_NE(out.find("bestmove g1h1\n"), std::string::npos) << out;
}

TEST(Think, RepetitionLeavesAnEmptyLineBelowTheRoot) {
    set_up_position("6k1/8/8/8/8/8/q7/6K1 w - - 0 1");
    pos.root_ply = 1;
    for (const char* text : {"g1h1", "g8h8", "h1g1", "h8g8"}) commit_move(text_to_move(text));
    reset_search();
    search_state.iteration_depth = 1;
    search_state.pv_table[1][1] = mv("g1", "h1"); // searched first
    search_state.pv_length[2] = 6;                // what an earlier root move left
    EXPECT_EQ(search_root(), 0);
    EXPECT_EQ(search_state.best_move, mv("g1", "h1"));
    EXPECT_EQ(search_state.pv_length[1], 2);
}

TEST(Think, StoppedBeforeAnyRootMoveFinishedStillAnswersALegalMove) {
    // Captures everywhere: the first root move's quiescence search alone passes 1024 nodes,
    // where the clock, long past its deadline, stops the search.
    constexpr const char* FEN = "qqqqkqqq/qqqqqqqq/8/8/8/8/QQQQQQQQ/QQQQKQQQ w - - 0 1";
    set_up_position(FEN);
    SearchLimits& s = search_limits;
    s.depth_limit = 0;
    s.depth_limited = false;
    s.no_time_limit = false;
    s.hold_bestmove = false;
    s.pondering = false;
    s.safe_limit = -1;
    s.time_budget = -10000;
    const auto lines = lines_of(run_think());
    EXPECT_TRUE(search_state.stop_flag);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("info time \\d+ nodes 1024 nps \\d+ ")));
    ASSERT_EQ(lines[1].rfind("bestmove ", 0), 0u);
    const std::string text = lines[1].substr(9) + " ";
    set_up_position(FEN);
    EXPECT_NE(text_to_move(text.c_str()), 0) << lines[1];
}

TEST(Think, NoLegalMoveAnswersNullMove) {
    for (const char* fen : {"k7/8/1Q6/8/8/8/8/7K b - - 0 1", "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"}) {
        set_up_position(fen);
        search_state.best_move = mv("e2", "e4"); // left over from an earlier search
        const auto board = pos.board;
        const std::string out = think_to_depth(3);
        EXPECT_EQ(count_prefix(out, "info time "), 3) << out;
        EXPECT_EQ(lines_of(out).back(), "bestmove 0000") << fen;
        EXPECT_EQ(pos.board, board);
        EXPECT_EQ(pos.side, 1);
    }
}

TEST(Think, RearmedDeadlineStaysWithinTheSafeLimit) {
    SearchLimits& s = search_limits;
    s.start_time = 1000;
    s.time_budget = 499.9;
    s.safe_limit = -1;
    EXPECT_EQ(rearmed_deadline(2800), 3299u);
    s.safe_limit = 2000;
    EXPECT_EQ(rearmed_deadline(2800), 3000u);
    EXPECT_EQ(rearmed_deadline(2400), 2899u);
    // Across the wrap of the millisecond counter.
    s.start_time = 0xFFFFFF00u;
    s.safe_limit = 400;
    EXPECT_EQ(rearmed_deadline(0xFFFFFF00u + 100), 0x90u);
    s.safe_limit = 1000;
    EXPECT_EQ(rearmed_deadline(0xFFFFFF00u + 100), 0x157u);
}

} // namespace
} // namespace tervane
