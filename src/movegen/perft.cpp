#include "movegen/movegen.h"
#include "position/make_unmake.h"

namespace tervane {

namespace {

// The last level: each move is made and taken back, and counts when make_move accepts it.
// A loop of its own, without the recursive call, keeps make and unmake in registers.
template <int Side> uint64_t count_leaves() {
    MoveList list;
    gen_moves(list.moves.data(), list.count);
    uint64_t total = 0;
    for (const Move *move = list.moves.data(), *end = move + list.count; move != end; ++move) {
        if (!make_move<Side>(*move)) continue;
        ++total;
        unmake_move<Inlining::ALWAYS>();
    }
    return total;
}

// The side to move alternates with the depth, so each level knows it without asking.
template <int Side> [[gnu::noinline]] uint64_t perft_as(int depth) {
    if (depth == 0) return 1;
    if (depth == 1) return count_leaves<Side>();
    MoveList list;
    gen_moves(list.moves.data(), list.count);
    uint64_t total = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        if (!make_move<Side>(list.moves[i])) continue;
        total += perft_as<1 - Side>(depth - 1);
        unmake_move<Inlining::ALWAYS>();
    }
    return total;
}

} // namespace

uint64_t perft(int depth) {
    return pos.side == 0 ? perft_as<0>(depth) : perft_as<1>(depth);
}

} // namespace tervane
