#include "uci/bench.h"
#include "platform/platform.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/uci.h"

#include <cinttypes>
#include <cstdio>

namespace tervane {

// Openings, middlegames full of captures, endgames with passed pawns, positions in
// check, promotions and short mates: the search's node total over these is the
// engine's behaviour fingerprint.
const std::array<const char*, BENCH_POSITION_COUNT> BENCH_POSITIONS = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "rnbqkb1r/ppp1pppp/5n2/3p4/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 1 3",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/3P1N2/PPP2PPP/RNBQK2R w KQkq - 1 5",
    "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 4 5",
    "r1bqk2r/pppp1ppp/2n2n2/4p3/1bB1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 4 5",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r2q1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R2Q1RK1 w - - 0 10",
    "r1bq1rk1/pp3ppp/2nbpn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/3P4/1P1BPN2/PBPN1PPP/2RQ1RK1 w - - 0 11",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPPQ2PP/2KR3R w - - 0 13",
    "r2qr1k1/1p1nbppp/p2p1n2/2pPp3/P3P3/2N1BN1P/1PP1BPP1/R2Q1RK1 w - - 0 13",
    "3r1rk1/pp3ppp/2n1b3/q1b1p3/4P3/P1NB1N2/1PQ2PPP/R4RK1 w - - 0 16",
    "r4rk1/pp1n1ppp/2pbpq2/3p4/3P4/2PBPQ2/PP1N1PPP/R4RK1 w - - 2 12",
    "1r3rk1/p1q2ppp/2p1pn2/2bp4/5B2/2PBP3/PPQ2PPP/R4RK1 w - - 4 15",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN b - - 0 1",
    "4r1k1/pp3ppp/8/3q4/3P4/2P1Q3/P4PPP/4R1K1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/1p3k2/p1p5/P1P2K2/1P6/8/8 w - - 0 40",
    "8/5pk1/6p1/3P4/1p6/1P4P1/5PK1/8 w - - 0 40",
    "8/8/8/3k4/8/3K4/3P4/8 w - - 0 1",
    "6k1/5p2/6p1/8/7P/6P1/r4PK1/1R6 w - - 0 35",
    "8/1p4kp/p1p3p1/2P5/1P1r4/P5P1/5PKP/3R4 w - - 0 30",
    "8/p7/1p6/2p5/2P5/1P3k2/P7/5K2 b - - 0 45",
    "8/8/4kpp1/3p1b2/p6P/2B5/6P1/6K1 b - - 0 47",
    "rnbqkbnr/ppp2ppp/8/1B1pp3/4P3/8/PPPP1PPP/RNBQK1NR b KQkq - 1 3",
    "r1bqkbnr/ppp2ppp/2np4/1B2p3/3PP3/5N2/PPP2PPP/RNBQK2R b KQkq - 0 4",
    "4k3/8/8/8/8/8/3q4/R3K2R w KQ - 0 1",
    "8/P5k1/8/8/8/8/6K1/8 w - - 0 1",
    "3r4/4P1k1/8/8/8/8/5K2/8 w - - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "8/1P6/8/8/8/5k2/3p4/5K2 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1",
    "2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1",
};

uint64_t bench_search(const char* fen, int depth) {
    set_up_position(fen);
    auto& state = search_limits;
    state.depth_limit = depth;
    state.depth_limited = true;
    state.no_time_limit = true;
    state.time_budget = 0;
    state.safe_limit = -1;
    state.hold_bestmove = false;
    state.pondering = false;
    const SearchReporter reporter = search_reporter;
    search_reporter = QUIET_REPORTER;
    think();
    search_reporter = reporter;
    return pos.nodes;
}

int bench_command(int depth) {
    uint64_t total = 0;
    const uint32_t start = tick_count();
    for (std::size_t i = 0; i < BENCH_POSITIONS.size(); ++i) {
        const uint64_t nodes = bench_search(BENCH_POSITIONS[i], depth);
        total += nodes;
        std::printf("Position %2zu/%zu: %" PRIu64 " nodes\n", i + 1, BENCH_POSITIONS.size(), nodes);
    }
    const uint32_t elapsed = tick_count() - start;
    std::printf("\nNodes searched  : %" PRIu64 "\n", total);
    std::printf("Nodes/second    : %" PRIu64 "\n", elapsed > 0 ? total * 1000 / elapsed : total);
    return 0;
}

} // namespace tervane
