// The go command's limits and the time budget it derives from the clocks.
#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"
#include "test_helpers.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tervane;

namespace {

const SearchLimits& go(const char* line, const char* fen = START_FEN) {
    set_fen(fen);
    apply_go_limits(line);
    return search_limits;
}

constexpr const char* BLACK_TO_MOVE = "4k3/8/8/8/8/8/8/4K3 b - - 0 1";

// The searchmoves list that the limits hold, as move texts.
std::string listed_moves(const SearchLimits& limits) {
    std::string texts;
    for (int32_t i = 0; i < limits.search_move_count; ++i) {
        if (i > 0) texts += ' ';
        texts += text_of(limits.search_moves[i]);
    }
    return texts;
}

} // namespace

TEST(GoCommand, TimeBudgetFromTheClocks) {
    struct Case {
        const char* line;
        double budget;
    };
    const Case cases[] = {
        {"go wtime 60000 btime 60000\n", 56999.0 / 30},
        {"go movetime 1000\n", 950},
        {"go wtime 1000 winc 1000 btime 5 binc 5\n", 949},
        {"go wtime 10000 winc 5000 movestogo 1\n", 9499},
        {"go wtime 10000 movestogo 40\n", 9499.0 / 30},
        {"go wtime 10000 movestogo 0\n", 9499.0 / 30},
        {"go wtime 10000 movestogo 10\n", 9499.0 / 10},
        {"go\n", 0},
        {"go wtime -500 btime 1000\n", 0},
        {"go wtime 100 btime 100\n", 94.0 / 30},
        // A nearly empty clock keeps its reserve back even with a large increment.
        {"go wtime 50 winc 1000\n", 50 - CLOCK_RESERVE_MS},
        {"go wtime 20 winc 1000\n", 0},
    };
    for (const auto& c : cases) EXPECT_NEAR(go(c.line).time_budget, c.budget, 1e-9) << c.line;
    // Only the side to move's clock counts.
    EXPECT_NEAR(go("go wtime 100000 btime 60000 binc 0\n", BLACK_TO_MOVE).time_budget, 56999.0 / 30,
                1e-9);
}

TEST(GoCommand, ClockLimitCapsTheBudget) {
    EXPECT_NEAR(go("go wtime 1000 winc 1000\n").safe_limit, 949, 1e-9);
    EXPECT_NEAR(go("go movetime 300\n").safe_limit, 250, 1e-9);
    // The deadline moved on after a score drop never passes the clock's limit.
    auto& state = search_limits;
    go("go wtime 1000 winc 1000\n");
    state.start_time = 4294967000u; // about to wrap
    EXPECT_EQ(rearmed_deadline(state.start_time + 600), state.start_time + 949);
    go("go wtime 60000\n");
    state.start_time = 4294967000u;
    EXPECT_EQ(rearmed_deadline(state.start_time + 2500), state.start_time + 2500 + 1899);
}

TEST(GoCommand, OptionWords) {
    const SearchLimits& depth = go("go depth 5 wtime 100\n");
    EXPECT_TRUE(depth.depth_limited);
    EXPECT_EQ(depth.depth_limit, 5);
    for (const char* line : {"go depth 0\n", "go depth -3\n", "go depth\n", "go depth x\n"})
        EXPECT_FALSE(go(line).depth_limited) << line;
    // "infinite" and "ponder" count as the last word only, as the line feed is part of it.
    EXPECT_TRUE(go("go infinite\n").no_time_limit);
    EXPECT_TRUE(go("go infinite\n").hold_bestmove);
    EXPECT_TRUE(go("go wtime 1000 ponder\n").pondering);
    EXPECT_FALSE(go("go ponder wtime 1000\n").no_time_limit);
    EXPECT_FALSE(go("go infinite depth 3\n").hold_bestmove);
    // A value word consumes the next token even when it is not a number.
    EXPECT_NEAR(go("go wtime infinite\n").time_budget, 0, 1e-9);
    EXPECT_FALSE(go("go wtime infinite\n").no_time_limit);
    // Only blanks separate tokens; tabs belong to the token.
    EXPECT_FALSE(go("go\tdepth 4\n").depth_limited);
    EXPECT_EQ(go("go  depth   4\n").depth_limit, 4);
}

TEST(GoCommand, NodeMateAndSearchMovesWords) {
    struct Case {
        const char* line;
        uint64_t nodes;
        int32_t mate;
        bool no_time_limit;
        const char* moves; // the searchmoves list kept
    };
    const Case cases[] = {
        // A node or mate limit has no time limit unless a word of the clock came too.
        {"go nodes 5000\n", 5000, 0, true, ""},
        {"go mate 3\n", 0, 3, true, ""},
        {"go nodes 5000 btime 1000\n", 5000, 0, false, ""},
        {"go movetime 300 nodes 5000\n", 5000, 0, false, ""},
        {"go winc 10 mate 2\n", 0, 2, false, ""},
        // Their values are read as the other words' are; 0 or less means no limit.
        {"go nodes 0\n", 0, 0, false, ""},
        {"go nodes -5\n", 0, 0, false, ""},
        {"go mate 0\n", 0, 0, false, ""},
        {"go mate -3\n", 0, 0, false, ""},
        {"go nodes\n", 0, 0, false, ""},
        {"go nodes mate 2\n", 0, 0, false, ""},
        {"go nodes 99999999999999999999\n", 2147483647, 0, true, ""},
        {"go mate 99999999999\n", 0, MAX_ITERATIONS, true, ""},
        // The list runs to the next word of the command or the end of the line; moves that
        // are not legal here, not moves at all or repeated are left out.
        {"go searchmoves e2e4 d2d4\n", 0, 0, false, "e2e4 d2d4"},
        {"go searchmoves e2e5 zz e2e4 b1c3 e2e4 h7h6 depth 3\n", 0, 0, false, "e2e4 b1c3"},
        {"go searchmoves g1f3 nodes 100\n", 100, 0, true, "g1f3"},
        {"go searchmoves e2e4 searchmoves d2d4 infinite\n", 0, 0, true, "d2d4"},
        {"go searchmoves e2e5 h7h6\n", 0, 0, false, ""},
        {"go searchmoves\n", 0, 0, false, ""},
        {"go depth searchmoves e2e4\n", 0, 0, false, ""},
    };
    for (const auto& c : cases) {
        const SearchLimits& limits = go(c.line);
        EXPECT_EQ(limits.node_limit, c.nodes) << c.line;
        EXPECT_EQ(limits.mate_limit, c.mate) << c.line;
        EXPECT_EQ(limits.no_time_limit, c.no_time_limit) << c.line;
        EXPECT_EQ(listed_moves(limits), c.moves) << c.line;
    }
    // Later tests in this process search with the limits left here.
    go("go\n");
}

// The root searches the listed moves in the order in which it would search them among all.
TEST(GoCommand, SearchMovesKeepTheRootsOrder) {
    constexpr const char* FEN =
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    const SearchReporter reporter = search_reporter;
    search_reporter = QUIET_REPORTER;
    // The first iteration's order, left in the root list; with equal scores among the moves.
    auto order_searched = [&](const std::string& line, int32_t count) {
        set_up_position(FEN);
        apply_go_limits(line.c_str());
        think();
        std::vector<std::string> order;
        for (int32_t i = 0; i < count; ++i) order.push_back(text_of(search_state.root_moves[i]));
        return order;
    };
    set_up_position(FEN);
    MoveList legal;
    gen_legal_moves(legal.moves.data(), legal.count);
    const auto all = order_searched("go depth 1\n", legal.count);
    // Every third move, listed backwards.
    std::vector<std::string> kept;
    std::string line = "go depth 1 searchmoves";
    for (int32_t i = legal.count - 1; i >= 0; i -= 3) {
        line += ' ';
        line += text_of(legal.moves[i]);
    }
    line += "\n";
    for (const auto& text : all)
        if (line.find(" " + text) != std::string::npos) kept.push_back(text);
    EXPECT_EQ(order_searched(line, static_cast<int32_t>(kept.size())), kept);
    search_reporter = reporter;
    go("go\n");
}
