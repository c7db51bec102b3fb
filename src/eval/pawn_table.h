// What the evaluation derives from the pawns alone, kept in a table for the pawn sets it was
// computed for, with the middlegame king terms of one pair of king squares. Pawns move seldom
// compared with the other pieces, so most evaluations find their pawn terms here instead of
// computing them again.
#pragma once

#include "eval/bit_sets.h"
#include "eval/rules.h"
#include "platform/build_config.h"
#include "position/position.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tervane {

struct PawnEntry {
    Bitboard not_white_pawns; // stored inverted, so that the zeroed table matches no position
    Bitboard black_pawns;
    Bitboard passed; // the passed pawns of both colours
    // Squares on which a knight of that colour stands in front of an enemy pawn that no enemy
    // pawn can chase away.
    std::array<Bitboard, 2> outposts;
    // White bishop squares on ranks 1 and 2, black ones on ranks 7 and 8, whose two forward
    // diagonal neighbours hold own pawns.
    Bitboard hemmed_bishops;
    // Isolated, backward, doubled and passed pawns, white's view: [0] middlegame, [1] endgame
    // (less the endgame charge for a blocked passed pawn, which depends on the other pieces).
    std::array<int32_t, 2> structure;
    std::array<uint8_t, 2> files; // bit f: a pawn of that colour on file f
    // The middlegame king terms (table value and shelter, white's view) of both colours for
    // one pair of king squares: king_squares holds white's square + 1 + 256 * (black's + 1),
    // or 0 before any terms are known.
    uint16_t king_squares;
    std::array<int16_t, 2> king_terms;
};
static_assert(sizeof(PawnEntry) == 64);

// 256 KiB: stays in the second-level cache, and a search meets far fewer pawn structures.
constexpr int PAWN_TABLE_BITS = 12;
extern std::array<PawnEntry, std::size_t{1} << PAWN_TABLE_BITS> pawn_table;

inline PawnEntry& pawn_slot(Bitboard white_pawns, Bitboard black_pawns) {
    const uint64_t mixed =
        white_pawns * 0x9E3779B97F4A7C15ULL ^ black_pawns * 0xD6E8FEB86659FD93ULL;
    return pawn_table[mixed >> (64 - PAWN_TABLE_BITS)];
}

// Whether the entry holds the terms of these pawns.
inline bool holds_pawns(const PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    return e.not_white_pawns == ~white_pawns && e.black_pawns == black_pawns;
}

// The entry's terms of a pawn structure met for the first time: kept out of the evaluation's
// straight path, which then needs fewer registers. One version for each way of counting bits,
// like the evaluation; dispatch.h has the processor's for callers outside the evaluation.
template <Counting C>
void refill_pawn_entry(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns);

// The entry that stands in for the table when it is switched off (see USE_PAWN_TABLE).
extern PawnEntry fresh_pawn_entry;

// The entry of these pawns, filled by `refill` (a version of refill_pawn_entry) when the table
// holds other pawns there; without the table, filled afresh each time.
template <class Refill>
[[gnu::always_inline]] inline PawnEntry& pawn_entry(Bitboard white_pawns, Bitboard black_pawns,
                                                    Refill refill) {
    PawnEntry& e = USE_PAWN_TABLE ? pawn_slot(white_pawns, black_pawns) : fresh_pawn_entry;
    if (!USE_PAWN_TABLE || !holds_pawns(e, white_pawns, black_pawns)) [[unlikely]]
        refill(e, white_pawns, black_pawns);
    check_invariant("a pawn entry holds the pawns it was looked up for",
                    [&] { return holds_pawns(e, white_pawns, black_pawns); });
    return e;
}

// The files of a PawnEntry::files byte, as a mask of whole files.
constexpr Bitboard files_of(uint8_t files) {
    return Bitboard{files} * FILE_A;
}

// The squares in front of the side's passed pawns.
template <int Us> inline Bitboard passer_fronts(const PawnEntry& e, Bitboard own_pawns) {
    return forward<Us>(e.passed & own_pawns);
}

constexpr uint16_t king_squares_key(Square white_king, Square black_king) {
    return static_cast<uint16_t>(white_king + 1 + 256 * (black_king + 1));
}

// The middlegame king terms of both kings, white's view, for king squares that the entry has
// not seen together: only the term of a king that has moved is computed again.
int32_t refresh_king_terms(PawnEntry& e, Square white_king, Square black_king, Bitboard white_pawns,
                           Bitboard black_pawns);

// The middlegame king terms of both kings, white's view, from the entry when it holds them.
inline int32_t king_terms(PawnEntry& e, Square white_king, Square black_king, Bitboard white_pawns,
                          Bitboard black_pawns) {
    return e.king_squares == king_squares_key(white_king, black_king)
               ? e.king_terms[0] + e.king_terms[1]
               : refresh_king_terms(e, white_king, black_king, white_pawns, black_pawns);
}

} // namespace tervane
