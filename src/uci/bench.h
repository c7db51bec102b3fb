// The bench command: a fixed-depth search over a fixed list of positions.
#pragma once

#include <array>
#include <cstdint>

namespace tervane {

constexpr std::size_t BENCH_POSITION_COUNT = 40;
constexpr int BENCH_DEFAULT_DEPTH = 6;
extern const std::array<const char*, BENCH_POSITION_COUNT> BENCH_POSITIONS;

// Searches one position from a fresh game to `depth` with the quiet reporter; returns its
// node count.
uint64_t bench_search(const char* fen, int depth);
// Prints one line per position, then the node total and the rate. Returns the exit status.
int bench_command(int depth);

} // namespace tervane
