#include "eval/pawn_table.h"

#include "eval/rules.h"

namespace tervane {

alignas(64) std::array<PawnEntry, std::size_t{1} << PAWN_TABLE_BITS> pawn_table;
PawnEntry fresh_pawn_entry;

namespace {

template <Counting C>
[[gnu::always_inline]] inline void fill_pawn_entry(PawnEntry& e, Bitboard white_pawns,
                                                   Bitboard black_pawns) {
    e.not_white_pawns = ~white_pawns;
    e.black_pawns = black_pawns;
    e.king_squares = 0;
    const PawnCover white = pawn_cover<0>(white_pawns);
    const PawnCover black = pawn_cover<1>(black_pawns);
    e.files = {static_cast<uint8_t>(white.files & RANK_1),
               static_cast<uint8_t>(black.files & RANK_1)};
    e.hemmed_bishops =
        hemmed_bishop_squares<0>(white_pawns) | hemmed_bishop_squares<1>(black_pawns);
    const PawnStructure white_terms = pawn_structure<0, C>(white_pawns, white, black);
    const PawnStructure black_terms = pawn_structure<1, C>(black_pawns, black, white);
    e.structure = {structure_terms(white_terms, black_terms, 0),
                   structure_terms(white_terms, black_terms, 1)};
    e.passed = white_terms.passed_pawns | black_terms.passed_pawns;
    e.outposts = {outpost_squares<0>(black_pawns, black), outpost_squares<1>(white_pawns, white)};
}

} // namespace

template <>
[[TERVANE_POPCNT_TARGET, gnu::noinline]] void
refill_pawn_entry<Counting::POPCNT>(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    fill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
}

template <>
[[gnu::noinline]] void refill_pawn_entry<Counting::PORTABLE>(PawnEntry& e, Bitboard white_pawns,
                                                             Bitboard black_pawns) {
    fill_pawn_entry<Counting::PORTABLE>(e, white_pawns, black_pawns);
}

[[gnu::noinline]] int32_t refresh_king_terms(PawnEntry& e, Square white_king, Square black_king,
                                             Bitboard white_pawns, Bitboard black_pawns) {
    check_invariant("the king terms are worked out with the pawns of their entry",
                    [&] { return holds_pawns(e, white_pawns, black_pawns); });
    if (e.king_squares % 256 != white_king + 1)
        e.king_terms[0] =
            static_cast<int16_t>(middlegame_king_terms<0>(white_king, white_pawns, black_pawns));
    if (e.king_squares / 256 != black_king + 1)
        e.king_terms[1] =
            static_cast<int16_t>(middlegame_king_terms<1>(black_king, white_pawns, black_pawns));
    e.king_squares = king_squares_key(white_king, black_king);
    return e.king_terms[0] + e.king_terms[1];
}

} // namespace tervane
