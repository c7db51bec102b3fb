// What the build was configured with, as constants for `if constexpr`: the checked build's
// assertions of the engine's invariants, and the shortcuts of the search, each of which a test
// build turns off to show that the answers do not depend on it. Set by CMake (see
// CMakeLists.txt); a build without the definitions is the ordinary Release engine.
#pragma once

#ifndef TERVANE_CHECKED
#define TERVANE_CHECKED 0
#endif
#ifndef TERVANE_PAWN_TABLE
#define TERVANE_PAWN_TABLE 1
#endif
#ifndef TERVANE_QUIET_SCORES
#define TERVANE_QUIET_SCORES 1
#endif
#ifndef TERVANE_EARLY_MOVES
#define TERVANE_EARLY_MOVES 1
#endif

namespace tervane {

// Assertions of the invariants (check_invariant) are tested.
inline constexpr bool CHECKED_BUILD = TERVANE_CHECKED != 0;

// The evaluation keeps what the pawns decide in a table keyed by the pawn sets; without it
// every evaluation computes them again.
inline constexpr bool USE_PAWN_TABLE = TERVANE_PAWN_TABLE != 0;
// On the last full ply, quiet moves whose child would stand pat at once are scored without
// being played; without it every such move is played and its child searched.
inline constexpr bool USE_QUIET_SCORES = TERVANE_QUIET_SCORES != 0;
// Near the leaves, the moves that the full list would try first are tried before the quiet
// moves are generated; without it every node generates its whole list first.
inline constexpr bool USE_EARLY_MOVES = TERVANE_EARLY_MOVES != 0;

// Ends the program with a message naming the invariant that does not hold.
[[noreturn]] void invariant_failed(const char* what);

// In the checked build, `holds()` is asked and the program ends when it answers false; in every
// other build nothing is asked, so a test may cost as much as it needs.
template <class Test> inline void check_invariant(const char* what, Test holds) {
    if constexpr (CHECKED_BUILD) {
        if (!holds()) [[unlikely]]
            invariant_failed(what);
    }
}

} // namespace tervane
