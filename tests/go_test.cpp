// The go command's limits and the time budget it derives from the clocks.
#include "position/position.h"
#include "search/search.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

using namespace tervane;

namespace {

const SearchLimits& go(const char* line, const char* fen = START_FEN) {
    set_fen(fen);
    apply_go_limits(line);
    return search_limits;
}

constexpr const char* BLACK_TO_MOVE = "4k3/8/8/8/8/8/8/4K3 b - - 0 1";

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
