// The perft command: the move tree of the start position counted per root move, with the
// time it took.
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "position/position.h"
#include "uci/uci.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace tervane {

void perft_command(const char* line) {
    // The depth is the first piece of the line between the letters of "perft " and blanks.
    const char* piece = line + std::strspn(line, "perft ");
    char number[24] = {};
    std::memcpy(number, piece, std::min<std::size_t>(std::strcspn(piece, "perft "), 23));
    const int64_t depth = read_integer(number);
    if (depth < 1 || depth > 9) {
        std::printf("Error Depth\n");
        return;
    }
    set_up_position(START_FEN);
    print_board();

    const uint32_t t0 = tick_count();
    MoveList root;
    gen_moves(root.moves.data(), root.count);
    uint64_t total = 0;
    for (int32_t i = 0; i < root.count; ++i) {
        if (!make_move(root.moves[i])) continue;
        const uint64_t n = perft(static_cast<int>(depth) - 1);
        total += n;
        unmake_move();
        char text[6];
        move_to_text(root.moves[i], text);
        std::printf("%s - %" PRIu64 " \n", text, n);
    }
    const uint32_t elapsed = tick_count() - t0;

    std::printf("Nodes for depth %d:  %" PRIu64 "\n", static_cast<int>(depth), total);
    std::printf("Time: %f\n", static_cast<double>(static_cast<float>(elapsed) * 0.001f));
    std::printf("Expected: %" PRIu64 "\n", perft_expected[depth]);
    // Thousands of nodes per second, as the label says.
    if (elapsed != 0) std::printf("Knps: %u\n", static_cast<uint32_t>(total / elapsed));
}

} // namespace tervane
