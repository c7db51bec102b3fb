// The static evaluation: material, piece-square tables, pawn structure, rook, knight and
// queen placement and king shelter, switched between a middlegame and an endgame form.
//
// It runs at every quiescence node, so it is organised for speed rather than as a transcript of
// the rules term by term: the terms are computed from the square sets that make and unmake keep
// beside the board, most of them for all pieces of a kind at once, with short loops only over
// the few pawns that a term concerns (passed and doubled pawns); the piece-square sum is kept
// up to date by make and unmake, and what depends on the pawns alone (with the king terms of
// one pair of king squares) is kept in the pawn table. Every value is the one a plain
// term-by-term reading gives; the unit tests compare the two over many thousands of positions.
// The quiescence search asks for a windowed form that may stop at a bound.
#include "eval/eval.h"

#include "eval/bit_sets.h"
#include "eval/dispatch.h"
#include "eval/pawn_table.h"
#include "eval/rules.h"
#include "eval/weights.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace tervane {

int32_t last_evaluated_piece_count = 0;

void reset_evaluation() {
    last_evaluated_piece_count = 0;
}

namespace {

// The range of a term over the positions it can meet, for the windowed evaluation's bound.
struct TermRange {
    int32_t least, most;
};
constexpr TermRange EMPTY_RANGE = {std::numeric_limits<int32_t>::max(),
                                   std::numeric_limits<int32_t>::min()};
constexpr TermRange widened(TermRange range, int32_t value) {
    return {std::min(range.least, value), std::max(range.most, value)};
}

// One king's shelter, its own view, over every rank of the king and every placement of the
// pawns on its three files. For a given king rank the files are independent of each other, and
// a rearmost pawn counts on its seventh rank at most (see rear_rank).
constexpr TermRange shelter_range() {
    TermRange range = EMPTY_RANGE;
    for (int king_rank = 0; king_rank < 8; ++king_rank) {
        TermRange king_file = EMPTY_RANGE, side_file = EMPTY_RANGE;
        for (int pawn_rank = 0; pawn_rank < 7; ++pawn_rank)
            for (const bool own_pawn : {false, true}) {
                side_file = widened(side_file, shield_term(SHIELD_SIDE_FILE_PER_RANK, own_pawn,
                                                           king_rank, pawn_rank));
                const int32_t shield =
                    shield_term(SHIELD_OWN_FILE_PER_RANK, own_pawn, king_rank, pawn_rank);
                for (const bool enemy_pawn : {false, true})
                    king_file = widened(king_file, king_file_term(own_pawn, enemy_pawn) + shield);
            }
        range = widened(widened(range, king_file.least + 2 * side_file.least),
                        king_file.most + 2 * side_file.most);
    }
    return range;
}
constexpr TermRange SHELTER = shelter_range();

// One rook's terms besides the shut-in h-rook: the seventh rank and the file.
constexpr TermRange rook_range(bool middlegame) {
    const int32_t seventh_least = std::min(
        {0, rook_on_seventh_bonus(middlegame, false), rook_on_seventh_bonus(middlegame, true)});
    const int32_t seventh_most = std::max(
        {0, rook_on_seventh_bonus(middlegame, false), rook_on_seventh_bonus(middlegame, true)});
    return {seventh_least + std::min({0, ROOK_HALF_OPEN_FILE, ROOK_OPEN_FILE}),
            seventh_most + std::max({0, ROOK_HALF_OPEN_FILE, ROOK_OPEN_FILE})};
}
constexpr std::array<TermRange, 2> ROOK_TERMS = {rook_range(true), rook_range(false)};

// One knight's outpost terms.
constexpr TermRange OUTPOST_TERMS = {
    std::min({0, KNIGHT_OUTPOST, KNIGHT_OUTPOST + CENTRAL_KNIGHT_OUTPOST}),
    std::max({0, KNIGHT_OUTPOST, KNIGHT_OUTPOST + CENTRAL_KNIGHT_OUTPOST})};

// The bound adds to each side only what its own rooks and knights gain and what the other
// side's shut-in rook loses: none of these terms may ever go the other way.
static_assert(ROOK_TERMS[0].least == 0 && ROOK_TERMS[1].least == 0);
static_assert(OUTPOST_TERMS.least == 0);
static_assert(SHUT_IN_ROOK >= 0);
static_assert(SHELTER.least <= SHELTER.most);

// The endgame material rules, for an endgame without queens and rooks: false for the drawn
// ending, which scores 0; otherwise the material sums, halved for opposite-coloured bishops.
// Out of line: seldom met, and kept out of the straight path it leaves the evaluation's values
// in registers.
[[gnu::noinline]] bool endgame_material(std::array<int32_t, 2>& material, Bitboard pawns) {
    const Bitboard white_knights = pieces_of(0, KNIGHT_SET);
    const Bitboard black_knights = pieces_of(1, KNIGHT_SET);
    const Bitboard white_bishops = pieces_of(0, BISHOP_SET);
    const Bitboard black_bishops = pieces_of(1, BISHOP_SET);
    if (drawn_ending(pawns, white_knights, black_knights, white_bishops, black_bishops))
        return false;
    if (opposite_bishops(pawns, white_knights | black_knights, white_bishops, black_bishops))
        material = {halved_material(material[0]), halved_material(material[1])};
    return true;
}

// The terms of the endgame form besides the rooks': the kings' table, blocked passed pawns
// and queens on the seventh rank.
template <Counting C>
[[gnu::always_inline]] inline int32_t endgame_terms(const PawnEntry& e, Bitboard white_pawns,
                                                    Bitboard black_pawns, Bitboard queens) {
    const Square white_king = pos.king_square[0], black_king = pos.king_square[1];
    int32_t p = king_endgame_table[white_king] - king_endgame_table[black_king];
    if (e.passed != 0)
        p += blocked_passer_terms<C>(passer_fronts<0>(e, white_pawns),
                                     passer_fronts<1>(e, black_pawns), occupied_squares());
    return p + queens_on_seventh<0, C>(pos.colour_pieces[0] & queens, false, black_king) -
           queens_on_seventh<1, C>(pos.colour_pieces[1] & queens, false, white_king);
}

// The least and the most that the full score can be, for the side to move, given the terms
// known so far (`known`, white's view) and what the others can add from above and below: each
// rook and each knight on an outpost square what its rules give at most; in the middlegame
// the shut-in h-rook of either colour, and the shelters of the kings when their terms are not
// known (their table values are counted in `known`).
struct ScoreRange {
    int32_t least, most;
};
template <Counting C>
[[gnu::always_inline]] inline ScoreRange
score_range(int32_t known, const PawnEntry& e, const std::array<Bitboard, 2>& rooks,
            const std::array<Bitboard, 2>& knights, bool middlegame, bool king_terms_known) {
    const int32_t rook_most = ROOK_TERMS[middlegame ? 0 : 1].most;
    const int32_t once =
        middlegame ? SHUT_IN_ROOK + (king_terms_known ? 0 : SHELTER.most - SHELTER.least) : 0;
    const int32_t white_up = rook_most * few_bits<C>(rooks[0]) +
                             OUTPOST_TERMS.most * few_bits<C>(knights[0] & e.outposts[0]) + once;
    const int32_t white_down = rook_most * few_bits<C>(rooks[1]) +
                               OUTPOST_TERMS.most * few_bits<C>(knights[1] & e.outposts[1]) + once;
    const int32_t own = side_view(known, pos.side);
    // Black's view swaps what raises the score and what lowers it.
    const int32_t swap = (white_up ^ white_down) & -static_cast<int32_t>(pos.side);
    return {own - (white_down ^ swap), own + (white_up ^ swap)};
}

// The evaluation; with Bounded, a score that only has to compare with alpha and beta as the
// full score does (see evaluate_within).
template <Counting C, bool Bounded>
[[gnu::always_inline]] inline int32_t evaluate_with(int32_t alpha, int32_t beta) {
    // The pawn entry first: on a miss it is filled by a call, and little is kept across it.
    const Bitboard white_pawns = pieces_of(0, PAWN_SET);
    const Bitboard black_pawns = pieces_of(1, PAWN_SET);
    PawnEntry& e = pawn_entry(white_pawns, black_pawns, refill_pawn_entry<C>);

    const auto& kinds = pos.kind_pieces;
    const Bitboard white = pos.colour_pieces[0];
    const Bitboard black = pos.colour_pieces[1];
    const Bitboard pawns = kinds[PAWN_SET];
    const Bitboard queens = kinds[QUEEN_SET];
    const Bitboard rooks = kinds[ROOK_SET];

    const bool middlegame = in_middlegame(white, black, queens);

    // The endgame material rules depend on piece counts only, so they are decided before any
    // other work; the draw return leaves last_evaluated_piece_count untouched.
    std::array<int32_t, 2> material = pos.material;
    if (!middlegame && (queens | rooks) == 0 && !endgame_material(material, pawns)) return 0;

    const Bitboard knights = kinds[KNIGHT_SET];
    const Bitboard bishops = kinds[BISHOP_SET];
    // The null move's material guard: knights, bishops, rooks and queens of both colours.
    last_evaluated_piece_count = many_bits<C>(knights | bishops | rooks | queens);

    // Piece-square tables of pawns, knights, bishops and queens, kept up to date by
    // make and unmake; the pawn structure from the pawn table.
    int32_t p =
        pos.square_score + e.structure[middlegame ? 0 : 1]; // positional total, white's view

    const Square white_king = pos.king_square[0];
    const Square black_king = pos.king_square[1];

    // The bishops: the pair and the fianchetto.
    const Bitboard white_bishops = white & bishops;
    const Bitboard black_bishops = black & bishops;
    p += bishop_pair_terms<C>(white_bishops, black_bishops);
    p += fianchetto_bonus<0>(white_bishops, white_king);
    p -= fianchetto_bonus<1>(black_bishops, black_king);
    // Hemmed in by their own pawns: seldom met, and then for many evaluations in a row.
    if ((bishops & e.hemmed_bishops) != 0)
        p += hemmed_bishop_terms<C>(white_bishops, black_bishops, e.hemmed_bishops);

    // Kings: in the middlegame table and shelter, remembered in the pawn entry for
    // one pair of squares.
    const uint16_t king_squares = king_squares_key(white_king, black_king);
    const bool king_terms_known = !middlegame || e.king_squares == king_squares;
    if (!middlegame)
        p += endgame_terms<C>(e, white_pawns, black_pawns, queens);
    else if (king_terms_known)
        p += e.king_terms[0] + e.king_terms[1];

    const Bitboard white_rooks = white & rooks;
    const Bitboard black_rooks = black & rooks;
    const Bitboard white_knights = white & knights;
    const Bitboard black_knights = black & knights;

    if constexpr (Bounded) {
        const int32_t king_tables =
            king_terms_known ? 0
                             : king_table_value<0>(white_king) - king_table_value<1>(black_king);
        const ScoreRange range = score_range<C>(
            material[0] + material[1] + p + king_tables, e, {white_rooks, black_rooks},
            {white_knights, black_knights}, middlegame, king_terms_known);
        if (range.least >= beta) return range.least;
        if (range.most <= alpha) return range.most;
    }

    // Rooks: on the seventh rank, and on files without own pawns.
    p += rooks_on_seventh<0, C>(white_rooks, middlegame, black_king) -
         rooks_on_seventh<1, C>(black_rooks, middlegame, white_king);
    const Bitboard white_pawn_files = files_of(e.files[0]);
    const Bitboard black_pawn_files = files_of(e.files[1]);
    p += rook_file_terms<C>(white_rooks, black_rooks, white_pawn_files, black_pawn_files);

    p += outpost_terms<C>(white_knights, black_knights, e.outposts);

    if (middlegame) {
        p += shut_in_rook_charge<0>(white_rooks, white_king, white_pawns) -
             shut_in_rook_charge<1>(black_rooks, black_king, black_pawns);
        if (!king_terms_known)
            p += refresh_king_terms(e, white_king, black_king, white_pawns, black_pawns);
    }

    return side_view(material[0] + material[1] + p, pos.side);
}

} // namespace

// The versions for each way of counting bits (dispatch.cpp picks one).
[[TERVANE_POPCNT_TARGET]] int32_t evaluate_popcnt() {
    return evaluate_with<Counting::POPCNT, false>(0, 0);
}
[[TERVANE_POPCNT_TARGET]] int32_t evaluate_within_popcnt(int32_t alpha, int32_t beta) {
    return evaluate_with<Counting::POPCNT, true>(alpha, beta);
}
int32_t evaluate_portable() {
    return evaluate_with<Counting::PORTABLE, false>(0, 0);
}
int32_t evaluate_within_portable(int32_t alpha, int32_t beta) {
    return evaluate_with<Counting::PORTABLE, true>(alpha, beta);
}

} // namespace tervane
