// Which version of the evaluation runs: on x86-64 the processor is asked once, at start-up,
// whether it counts bits in one instruction; 64-bit ARM and WebAssembly always do.
#include "eval/dispatch.h"

#include "eval/eval.h"

namespace tervane {

namespace {

#if defined(__x86_64__) || defined(_M_X64)
bool processor_counts_bits() {
    __builtin_cpu_init(); // this runs before main, maybe before the library's own set-up
    return __builtin_cpu_supports("popcnt");
}
const bool has_popcnt = processor_counts_bits();
#else
constexpr bool has_popcnt = true;
#endif

} // namespace

int32_t evaluate() {
    return has_popcnt ? evaluate_popcnt() : evaluate_portable();
}

int32_t evaluate_within(int32_t alpha, int32_t beta) {
    return has_popcnt ? evaluate_within_popcnt(alpha, beta) : evaluate_within_portable(alpha, beta);
}

void refill_pawn_entry_for_processor(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    if (has_popcnt)
        refill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
    else
        refill_pawn_entry<Counting::PORTABLE>(e, white_pawns, black_pawns);
}

} // namespace tervane
