// Micro-benchmarks of single hot functions over a fixed set of positions.
//
// The positions are reached by seeded random legal play from a handful of FENs, so every run
// times the same work. Each benchmark is one function that restores the positions one after
// the other and calls the function under test; main runs them all. Run the program several
// times and take the median.
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "position/position.h"
#include "uci/uci.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using namespace tervane;

// The part of the Position that evaluation and move generation read; the Position itself is
// too large (its key history) to keep hundreds of copies.
struct Snapshot {
    std::array<PieceCode, 64> board;
    uint8_t side;
    uint8_t castling;
    int32_t ep_square;
    std::array<int32_t, 2> king_square;
    std::array<int32_t, 2> material;
    int32_t fifty;
    // Kept beside the board by make/unmake; evaluate and the generators read them.
    std::array<Bitboard, 2> colour_pieces;
    std::array<Bitboard, 6> kind_pieces;
    int32_t square_score;
};

Snapshot take_snapshot() {
    return {pos.board,    pos.side,  pos.castling,      pos.ep_square,   pos.king_square,
            pos.material, pos.fifty, pos.colour_pieces, pos.kind_pieces, pos.square_score};
}

void restore(const Snapshot& s) {
    pos.board = s.board;
    pos.side = s.side;
    pos.castling = s.castling;
    pos.ep_square = s.ep_square;
    pos.king_square = s.king_square;
    pos.material = s.material;
    pos.fifty = s.fifty;
    pos.colour_pieces = s.colour_pieces;
    pos.kind_pieces = s.kind_pieces;
    pos.square_score = s.square_score;
}

constexpr const char* START_FENS[] = {
    START_FEN,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "2r3k1/pp3ppp/4p3/3p4/3P4/4P3/PP3PPP/2R3K1 w - - 0 1",
};
constexpr int GAMES_PER_FEN = 2;
constexpr int PLIES_PER_GAME = 50; // a game stops earlier at mate or stalemate

// Random legal games from each FEN, every position along the way kept. Captures are favoured a
// little so that the set also holds thinner middlegames and endings, as quiescence sees them.
std::vector<Snapshot> build_positions() {
    std::vector<Snapshot> positions;
    std::mt19937 rng(12345);
    for (const char* fen : START_FENS) {
        for (int game = 0; game < GAMES_PER_FEN; ++game) {
            set_fen(fen);
            for (int ply = 0; ply < PLIES_PER_GAME; ++ply) {
                positions.push_back(take_snapshot());
                MoveList list;
                gen_legal_moves(list.moves.data(), list.count);
                if (list.count == 0) break;
                Move move = list.moves[rng() % list.count];
                if (pos.board[move_to(move)] == 0) move = list.moves[rng() % list.count];
                make_move(move);
            }
        }
    }
    set_fen(START_FEN);
    return positions;
}

using Clock = std::chrono::steady_clock;

double elapsed_ns(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Keeps results alive so that the compiler cannot drop the calls.
volatile int64_t sink;

// Restoring a snapshot alone: the overhead included in every timing below.
double bench_restore(const std::vector<Snapshot>& positions, int rounds) {
    int64_t sum = 0;
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const Snapshot& s : positions) {
            restore(s);
            sum += pos.board[round & 63];
        }
    const double ns = elapsed_ns(start);
    sink = sum;
    return ns / (static_cast<double>(rounds) * positions.size());
}

double bench_evaluate(const std::vector<Snapshot>& positions, int rounds) {
    int64_t sum = 0;
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const Snapshot& s : positions) {
            restore(s);
            sum += evaluate();
        }
    const double ns = elapsed_ns(start);
    sink = sum;
    return ns / (static_cast<double>(rounds) * positions.size());
}

double bench_captures(const std::vector<Snapshot>& positions, int rounds) {
    int64_t sum = 0;
    std::array<Move, MAX_CAPTURES> list;
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (const Snapshot& s : positions) {
            restore(s);
            int32_t count = 0;
            gen_captures(list.data(), count);
            sum += count;
        }
    const double ns = elapsed_ns(start);
    sink = sum;
    return ns / (static_cast<double>(rounds) * positions.size());
}

// The sum of the scores over the set: a change in it shows that a change of evaluate() changed
// some value, not only its speed.
void print_evaluate_checksum(const std::vector<Snapshot>& positions) {
    int64_t sum = 0;
    for (const Snapshot& s : positions) {
        restore(s);
        sum += evaluate();
    }
    std::printf("evaluate checksum %lld\n", static_cast<long long>(sum));
}

} // namespace

int main() {
    tervane::init_tables();
    const std::vector<Snapshot> positions = build_positions();
    std::printf("%zu positions\n", positions.size());
    print_evaluate_checksum(positions);

    // Each benchmark: a warm-up round, then the median of several timed repetitions.
    struct Benchmark {
        const char* name;
        double (*run)(const std::vector<Snapshot>&, int);
        int rounds;
    };
    const Benchmark benchmarks[] = {
        {"restore", bench_restore, 5000},
        {"restore + evaluate", bench_evaluate, 2000},
        {"restore + gen_captures", bench_captures, 2000},
    };
    constexpr int REPETITIONS = 7;
    for (const Benchmark& b : benchmarks) {
        b.run(positions, b.rounds / 10);
        std::vector<double> times;
        for (int i = 0; i < REPETITIONS; ++i) times.push_back(b.run(positions, b.rounds));
        std::sort(times.begin(), times.end());
        std::printf("%-24s %8.2f ns/call (median of %d, min %.2f, max %.2f)\n", b.name,
                    times[REPETITIONS / 2], REPETITIONS, times.front(), times.back());
    }
    return 0;
}
