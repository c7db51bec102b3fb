// The static evaluation: material, piece-square tables, pawn structure, rook, knight and
// queen placement and king shelter, switched between a middlegame and an endgame form.
//
// It runs at every quiescence node, so it is organised for speed rather than as a transcript of
// the rules term by term: the terms are computed from the square sets that make and unmake keep
// beside the board, most of them for all pieces of a kind at once, with short loops only over
// the few pawns that a term concerns (passed and doubled pawns); the piece-square sum is kept
// up to date by make and unmake, and what depends on the pawns alone (with the king terms of
// one pair of king squares) is kept in a table keyed by the two pawn sets. Every value is the
// one a plain term-by-term reading gives; the unit tests compare the two over many thousands
// of positions. The quiescence search asks for a windowed form that may stop at a bound.
#include "eval/eval.h"

#include "eval/weights.h"
#include "position/move.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace tervane {

int32_t last_evaluated_piece_count = 0;

void reset_evaluation() {
    last_evaluated_piece_count = 0;
}

namespace {

constexpr Square F1 = 5, G1 = 6, H1 = 7, G2 = 14, H2 = 15, H3 = 23;

constexpr int file_of(Square s) {
    return s & 7;
}
constexpr int rank_of(Square s) {
    return s >> 3;
}

// Bit counts. Most x86-64 processors count bits in one instruction, but the portable build
// may not assume it: there evaluate is compiled twice and the processor's answer, asked once
// at start-up, picks the version. Without the instruction, sets that seldom hold more than a
// square or two are counted bit by bit, larger ones in parallel. A rule applied to one piece
// counts a set of at most one square, which is a test.
enum class Counting { POPCNT, PORTABLE, AT_MOST_ONE };

template <Counting C> inline int32_t few_bits(Bitboard b) {
    if constexpr (C == Counting::POPCNT) {
        return std::popcount(b);
    } else if constexpr (C == Counting::AT_MOST_ONE) {
        return b != 0 ? 1 : 0;
    } else {
        int32_t n = 0;
        for (; b != 0; b &= b - 1) ++n;
        return n;
    }
}

template <Counting C> inline int32_t many_bits(Bitboard b) {
    if constexpr (C == Counting::PORTABLE) {
        b = b - ((b >> 1) & 0x5555555555555555ULL);
        b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
        b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
        return static_cast<int32_t>((b * 0x0101010101010101ULL) >> 56);
    } else {
        return few_bits<C>(b);
    }
}

constexpr bool exactly_one(Bitboard b) {
    return b != 0 && (b & (b - 1)) == 0;
}

// The files (as a mask of whole files) that hold at least one of the given squares.
constexpr Bitboard file_fill(Bitboard b) {
    b |= b >> 32;
    b |= b >> 16;
    b |= b >> 8;
    return (b & RANK_1) * FILE_A;
}

// Each square together with every square above it (north) or below it (south) on its file.
constexpr Bitboard north_fill(Bitboard b) {
    b |= b << 8;
    b |= b << 16;
    return b | (b << 32);
}
constexpr Bitboard south_fill(Bitboard b) {
    b |= b >> 8;
    b |= b >> 16;
    return b | (b >> 32);
}

// The squares one file to either side of the given ones.
constexpr Bitboard sideways(Bitboard b) {
    return ((b << 1) & ~FILE_A) | ((b >> 1) & ~FILE_H);
}

// Whole files by index file + 1: entries 0 and 9 are the files beyond the edges, which hold
// no pawn, so the rules below read them without bounds tests.
constexpr std::array<Bitboard, 10> make_padded_files() {
    std::array<Bitboard, 10> files{};
    for (int f = 0; f < 8; ++f) files[f + 1] = file_mask(f);
    return files;
}
constexpr std::array<Bitboard, 10> padded_files = make_padded_files();

// Colours as indices: 0 white, 1 black. A rule written for the side `Us` reads the board from
// that side: its ranks counted from its own first rank, its squares mirrored for black, its
// pawns moving forward.
template <int Us> constexpr int relative_rank(int rank) {
    return Us == 0 ? rank : 7 - rank;
}
template <int Us> constexpr Square relative_square(Square s) {
    return Us == 0 ? s : s ^ 56;
}
template <int Us> constexpr Bitboard relative_rank_mask(int rank) {
    return rank_mask(relative_rank<Us>(rank));
}
// One rank forward, and every square in front (with the squares themselves).
template <int Us> constexpr Bitboard forward(Bitboard b) {
    return Us == 0 ? b << 8 : b >> 8;
}
template <int Us> constexpr Bitboard forward_fill(Bitboard b) {
    return Us == 0 ? north_fill(b) : south_fill(b);
}

// The rank, counted from the side's first, of its rearmost pawn on a file (index file + 1), at
// most 6: a file without one reads 6, and so does a pawn on the last rank, as the rule's starting
// value stands for it.
template <int Us> inline int rear_rank(Bitboard own_pawns, int padded_file) {
    const Bitboard on_file = own_pawns & padded_files[padded_file];
    if constexpr (Us == 0)
        return lowest_square(on_file | bit(48)) >> 3;
    else
        return 7 - (highest_square(on_file | bit(8)) >> 3);
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

// What the evaluation derives from the pawns alone, kept for the pawn sets it was computed for.
// Pawns move seldom compared with the other pieces, so most evaluations find their pawn terms
// here instead of computing them again.
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
alignas(64) std::array<PawnEntry, std::size_t{1} << PAWN_TABLE_BITS> pawn_table;

inline PawnEntry& pawn_slot(Bitboard white_pawns, Bitboard black_pawns) {
    const uint64_t mixed =
        white_pawns * 0x9E3779B97F4A7C15ULL ^ black_pawns * 0xD6E8FEB86659FD93ULL;
    return pawn_table[mixed >> (64 - PAWN_TABLE_BITS)];
}

// Whether the entry holds the terms of these pawns.
inline bool holds_pawns(const PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    return e.not_white_pawns == ~white_pawns && e.black_pawns == black_pawns;
}

constexpr Bitboard files_of(uint8_t files) {
    return Bitboard{files} * FILE_A;
}

// What one colour's pawns cover: their files, the squares in front of them and those in front
// of the squares beside them (each with the squares themselves), shared by the rules below.
struct PawnCover {
    Bitboard files, ahead, beside_ahead;
};
template <int Us> inline PawnCover pawn_cover(Bitboard pawns) {
    return {file_fill(pawns), forward_fill<Us>(pawns), forward_fill<Us>(sideways(pawns))};
}

// One colour's pawn structure (steps 5 and 6): its isolated pawns and the ranks of its passed
// pawns, whose weights depend on the phase, the other terms (its own view), and its passed
// pawns.
struct PawnStructure {
    int32_t isolated_count, backward, doubled, passed_ranks, passed_extras;
    Bitboard passed_pawns;
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
            if (r - rear_rank<Us>(own, f) == 1 || r - rear_rank<Us>(own, f + 2) == 1)
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
// can chase away: none on a neighbouring file further forward from the enemy's side (step 9).
// The rearmost-pawn ranks that the rule compares are clamped to the second and seventh ranks,
// so a knight on its first rank never counts.
template <int Us>
constexpr Bitboard outpost_squares(Bitboard enemy_pawns, const PawnCover& enemy_cover) {
    constexpr int Them = 1 - Us;
    return forward<Them>(enemy_pawns) &
           ~(relative_rank_mask<Us>(0) | relative_rank_mask<Us>(6) | relative_rank_mask<Us>(7)) &
           ~forward<Them>(enemy_cover.beside_ahead);
}

template <Counting C>
void fill_pawn_entry(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
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

// The pawns around a king in the middlegame (step 10), the side's own view. The king's file
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
    const bool own_pawn = (own_pawns & file_mask(f)) != 0;
    int32_t p = king_file_term(own_pawn, (enemy_pawns & file_mask(f)) != 0) +
                shield_term(SHIELD_OWN_FILE_PER_RANK, own_pawn, r, rear_rank<Us>(own_pawns, f + 1));
    for (const int x : {f + 2, f}) // the sentinel files read "no pawn"
        p += shield_term(SHIELD_SIDE_FILE_PER_RANK, (own_pawns & padded_files[x]) != 0, r,
                         rear_rank<Us>(own_pawns, x));
    return p;
}

// The pawn terms of a pawn structure met for the first time: kept out of the evaluation's
// straight path, which then needs fewer registers. Compiled once for each way of counting bits,
// like evaluate (below).
template <Counting C>
void refill_pawn_entry(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns);

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

constexpr uint16_t king_squares_key(Square white_king, Square black_king) {
    return static_cast<uint16_t>(white_king + 1 + 256 * (black_king + 1));
}

// The middlegame king terms for king squares that the pawn entry has not seen together: only
// the term of a king that has moved is computed again.
[[gnu::noinline]] int32_t refresh_king_terms(PawnEntry& e, Square white_king, Square black_king,
                                             Bitboard white_pawns, Bitboard black_pawns) {
    if (e.king_squares % 256 != white_king + 1)
        e.king_terms[0] =
            static_cast<int16_t>(middlegame_king_terms<0>(white_king, white_pawns, black_pawns));
    if (e.king_squares / 256 != black_king + 1)
        e.king_terms[1] =
            static_cast<int16_t>(middlegame_king_terms<1>(black_king, white_pawns, black_pawns));
    e.king_squares = king_squares_key(white_king, black_king);
    return e.king_terms[0] + e.king_terms[1];
}

// The phase (step 3), from the material sums as make and unmake keep them.
inline bool in_middlegame(Bitboard white, Bitboard black, Bitboard queens) {
    const bool both_queens = ((white & queens) != 0) & ((black & queens) != 0);
    const int32_t threshold = both_queens ? MIDDLEGAME_MATERIAL_WITH_QUEENS : MIDDLEGAME_MATERIAL;
    return (static_cast<int>(pos.material[0] >= threshold) |
            static_cast<int>(pos.material[1] <= -threshold)) != 0;
}

// The rules that the evaluation and the quiet-move scores share, white's view. A rule that
// counts pieces is given the pieces of both colours and weighs the difference of the counts;
// applied to one piece, it is given that piece and no piece of the other colour, and counts
// sets of at most one square.

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
template <int Us> inline Bitboard passer_fronts(const PawnEntry& e, Bitboard own_pawns) {
    return forward<Us>(e.passed & own_pawns);
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
template <int Us> constexpr bool on_back_rank(Square king) {
    return relative_rank<Us>(rank_of(king)) == 0;
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

// A bishop on g2 (g7) with its king on g1 (g8).
template <int Us> inline int32_t fianchetto_bonus(Bitboard bishops, Square king) {
    return (bishops & bit(relative_square<Us>(G2))) != 0 && king == relative_square<Us>(G1)
               ? FIANCHETTO
               : 0;
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

// The range of a term over the positions it can meet, for the windowed evaluation's bound.
struct TermRange {
    int32_t least, most;
};

// One king's shelter, its own view, over every rank of the king and every placement of the
// pawns on its three files. For a given king rank the files are independent of each other, and
// a rearmost pawn counts on its seventh rank at most (see rear_rank).
constexpr TermRange shelter_range() {
    TermRange range{0, 0};
    for (int king_rank = 0; king_rank < 8; ++king_rank) {
        TermRange king_file{KING_FILE_WITHOUT_OWN_PAWN, -KING_FILE_WITHOUT_OWN_PAWN};
        TermRange side_file{SHIELD_PAWN_MISSING, -SHIELD_PAWN_MISSING};
        for (int pawn_rank = 0; pawn_rank < 7; ++pawn_rank) {
            for (const bool own_pawn : {false, true}) {
                const int32_t side =
                    shield_term(SHIELD_SIDE_FILE_PER_RANK, own_pawn, king_rank, pawn_rank);
                side_file = {std::min(side_file.least, side), std::max(side_file.most, side)};
                for (const bool enemy_pawn : {false, true}) {
                    const int32_t own =
                        king_file_term(own_pawn, enemy_pawn) +
                        shield_term(SHIELD_OWN_FILE_PER_RANK, own_pawn, king_rank, pawn_rank);
                    king_file = {std::min(king_file.least, own), std::max(king_file.most, own)};
                }
            }
        }
        const TermRange here = {king_file.least + 2 * side_file.least,
                                king_file.most + 2 * side_file.most};
        range = king_rank == 0
                    ? here
                    : TermRange{std::min(range.least, here.least), std::max(range.most, here.most)};
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

// The evaluation; with Bounded, a score that only has to compare with alpha and beta as the
// full score does (see evaluate_within).
template <Counting C, bool Bounded>
[[gnu::always_inline]] inline int32_t evaluate_with(int32_t alpha, int32_t beta) {
    // The pawn entry first: on a miss it is filled by a call, and little is kept across it.
    const Bitboard white_pawns = pos.colour_pieces[0] & pos.kind_pieces[PAWN_SET];
    const Bitboard black_pawns = pos.colour_pieces[1] & pos.kind_pieces[PAWN_SET];
    PawnEntry& e = pawn_slot(white_pawns, black_pawns);
    if (!holds_pawns(e, white_pawns, black_pawns)) [[unlikely]]
        refill_pawn_entry<C>(e, white_pawns, black_pawns);

    const auto& kinds = pos.kind_pieces;
    const Bitboard white = pos.colour_pieces[0];
    const Bitboard black = pos.colour_pieces[1];
    const Bitboard pawns = kinds[PAWN_SET];
    const Bitboard queens = kinds[QUEEN_SET];
    const Bitboard rooks = kinds[ROOK_SET];

    int32_t white_material = pos.material[0];
    int32_t black_material = pos.material[1];

    const bool middlegame = in_middlegame(white, black, queens);

    // Endgame material rules (step 4). They depend on piece counts only, so they are decided
    // before any other work; the draw return leaves last_evaluated_piece_count untouched.
    if (!middlegame && (queens | rooks) == 0) {
        const Bitboard white_knights = white & kinds[KNIGHT_SET];
        const Bitboard black_knights = black & kinds[KNIGHT_SET];
        const Bitboard white_bishops = white & kinds[BISHOP_SET];
        const Bitboard black_bishops = black & kinds[BISHOP_SET];
        if (pawns == 0) {
            if (exactly_one(white_knights) || exactly_one(white_bishops) ||
                exactly_one(black_knights) || exactly_one(black_bishops))
                return 0;
        } else if ((white_knights | black_knights) == 0 && exactly_one(white_bishops) &&
                   exactly_one(black_bishops) &&
                   square_colour[lowest_square(white_bishops)] !=
                       square_colour[lowest_square(black_bishops)]) {
            white_material /= 2; // truncates toward zero, as the negative black sum needs
            black_material /= 2;
        }
    }

    const Bitboard knights = kinds[KNIGHT_SET];
    const Bitboard bishops = kinds[BISHOP_SET];
    // Step 11: knights, bishops, rooks and queens of both colours.
    last_evaluated_piece_count = many_bits<C>(knights | bishops | rooks | queens);

    // Piece-square tables of pawns, knights, bishops and queens (step 2), kept up to date by
    // make and unmake; the pawn structure (steps 5 and 6) from the pawn table.
    int32_t p =
        pos.square_score + e.structure[middlegame ? 0 : 1]; // positional total, white's view

    const Square white_king = pos.king_square[0];
    const Square black_king = pos.king_square[1];

    // The bishop pair (step 2).
    const Bitboard white_bishops = white & bishops;
    const Bitboard black_bishops = black & bishops;
    p += bishop_pair_terms<C>(white_bishops, black_bishops);
    p += fianchetto_bonus<0>(white_bishops, white_king) -
         fianchetto_bonus<1>(black_bishops, black_king);
    // Hemmed in by their own pawns: seldom met, and then for many evaluations in a row.
    if ((bishops & e.hemmed_bishops) != 0)
        p += hemmed_bishop_terms<C>(white_bishops, black_bishops, e.hemmed_bishops);

    // Kings (step 10): in the middlegame table and shelter, remembered in the pawn entry for
    // one pair of squares.
    const uint16_t king_squares = king_squares_key(white_king, black_king);
    const bool king_terms_known = !middlegame || e.king_squares == king_squares;
    if (!middlegame) {
        p += king_endgame_table[white_king] - king_endgame_table[black_king];
        if (e.passed != 0)
            p += blocked_passer_terms<C>(passer_fronts<0>(e, white_pawns),
                                         passer_fronts<1>(e, black_pawns), white | black);
        // Queens on the seventh rank (step 7).
        p += queens_on_seventh<0, C>(white & queens, false, black_king) -
             queens_on_seventh<1, C>(black & queens, false, white_king);
    } else if (king_terms_known) {
        p += e.king_terms[0] + e.king_terms[1];
    }

    const Bitboard white_rooks = white & rooks;
    const Bitboard black_rooks = black & rooks;
    const Bitboard white_knights = white & knights;
    const Bitboard black_knights = black & knights;

    if constexpr (Bounded) {
        // What the terms below can add, white's view, from above and below: each rook and
        // each knight on an outpost square what its rules give at most; in the middlegame the
        // shut-in h-rook of either colour, and the shelters of the kings when their terms are
        // not known (their table values are known at once).
        const int32_t rook_most = ROOK_TERMS[middlegame ? 0 : 1].most;
        const int32_t once =
            middlegame ? SHUT_IN_ROOK + (king_terms_known ? 0 : SHELTER.most - SHELTER.least) : 0;
        const int32_t king_tables =
            king_terms_known ? 0
                             : king_table_value<0>(white_king) - king_table_value<1>(black_king);
        const int32_t white_up = rook_most * few_bits<C>(white_rooks) +
                                 OUTPOST_TERMS.most * few_bits<C>(white_knights & e.outposts[0]) +
                                 once;
        const int32_t white_down = rook_most * few_bits<C>(black_rooks) +
                                   OUTPOST_TERMS.most * few_bits<C>(black_knights & e.outposts[1]) +
                                   once;
        // The least and the most that the full score can be, for the side to move.
        const int32_t negate = -static_cast<int32_t>(pos.side);
        const int32_t known =
            ((white_material + black_material + p + king_tables) ^ negate) - negate;
        const int32_t swap = (white_up ^ white_down) & negate; // swaps the two for black
        const int32_t least = known - (white_down ^ swap);
        const int32_t most = known + (white_up ^ swap);
        if (least >= beta) return least;
        if (most <= alpha) return most;
    }

    // Rooks (step 8): on the seventh rank, and on files without own pawns.
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

    const int32_t total = white_material + black_material + p;
    const int32_t negate = -static_cast<int32_t>(pos.side); // 0, or -1 when black is to move
    return (total ^ negate) - negate;
}

#if defined(__x86_64__) || defined(_M_X64)
template <>
[[gnu::target("popcnt"), gnu::noinline]] void
refill_pawn_entry<Counting::POPCNT>(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    fill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
}

template <>
[[gnu::noinline]] void refill_pawn_entry<Counting::PORTABLE>(PawnEntry& e, Bitboard white_pawns,
                                                             Bitboard black_pawns) {
    fill_pawn_entry<Counting::PORTABLE>(e, white_pawns, black_pawns);
}

[[gnu::target("popcnt")]] int32_t evaluate_popcnt() {
    return evaluate_with<Counting::POPCNT, false>(0, 0);
}
[[gnu::target("popcnt")]] int32_t evaluate_within_popcnt(int32_t alpha, int32_t beta) {
    return evaluate_with<Counting::POPCNT, true>(alpha, beta);
}

int32_t evaluate_portable() {
    return evaluate_with<Counting::PORTABLE, false>(0, 0);
}
int32_t evaluate_within_portable(int32_t alpha, int32_t beta) {
    return evaluate_with<Counting::PORTABLE, true>(alpha, beta);
}

bool processor_counts_bits() {
    __builtin_cpu_init(); // this runs before main, maybe before the library's own set-up
    return __builtin_cpu_supports("popcnt");
}
const bool has_popcnt = processor_counts_bits();

} // namespace

int32_t evaluate() {
    return has_popcnt ? evaluate_popcnt() : evaluate_portable();
}

int32_t evaluate_within(int32_t alpha, int32_t beta) {
    return has_popcnt ? evaluate_within_popcnt(alpha, beta) : evaluate_within_portable(alpha, beta);
}

namespace {

// refill_pawn_entry in the version for this processor, for callers outside evaluate.
void refill_pawn_entry_for_processor(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    if (has_popcnt)
        refill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
    else
        refill_pawn_entry<Counting::PORTABLE>(e, white_pawns, black_pawns);
}

} // namespace
#else
template <>
[[gnu::noinline]] void refill_pawn_entry<Counting::POPCNT>(PawnEntry& e, Bitboard white_pawns,
                                                           Bitboard black_pawns) {
    fill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
}

void refill_pawn_entry_for_processor(PawnEntry& e, Bitboard white_pawns, Bitboard black_pawns) {
    refill_pawn_entry<Counting::POPCNT>(e, white_pawns, black_pawns);
}

} // namespace

// 64-bit ARM and WebAssembly count bits in one instruction on every processor.
int32_t evaluate() {
    return evaluate_with<Counting::POPCNT, false>(0, 0);
}

int32_t evaluate_within(int32_t alpha, int32_t beta) {
    return evaluate_with<Counting::POPCNT, true>(alpha, beta);
}
#endif

namespace {

// What begin_quiet_moves keeps: the position's score and, for each kind of piece that a quiet
// move may move, what its terms depend on. Indexed by colour.
struct QuietMoves {
    int32_t white_score;
    int32_t piece_count; // -1: the early draw return, which every such move leads to again
    bool middlegame;
    std::array<Square, 2> kings;
    std::array<Bitboard, 2> pawns;
    std::array<Bitboard, 2> pawn_files;
    std::array<Bitboard, 2> outposts;
    Bitboard hemmed_bishops;
    // The squares in front of the passed pawns (endgame only): a piece arriving there blocks
    // one, a piece leaving unblocks it.
    std::array<Bitboard, 2> passer_fronts;
    int32_t pawn_terms; // see pawn_terms
    // Middlegame: the kings' table values and shelters where they stand (e.king_terms).
    std::array<int32_t, 2> king_terms;
};
QuietMoves quiet;

// What evaluate draws from the pawns besides their piece-square values, white's view, for the
// position's knights, bishops, rooks and kings, with the given colour and pawn sets and the
// pawn entry of those pawns: the structure, the middlegame king terms (remembered in the entry
// when it lacks them), and the terms that the pawns decide for the other pieces. Bits are
// counted one by one: these sets seldom hold more than one square.
[[gnu::always_inline]] inline int32_t pawn_terms(PawnEntry& e, Bitboard white, Bitboard black,
                                                 Bitboard white_pawns, Bitboard black_pawns,
                                                 bool middlegame) {
    const auto& kinds = pos.kind_pieces;
    constexpr Counting C = Counting::PORTABLE;
    const Bitboard bishops = kinds[BISHOP_SET];
    const int32_t p =
        e.structure[middlegame ? 0 : 1] +
        (((bishops & e.hemmed_bishops) != 0)
             ? hemmed_bishop_terms<C>(white & bishops, black & bishops, e.hemmed_bishops)
             : 0) +
        outpost_terms<C>(white & kinds[KNIGHT_SET], black & kinds[KNIGHT_SET], e.outposts);
    if (!middlegame)
        return p + (e.passed != 0
                        ? blocked_passer_terms<C>(passer_fronts<0>(e, white_pawns),
                                                  passer_fronts<1>(e, black_pawns), white | black)
                        : 0);
    const Square white_king = pos.king_square[0], black_king = pos.king_square[1];
    const int32_t king_terms =
        e.king_squares == king_squares_key(white_king, black_king)
            ? e.king_terms[0] + e.king_terms[1]
            : refresh_king_terms(e, white_king, black_king, white_pawns, black_pawns);
    return p + king_terms +
           shut_in_rook_charge<0>(white & kinds[ROOK_SET], white_king, white_pawns) -
           shut_in_rook_charge<1>(black & kinds[ROOK_SET], black_king, black_pawns);
}

// The change of pawn_terms when a pawn of the side steps from `from` to `to`, an empty square
// short of the last rank.
template <int Us> int32_t pawn_push_change(Square from, Square to) {
    const Bitboard step = bit(from) | bit(to);
    const Bitboard white = pos.colour_pieces[0] ^ (Us == 0 ? step : 0);
    const Bitboard black = pos.colour_pieces[1] ^ (Us == 1 ? step : 0);
    const Bitboard pawns = pos.kind_pieces[PAWN_SET] ^ step;
    const Bitboard white_pawns = white & pawns;
    const Bitboard black_pawns = black & pawns;
    PawnEntry& e = pawn_slot(white_pawns, black_pawns);
    if (!holds_pawns(e, white_pawns, black_pawns))
        refill_pawn_entry_for_processor(e, white_pawns, black_pawns);
    return pawn_terms(e, white, black, white_pawns, black_pawns, quiet.middlegame) -
           quiet.pawn_terms;
}

// The terms of one knight, bishop, rook or queen of the side on `s`, white's view, as evaluate
// counts them.
template <int Us> [[gnu::always_inline]] inline int32_t piece_terms(PieceCode piece, Square s) {
    constexpr Counting ONE = Counting::AT_MOST_ONE;
    constexpr int32_t sign = Us == 0 ? 1 : -1;
    const Bitboard b = bit(s);
    const Bitboard white = Us == 0 ? b : 0, black = Us == 0 ? 0 : b;
    switch (piece & ~(WHITE | BLACK)) {
    case KNIGHT:
        return outpost_terms<ONE>(white, black, quiet.outposts);
    case BISHOP:
        return sign * fianchetto_bonus<Us>(b, quiet.kings[Us]) +
               hemmed_bishop_terms<ONE>(white, black, quiet.hemmed_bishops);
    case ROOK:
        return sign *
                   (rooks_on_seventh<Us, ONE>(b, quiet.middlegame, quiet.kings[1 - Us]) +
                    (quiet.middlegame ? shut_in_rook_charge<Us>(b, quiet.kings[Us], quiet.pawns[Us])
                                      : 0)) +
               rook_file_terms<ONE>(white, black, quiet.pawn_files[0], quiet.pawn_files[1]);
    case QUEEN:
        return sign * queens_on_seventh<Us, ONE>(b, quiet.middlegame, quiet.kings[1 - Us]);
    default:
        return 0;
    }
}

// A piece on `s` blocks a passed pawn, white's view.
int32_t blocking_terms(Square s) {
    constexpr Counting ONE = Counting::AT_MOST_ONE;
    return blocked_passer_terms<ONE>(quiet.passer_fronts[0], quiet.passer_fronts[1], bit(s));
}

// The terms of a king of the side on `s`, white's view, with the other king where it stands:
// the fianchetto; in the middlegame `table_and_shelter` (see middlegame_king_terms) and the
// shut-in h-rook; in the endgame its table value and what the enemy rooks and queens on its
// seventh rank gain from it.
template <int Us> int32_t king_terms_at(Square s, int32_t table_and_shelter) {
    constexpr int Them = 1 - Us;
    constexpr Counting C = Counting::PORTABLE;
    constexpr int32_t sign = Us == 0 ? 1 : -1;
    const auto& kinds = pos.kind_pieces;
    const Bitboard own = pos.colour_pieces[Us], enemy = pos.colour_pieces[Them];
    const int32_t fianchetto = fianchetto_bonus<Us>(own & kinds[BISHOP_SET], s);
    if (quiet.middlegame)
        return sign * (fianchetto +
                       shut_in_rook_charge<Us>(own & kinds[ROOK_SET], s, own & kinds[PAWN_SET])) +
               table_and_shelter;
    return sign * (fianchetto + king_endgame_table[s] -
                   rooks_on_seventh<Them, C>(enemy & kinds[ROOK_SET], false, s) -
                   queens_on_seventh<Them, C>(enemy & kinds[QUEEN_SET], false, s));
}

// The change of the king terms when a king of the side steps from `from` to `to`.
template <int Us> int32_t king_step_change(Square from, Square to) {
    const int32_t table_and_shelter =
        quiet.middlegame
            ? middlegame_king_terms<Us>(to, pos.colour_pieces[0] & pos.kind_pieces[PAWN_SET],
                                        pos.colour_pieces[1] & pos.kind_pieces[PAWN_SET])
            : 0;
    return king_terms_at<Us>(to, table_and_shelter) - king_terms_at<Us>(from, quiet.king_terms[Us]);
}

// The change of the score, white's view, when the side makes the quiet move.
template <int Us> [[gnu::always_inline]] inline int32_t quiet_move_change(Move move) {
    const Square from = move_from(move), to = move_to(move);
    const PieceCode piece = pos.board[from];
    const int32_t tables = square_values[piece][to] - square_values[piece][from];
    if ((piece & PAWN) != 0) return tables + pawn_push_change<Us>(from, to);
    const int32_t blocking = blocking_terms(to) - blocking_terms(from);
    if ((piece & KING) != 0) return tables + king_step_change<Us>(from, to) + blocking;
    return tables + piece_terms<Us>(piece, to) - piece_terms<Us>(piece, from) + blocking;
}

} // namespace

void begin_quiet_moves() {
    const int32_t kept_count = last_evaluated_piece_count;
    last_evaluated_piece_count = -1;
    const int32_t score = evaluate();
    quiet.white_score = pos.side == 0 ? score : -score;
    quiet.piece_count = last_evaluated_piece_count;
    last_evaluated_piece_count = kept_count;

    const Bitboard white = pos.colour_pieces[0];
    const Bitboard black = pos.colour_pieces[1];
    const Bitboard white_pawns = white & pos.kind_pieces[PAWN_SET];
    const Bitboard black_pawns = black & pos.kind_pieces[PAWN_SET];
    PawnEntry& e = pawn_slot(white_pawns, black_pawns); // filled by evaluate()
    const bool middlegame = in_middlegame(white, black, pos.kind_pieces[QUEEN_SET]);
    quiet.middlegame = middlegame;
    quiet.kings = pos.king_square;
    quiet.pawns = {white_pawns, black_pawns};
    quiet.pawn_files = {files_of(e.files[0]), files_of(e.files[1])};
    quiet.outposts = e.outposts;
    quiet.hemmed_bishops = e.hemmed_bishops;
    quiet.passer_fronts = {middlegame ? 0 : passer_fronts<0>(e, white_pawns),
                           middlegame ? 0 : passer_fronts<1>(e, black_pawns)};
    quiet.pawn_terms = pawn_terms(e, white, black, white_pawns, black_pawns, middlegame);
    quiet.king_terms = {e.king_terms[0], e.king_terms[1]}; // as evaluate() left them
}

// Out of line: compiled into the search's loop, it would crowd that loop's registers.
[[gnu::noinline]] int32_t score_after_quiet_move(Move move) {
    if (quiet.piece_count < 0) return 0;
    last_evaluated_piece_count = quiet.piece_count;
    if (pos.side == 0) return quiet.white_score + quiet_move_change<0>(move);
    return -(quiet.white_score + quiet_move_change<1>(move));
}

} // namespace tervane
