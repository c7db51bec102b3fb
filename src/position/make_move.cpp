#include "position/make_unmake.h"

#include <algorithm>

namespace tervane {

bool make_move(Move move) {
    return pos.side == 0 ? make_move<0>(move) : make_move<1>(move);
}

void commit_move(Move move) {
    const BoardDrift drift = detail::drift_when_checked();
    if (pos.side == 0)
        detail::play_on_board<0>(move);
    else
        detail::play_on_board<1>(move);
    pos.side = static_cast<uint8_t>(1 - pos.side);
    if (pos.root_ply == HISTORY_CAPACITY) {
        // Keep the recent half: the repetition test never reaches further back.
        constexpr int kept = HISTORY_CAPACITY / 2;
        std::copy(pos.hash_history.end() - kept, pos.hash_history.end(), pos.hash_history.begin());
        pos.root_ply = kept;
    }
    pos.safe_from.fill({});
    check_invariant("commit_move keeps the square sets in step with the board",
                    [&] { return board_drift() == drift; });
    pos.hash_history[pos.root_ply] = compute_key();
    pos.root_ply += 1;
}

} // namespace tervane
