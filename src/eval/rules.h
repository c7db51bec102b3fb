// The rules of the evaluation, each one function, read by the evaluation, by the quiet-move
// scores, by the pawn table that keeps what the pawns decide, and by the term-by-term report of
// the `eval` command. The weights are in weights.h.
//
// A rule written for one side takes the side as `Us` (0 white, 1 black) and gives that side's
// own view (a charge is negative). A rule that counts pieces is given the pieces of both colours
// and weighs the difference of the counts, white's view; applied to one piece it is given that
// piece and no piece of the other colour, and counts sets of at most one square.
#pragma once

#include "eval/bit_sets.h"
#include "eval/weights.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <array>
#include <cstdint>

namespace tervane {

// ---- Phase and material ----------------------------------------------------------------------

// The phase, from the material sums as make and unmake keep them.
inline bool in_middlegame(Bitboard white, Bitboard black, Bitboard queens) {
    const bool both_queens = ((white & queens) != 0) & ((black & queens) != 0);
    const int32_t threshold = both_queens ? MIDDLEGAME_MATERIAL_WITH_QUEENS : MIDDLEGAME_MATERIAL;
    return (static_cast<int>(pos.material[0] >= threshold) |
            static_cast<int>(pos.material[1] <= -threshold)) != 0;
}

// The endgame material rules, for an endgame without queens and rooks. A drawn ending:
// no pawns, and a side with exactly one knight or exactly one bishop.
inline bool drawn_ending(Bitboard pawns, Bitboard white_knights, Bitboard black_knights,
                         Bitboard white_bishops, Bitboard black_bishops) {
    return pawns == 0 && (exactly_one(white_knights) || exactly_one(white_bishops) ||
                          exactly_one(black_knights) || exactly_one(black_bishops));
}
// Pawns, no knights, and one bishop each on squares of different colours: both material sums
// count half.
inline bool opposite_bishops(Bitboard pawns, Bitboard knights, Bitboard white_bishops,
                             Bitboard black_bishops) {
    return pawns != 0 && knights == 0 && exactly_one(white_bishops) && exactly_one(black_bishops) &&
           square_colour[lowest_square(white_bishops)] !=
               square_colour[lowest_square(black_bishops)];
}
constexpr int32_t halved_material(int32_t material) {
    return material / 2; // truncates toward zero, as the negative black sum needs
}

// A score from white's view as the side to move (0 white, 1 black) sees it, and back: the same
// negation either way. Without a branch, as the evaluation's last step.
constexpr int32_t side_view(int32_t white_view, int side) {
    const int32_t negate = -side; // 0, or -1 for black: x ^ -1 is -x - 1
    return (white_view ^ negate) - negate;
}

// ---- Pawns -----------------------------------------------------------------------------------

// The rank, counted from the side's first, of the rearmost of its pawns on one file, at most 6:
// a file without one reads 6, and so does a pawn on the last rank, as the rule's starting value
// stands for it.
template <int Us> constexpr int rear_rank(Bitboard own_pawns_on_file) {
    if constexpr (Us == 0)
        return lowest_square(own_pawns_on_file | bit(48)) >> 3;
    else
        return 7 - (highest_square(own_pawns_on_file | bit(8)) >> 3);
}

// Sum over the files of n * (n - 1) for n pawns of one colour on the file: every pawn of a
// file with n pawns is charged n - 1.
template <Counting C> inline int32_t doubled_charge(Bitboard pawns) {
    Bitboard doubled = pawns & north_fill(pawns << 8); // pawns with another one behind them
    int32_t charge = 0;
    while (doubled != 0) {
        const Bitboard file = file_mask(file_of(lowest_square(doubled)));
        const int32_t n = few_bits<C>(pawns & file);
        charge += n * (n - 1);
        doubled &= ~file;
    }
    return charge;
}

// What one colour's pawns cover: their files, the squares in front of them and those in front
// of the squares beside them (each with the squares themselves), shared by the rules below.
struct PawnCover {
    Bitboard files, ahead, beside_ahead;
};
template <int Us> inline PawnCover pawn_cover(Bitboard pawns) {
    return {file_fill(pawns), forward_fill<Us>(pawns), forward_fill<Us>(sideways(pawns))};
}

// One colour's pawn structure: its isolated pawns and the ranks of its passed
// pawns, whose weights depend on the phase, the other terms (its own view), and its passed
// pawns.
struct PawnStructure {
    int32_t isolated_count = 0, backward = 0, doubled = 0, passed_ranks = 0, passed_extras = 0;
    Bitboard passed_pawns = 0;
};

template <int Us, Counting C>
inline PawnStructure pawn_structure(Bitboard own, const PawnCover& own_cover,
                                    const PawnCover& enemy_cover) {
    constexpr int Them = 1 - Us;
    PawnStructure terms{};
    const Bitboard isolated = own & ~sideways(own_cover.files);
    terms.isolated_count = few_bits<C>(isolated);
    // Backward: no own pawn on a neighbouring file level with or behind it, and short of the
    // seventh rank.
    const Bitboard backward = own & ~isolated & ~own_cover.beside_ahead &
                              ~(relative_rank_mask<Us>(6) | relative_rank_mask<Us>(7));
    terms.backward = -BACKWARD_PAWN * few_bits<C>(backward) -
                     BACKWARD_PAWN_OPEN_FILE * few_bits<C>(backward & ~enemy_cover.files);
    if ((own & forward<Us>(own_cover.ahead)) != 0) // a pawn with an own pawn behind it
        terms.doubled = -DOUBLED_PAWN * doubled_charge<C>(own);
    // Passed: no enemy pawn ahead on its own or a neighbouring file, and off its first rank.
    Bitboard passed = own & ~forward<Them>(enemy_cover.ahead | enemy_cover.beside_ahead) &
                      ~relative_rank_mask<Us>(0);
    terms.passed_pawns = passed;
    int32_t passed_ranks = 0, passed_extras = 0;
    while (passed != 0) {
        const Square s = pop_lowest(passed);
        const int f = file_of(s), r = relative_rank<Us>(rank_of(s));
        passed_ranks += r;
        if (((isolated >> s) & 1) == 0) {
            passed_extras += PASSED_PAWN_NOT_ISOLATED;
            if (r - rear_rank<Us>(own & padded_files[f]) == 1 ||
                r - rear_rank<Us>(own & padded_files[f + 2]) == 1)
                passed_extras += PASSED_PAWN_SUPPORTED;
        }
    }
    terms.passed_ranks = passed_ranks;
    terms.passed_extras = passed_extras;
    return terms;
}

// The structure terms of both colours in the middlegame (phase 0) or the endgame (1), white's
// view. For the terms of one colour or one kind, the other structure is empty.
constexpr int32_t structure_terms(const PawnStructure& white, const PawnStructure& black,
                                  int phase) {
    return white.backward + white.doubled + white.passed_extras -
           (black.backward + black.doubled + black.passed_extras) +
           ISOLATED_PAWN[phase] * (black.isolated_count - white.isolated_count) +
           PASSED_PAWN_RANK[phase] * (white.passed_ranks - black.passed_ranks);
}

// Squares of a colour's first two ranks whose two forward diagonal neighbours hold own pawns.
// A bishop on the a- or h-file has only one such neighbour, so it never takes this penalty.
template <int Us> constexpr Bitboard hemmed_bishop_squares(Bitboard own_pawns) {
    constexpr Bitboard INNER_FILES = ~(FILE_A | FILE_H);
    const Bitboard diagonal_pawns =
        Us == 0 ? (own_pawns >> 7) & (own_pawns >> 9) : (own_pawns << 7) & (own_pawns << 9);
    return (relative_rank_mask<Us>(0) | relative_rank_mask<Us>(1)) & INNER_FILES & diagonal_pawns;
}

// Squares on which a knight of the colour stands in front of an enemy pawn that no enemy pawn
// can chase away: none on a neighbouring file further forward from the enemy's side.
// The rearmost-pawn ranks that the rule compares are clamped to the second and seventh ranks,
// so a knight on its first rank never counts.
template <int Us>
constexpr Bitboard outpost_squares(Bitboard enemy_pawns, const PawnCover& enemy_cover) {
    constexpr int Them = 1 - Us;
    return forward<Them>(enemy_pawns) &
           ~(relative_rank_mask<Us>(0) | relative_rank_mask<Us>(6) | relative_rank_mask<Us>(7)) &
           ~forward<Them>(enemy_cover.beside_ahead);
}

// ---- Kings -----------------------------------------------------------------------------------

// The pawns around a king in the middlegame, the side's own view. The king's file
// is charged for a missing own and a missing enemy pawn; the king's file and the files beside
// it each hold a shield pawn when the rearmost own pawn on the file stands in front of the king.
// Ranks are counted from the side's own first rank.
constexpr int32_t king_file_term(bool own_pawn, bool enemy_pawn) {
    return -(own_pawn ? 0 : KING_FILE_WITHOUT_OWN_PAWN) -
           (enemy_pawn ? 0 : KING_FILE_WITHOUT_ENEMY_PAWN);
}
constexpr int32_t shield_term(int32_t per_rank, bool own_pawn, int king_rank, int pawn_rank) {
    return own_pawn && king_rank < pawn_rank ? per_rank * (king_rank - pawn_rank + 1)
                                             : -SHIELD_PAWN_MISSING;
}

// The shelter of a king of the side on its square, that side's view.
template <int Us>
[[gnu::always_inline]] inline int32_t shelter(Square king, Bitboard own_pawns,
                                              Bitboard enemy_pawns) {
    const int f = file_of(king), r = relative_rank<Us>(rank_of(king));
    const Bitboard own_file = own_pawns & file_mask(f);
    int32_t p = king_file_term(own_file != 0, (enemy_pawns & file_mask(f)) != 0) +
                shield_term(SHIELD_OWN_FILE_PER_RANK, own_file != 0, r, rear_rank<Us>(own_file));
    for (const int x : {f + 2, f}) { // the sentinel files beyond the edges read "no pawn"
        const Bitboard side_file = own_pawns & padded_files[x];
        p += shield_term(SHIELD_SIDE_FILE_PER_RANK, side_file != 0, r, rear_rank<Us>(side_file));
    }
    return p;
}

template <int Us> constexpr int32_t king_table_value(Square king) {
    return Us == 0 ? king_table_white[king] : king_table_black[king];
}

// The middlegame terms of a king of the side on `s`, white's view: its table value and shelter.
template <int Us>
[[gnu::always_inline]] inline int32_t middlegame_king_terms(Square s, Bitboard white_pawns,
                                                            Bitboard black_pawns) {
    if constexpr (Us == 0)
        return king_table_value<0>(s) + shelter<0>(s, white_pawns, black_pawns);
    else
        return -(king_table_value<1>(s) + shelter<1>(s, black_pawns, white_pawns));
}

template <int Us> constexpr bool on_back_rank(Square king) {
    return relative_rank<Us>(rank_of(king)) == 0;
}

// ---- Knights, bishops, rooks and queens --------------------------------------------------------

constexpr Bitboard CENTRE_FILES = file_mask(2) | file_mask(3);
constexpr Bitboard WHITE_BACK_RANKS = rank_mask(0) | rank_mask(1);
constexpr Bitboard BLACK_BACK_RANKS = rank_mask(6) | rank_mask(7);

// `weight` for each square of `white`, less `weight` for each square of `black`.
template <Counting C> inline int32_t counted(int32_t weight, Bitboard white, Bitboard black) {
    return weight * (few_bits<C>(white) - few_bits<C>(black));
}

// Each bishop of a side past its first: the set without its lowest square.
template <Counting C>
inline int32_t bishop_pair_terms(Bitboard white_bishops, Bitboard black_bishops) {
    return counted<C>(BISHOP_PAIR, white_bishops & (white_bishops - 1),
                      black_bishops & (black_bishops - 1));
}

// A bishop on g2 (g7) with its king on g1 (g8).
template <int Us> inline int32_t fianchetto_bonus(Bitboard bishops, Square king) {
    return (bishops & bit(relative_square<Us>(G2))) != 0 && king == relative_square<Us>(G1)
               ? FIANCHETTO
               : 0;
}

// Bishops on the squares of their back ranks that the pawn entry found hemmed in by their own
// pawns.
template <Counting C>
inline int32_t hemmed_bishop_terms(Bitboard white_bishops, Bitboard black_bishops,
                                   Bitboard hemmed) {
    return counted<C>(-HEMMED_BISHOP, white_bishops & hemmed & WHITE_BACK_RANKS,
                      black_bishops & hemmed & BLACK_BACK_RANKS);
}

// Knights on the outpost squares that the pawn entry found for their colour.
template <Counting C>
inline int32_t outpost_terms(Bitboard white_knights, Bitboard black_knights,
                             const std::array<Bitboard, 2>& outposts) {
    const Bitboard white = white_knights & outposts[0];
    const Bitboard black = black_knights & outposts[1];
    return counted<C>(KNIGHT_OUTPOST, white, black) +
           counted<C>(CENTRAL_KNIGHT_OUTPOST, white & CENTRE_FILES, black & CENTRE_FILES);
}

// Endgame: passed pawns with a piece in front of them, given the squares in front of each
// colour's passed pawns.
template <Counting C>
inline int32_t blocked_passer_terms(Bitboard white_fronts, Bitboard black_fronts,
                                    Bitboard occupied) {
    return counted<C>(-BLOCKED_PASSED_PAWN, white_fronts & occupied, black_fronts & occupied);
}

// Rooks on files without own pawns, more without any pawn.
template <Counting C>
inline int32_t rook_file_terms(Bitboard white_rooks, Bitboard black_rooks,
                               Bitboard white_pawn_files, Bitboard black_pawn_files) {
    const Bitboard white = white_rooks & ~white_pawn_files;
    const Bitboard black = black_rooks & ~black_pawn_files;
    return counted<C>(ROOK_HALF_OPEN_FILE, white, black) +
           counted<C>(ROOK_OPEN_FILE - ROOK_HALF_OPEN_FILE, white & ~black_pawn_files,
                      black & ~white_pawn_files);
}

// What a rook on the seventh rank (a black one on the second) gains, by the phase and whether
// the enemy king stands on its back rank; a queen there gains only in the endgame with that
// king on its back rank.
constexpr int32_t rook_on_seventh_bonus(bool middlegame, bool enemy_king_on_back_rank) {
    if (middlegame) return ROOK_ON_SEVENTH[0];
    return enemy_king_on_back_rank ? ROOK_ON_SEVENTH_KING_ON_EIGHTH : ROOK_ON_SEVENTH[1];
}
constexpr int32_t queen_on_seventh_bonus(bool middlegame, bool enemy_king_on_back_rank) {
    return !middlegame && enemy_king_on_back_rank ? QUEEN_ON_SEVENTH : 0;
}
// Rooks or queens of one colour on that rank, with the bonus above.
template <Counting C> inline int32_t far_rank_bonus(Bitboard pieces_on_far_rank, int32_t bonus) {
    return bonus * few_bits<C>(pieces_on_far_rank);
}
template <int Us, Counting C>
inline int32_t rooks_on_seventh(Bitboard rooks, bool middlegame, Square enemy_king) {
    return far_rank_bonus<C>(rooks & relative_rank_mask<Us>(6),
                             rook_on_seventh_bonus(middlegame, on_back_rank<1 - Us>(enemy_king)));
}
template <int Us, Counting C>
inline int32_t queens_on_seventh(Bitboard queens, bool middlegame, Square enemy_king) {
    return far_rank_bonus<C>(queens & relative_rank_mask<Us>(6),
                             queen_on_seventh_bonus(middlegame, on_back_rank<1 - Us>(enemy_king)));
}

// Middlegame: a rook on h1 (h8) shut in by its castled king on f1 or g1 (f8 or g8) with its
// own pawn on h2 or h3 (h7 or h6).
template <int Us> inline int32_t shut_in_rook_charge(Bitboard rooks, Square king, Bitboard pawns) {
    constexpr Bitboard CORNER = bit(relative_square<Us>(H1));
    constexpr Bitboard KING_SQUARES = bit(relative_square<Us>(F1)) | bit(relative_square<Us>(G1));
    constexpr Bitboard PAWN_SQUARES = bit(relative_square<Us>(H2)) | bit(relative_square<Us>(H3));
    return (rooks & CORNER) != 0 && (bit(king) & KING_SQUARES) != 0 && (pawns & PAWN_SQUARES) != 0
               ? -SHUT_IN_ROOK
               : 0;
}

} // namespace tervane
