// The search's shortcuts change its speed, never its answers: the engine built without any of
// them (tervane_plain) prints the same lines and node counts as the ordinary one.
#include "engine_pipe.h"
#include "uci/bench.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

using namespace engine_pipe;

// Everything a search prints but the clock readings.
std::vector<std::string> without_times(const std::vector<std::string>& lines) {
    static const std::regex clock_readings(" (time|nps) [0-9]+");
    std::vector<std::string> kept;
    for (const auto& line : lines) kept.push_back(std::regex_replace(line, clock_readings, ""));
    return kept;
}

// From each bench position, searches of depth 1 to 5 in turn, each from the position the
// previous answer left (the engine plays its move).
std::vector<std::string> searches(const char* binary) {
    Engine engine = start({}, false, binary);
    std::vector<std::string> lines;
    for (const char* fen : tervane::BENCH_POSITIONS) {
        send(engine, "ucinewgame");
        send(engine, std::string("position fen ") + fen);
        for (int depth = 1; depth <= 5; ++depth) {
            send(engine, "go depth " + std::to_string(depth));
            const auto reply = without_times(read_until(engine, "bestmove", 60000));
            lines.insert(lines.end(), reply.begin(), reply.end());
        }
    }
    send(engine, "quit");
    wait_exit(engine);
    return lines;
}

TEST(SpeedPaths, SameLinesAndNodesWithoutThem) {
    const auto ordinary = searches(TERVANE_BINARY);
    const auto plain = searches(TERVANE_PLAIN_BINARY);
    ASSERT_GT(ordinary.size(), 5 * tervane::BENCH_POSITIONS.size());
    ASSERT_EQ(ordinary.size(), plain.size());
    for (std::size_t i = 0; i < ordinary.size(); ++i)
        ASSERT_EQ(ordinary[i], plain[i]) << "line " << i;
}

} // namespace
