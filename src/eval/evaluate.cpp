// The static evaluation: material, piece-square tables, pawn structure, rook, knight and
// queen placement and king shelter, switched between a middlegame and an endgame form.
//
// It runs at every quiescence node, so it is organised for speed rather than as a transcript of
// the rules term by term: one pass over the 64 squares turns the board into a set of square
// masks (one per bit of the piece code), and the terms are then computed from those masks, from
// the per-file pawn arrays (with their sentinel files) and from short loops over the pieces that
// a term concerns. Every value is the one a plain term-by-term reading gives; the
// unit tests compare the two over many thousands of positions.
#include "eval/eval.h"

#include "eval/piece_square_tables.h"
#include "position/position.h"

#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__) && !defined(TERVANE_NO_SIMD)
#include <emmintrin.h>
#endif

namespace tervane {

int32_t piece_count = 0;

namespace {

using Bitboard = uint64_t; // bit s stands for Square s

constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard FILE_H = FILE_A << 7;
constexpr Bitboard RANK_1 = 0xFFULL;
constexpr Bitboard rank_mask(int rank) {
    return RANK_1 << (8 * rank);
}
constexpr Bitboard bit(Square s) {
    return Bitboard{1} << s;
}

constexpr Square G1 = 6, F1 = 5, H1 = 7, G2 = 14, H2 = 15, H3 = 23;
constexpr Square G8 = 62, F8 = 61, H8 = 63, G7 = 54, H7 = 55, H6 = 47;

constexpr int file_of(Square s) {
    return s & 7;
}
constexpr int rank_of(Square s) {
    return s >> 3;
}

inline int32_t count(Bitboard b) {
#if defined(__POPCNT__)
    return std::popcount(b);
#else
    // Without the instruction std::popcount becomes a library call.
    b = b - ((b >> 1) & 0x5555555555555555ULL);
    b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
    b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int32_t>((b * 0x0101010101010101ULL) >> 56);
#endif
}

inline Square pop_first(Bitboard& b) {
    const Square s = std::countr_zero(b);
    b &= b - 1;
    return s;
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

// For each bit of a PieceCode but the king's, the squares whose piece has that bit.
struct Planes {
    Bitboard white, black, pawn, knight, bishop, rook, queen;
};

#if defined(__SSE2__) && !defined(TERVANE_NO_SIMD)
// Sixteen squares at a time: narrow the codes (0..130) to bytes, then collect each bit of the
// code from the byte sign bits after shifting it into place.
inline Planes read_planes(const std::array<PieceCode, 64>& board) {
    Planes planes{};
    const auto* in = reinterpret_cast<const __m128i*>(board.data());
    for (int group = 0; group < 4; ++group) {
        const __m128i low =
            _mm_packs_epi32(_mm_loadu_si128(in + 4 * group), _mm_loadu_si128(in + 4 * group + 1));
        const __m128i high = _mm_packs_epi32(_mm_loadu_si128(in + 4 * group + 2),
                                             _mm_loadu_si128(in + 4 * group + 3));
        const __m128i codes = _mm_packus_epi16(low, high);
        const int shift = 16 * group;
        auto plane = [&](__m128i shifted) {
            return Bitboard{static_cast<uint32_t>(_mm_movemask_epi8(shifted))} << shift;
        };
        planes.white |= plane(_mm_slli_epi16(codes, 7));
        planes.black |= plane(_mm_slli_epi16(codes, 6));
        planes.pawn |= plane(_mm_slli_epi16(codes, 5));
        planes.knight |= plane(_mm_slli_epi16(codes, 4));
        planes.bishop |= plane(_mm_slli_epi16(codes, 2));
        planes.rook |= plane(_mm_slli_epi16(codes, 1));
        planes.queen |= plane(codes);
    }
    return planes;
}
#else
inline Planes read_planes(const std::array<PieceCode, 64>& board) {
    Planes planes{};
    for (Square s = 0; s < 64; ++s) {
        const auto code = static_cast<Bitboard>(board[s]);
        planes.white |= (code & 1) << s;
        planes.black |= ((code >> 1) & 1) << s;
        planes.pawn |= ((code >> 2) & 1) << s;
        planes.knight |= ((code >> 3) & 1) << s;
        planes.bishop |= ((code >> 5) & 1) << s;
        planes.rook |= ((code >> 6) & 1) << s;
        planes.queen |= ((code >> 7) & 1) << s;
    }
    return planes;
}
#endif

// The piece-square values of all pieces that have a table, signed for white's view, in one
// table: row `table_row[code]`, column the square. Rooks and kings (row 0) read 0.
constexpr std::array<uint8_t, PIECE_CODES> make_table_row() {
    std::array<uint8_t, PIECE_CODES> row{};
    row[W_PAWN] = 1, row[B_PAWN] = 2, row[W_KNIGHT] = 3, row[B_KNIGHT] = 4;
    row[W_BISHOP] = 5, row[B_BISHOP] = 6, row[W_QUEEN] = 7, row[B_QUEEN] = 8;
    return row;
}
constexpr std::array<uint8_t, PIECE_CODES> table_row = make_table_row();

using SignedTables = std::array<std::array<int16_t, 64>, 9>;
constexpr SignedTables make_signed_tables() {
    SignedTables t{};
    for (Square s = 0; s < 64; ++s) {
        t[1][s] = static_cast<int16_t>(pawn_table_white[s]);
        t[2][s] = static_cast<int16_t>(-pawn_table_black[s]);
        t[3][s] = static_cast<int16_t>(knight_table_white[s]);
        t[4][s] = static_cast<int16_t>(-knight_table_black[s]);
        t[5][s] = static_cast<int16_t>(bishop_table_white[s]);
        t[6][s] = static_cast<int16_t>(-bishop_table_black[s]);
        t[7][s] = static_cast<int16_t>(queen_table_white[s]);
        t[8][s] = static_cast<int16_t>(-queen_table_black[s]);
    }
    return t;
}
constexpr SignedTables signed_tables = make_signed_tables();

} // namespace

int32_t evaluate() {
    const auto& board = pos.board;
    const Planes planes = read_planes(board);
    const Bitboard occupied = planes.white | planes.black;
    const Bitboard white_pawns = planes.white & planes.pawn;
    const Bitboard black_pawns = planes.black & planes.pawn;
    const Bitboard white_knights = planes.white & planes.knight;
    const Bitboard black_knights = planes.black & planes.knight;
    const Bitboard white_bishops = planes.white & planes.bishop;
    const Bitboard black_bishops = planes.black & planes.bishop;
    const Bitboard white_rooks = planes.white & planes.rook;
    const Bitboard black_rooks = planes.black & planes.rook;
    const Bitboard white_queens = planes.white & planes.queen;
    const Bitboard black_queens = planes.black & planes.queen;

    int32_t white_material = pos.material[0];
    int32_t black_material = pos.material[1];

    // Phase (step 3).
    const int32_t phase_threshold = (white_queens != 0 && black_queens != 0) ? 1900 : 2160;
    const bool middlegame = white_material >= phase_threshold || black_material <= -phase_threshold;

    // Endgame material rules (step 4). They depend on piece counts only, so they are decided
    // before any other work; the draw return leaves piece_count untouched.
    if (!middlegame && (planes.queen | planes.rook) == 0) {
        if (planes.pawn == 0) {
            if (exactly_one(white_knights) || exactly_one(white_bishops) ||
                exactly_one(black_knights) || exactly_one(black_bishops))
                return 0;
        } else if (planes.knight == 0 && exactly_one(white_bishops) && exactly_one(black_bishops) &&
                   square_colour[std::countr_zero(white_bishops)] !=
                       square_colour[std::countr_zero(black_bishops)]) {
            white_material /= 2; // truncates toward zero, as the negative black sum needs
            black_material /= 2;
        }
    }

    int32_t p = 0; // positional total, white's view

    // Piece-square tables of pawns, knights, bishops and queens (step 2).
    for (Bitboard b = occupied & (planes.pawn | planes.knight | planes.bishop | planes.queen); b;) {
        const Square s = pop_first(b);
        p += signed_tables[table_row[board[s]]][s];
    }

    // Bishops (step 2): the first bishop met in the scan a1..h8 is the lowest square.
    if (white_bishops != 0) p += 20 * (count(white_bishops) - 1);
    if (black_bishops != 0) p -= 20 * (count(black_bishops) - 1);
    if ((white_bishops & bit(G2)) && board[G1] == W_KING) p += 15;
    if ((black_bishops & bit(G7)) && board[G8] == B_KING) p -= 15;
    // Both forward diagonal neighbours hold own pawns. A bishop on the a- or h-file has only one
    // such neighbour, so it never takes this penalty.
    constexpr Bitboard INNER_FILES = ~(FILE_A | FILE_H);
    p -= 30 * count(white_bishops & (rank_mask(0) | rank_mask(1)) & INNER_FILES &
                    (white_pawns >> 7) & (white_pawns >> 9));
    p += 30 * count(black_bishops & (rank_mask(6) | rank_mask(7)) & INNER_FILES &
                    (black_pawns << 7) & (black_pawns << 9));

    // Per-file pawn data, indexed file + 1; entries 0 and 9 are the sentinel files.
    int32_t file_pawns[2][10];
    int32_t rear_pawn_rank[2][10];
    file_pawns[0][0] = file_pawns[0][9] = file_pawns[1][0] = file_pawns[1][9] = 0;
    rear_pawn_rank[0][0] = rear_pawn_rank[0][9] = 6;
    rear_pawn_rank[1][0] = rear_pawn_rank[1][9] = 1;
    for (int f = 0; f < 8; ++f) {
        const Bitboard white_file = (white_pawns >> f) & FILE_A;
        const Bitboard black_file = (black_pawns >> f) & FILE_A;
        file_pawns[0][f + 1] = static_cast<int32_t>((white_file * FILE_A) >> 56);
        file_pawns[1][f + 1] = static_cast<int32_t>((black_file * FILE_A) >> 56);
        // The rearmost rank starts at 6 (white) or 1 (black) and is lowered (raised) by each
        // pawn, so a pawn beyond that start (on a back rank, from a FEN) leaves it there: the
        // extra bit stands for the starting value.
        rear_pawn_rank[0][f + 1] = std::countr_zero(white_file | bit(48)) >> 3;
        rear_pawn_rank[1][f + 1] = (63 - std::countl_zero(black_file | bit(8))) >> 3;
    }

    const int32_t isolated_penalty = middlegame ? 8 : 20;
    const int32_t passed_rank_bonus = middlegame ? 12 : 16;
    // Blocked passed pawns (endgame): the square ahead is occupied. Shifting the occupancy
    // rather than indexing the board keeps a pawn on its last rank (from a FEN) unblocked.
    const Bitboard blocked_white = middlegame ? 0 : white_pawns & (occupied >> 8);
    const Bitboard blocked_black = middlegame ? 0 : black_pawns & (occupied << 8);

    // White pawns (step 5).
    for (Bitboard b = white_pawns; b;) {
        const Square s = pop_first(b);
        const int f = file_of(s), r = rank_of(s);
        const bool isolated = file_pawns[0][f] == 0 && file_pawns[0][f + 2] == 0;
        if (isolated) {
            p -= isolated_penalty;
        } else if (rear_pawn_rank[0][f] > r && rear_pawn_rank[0][f + 2] > r) {
            p -= 10;
            if (file_pawns[1][f + 1] == 0) p -= 15;
        }
        p -= 4 * (file_pawns[0][f + 1] - 1); // the pawn itself is on its file
        if (r >= rear_pawn_rank[1][f] && r >= rear_pawn_rank[1][f + 1] &&
            r >= rear_pawn_rank[1][f + 2]) {
            p += passed_rank_bonus * r;
            if (blocked_white & bit(s)) p -= 20;
            if (!isolated) {
                p += 25;
                if (r - rear_pawn_rank[0][f] == 1 || r - rear_pawn_rank[0][f + 2] == 1) p += 30;
            }
        }
    }

    // Black pawns (step 6).
    for (Bitboard b = black_pawns; b;) {
        const Square s = pop_first(b);
        const int f = file_of(s), r = rank_of(s);
        const bool isolated = file_pawns[1][f] == 0 && file_pawns[1][f + 2] == 0;
        if (isolated) {
            p += isolated_penalty;
        } else if (rear_pawn_rank[1][f] < r && rear_pawn_rank[1][f + 2] < r) {
            p += 10;
            if (file_pawns[0][f + 1] == 0) p += 15;
        }
        p += 4 * (file_pawns[1][f + 1] - 1);
        if (r <= rear_pawn_rank[0][f] && r <= rear_pawn_rank[0][f + 1] &&
            r <= rear_pawn_rank[0][f + 2]) {
            p -= passed_rank_bonus * (7 - r);
            if (blocked_black & bit(s)) p += 20;
            if (!isolated) {
                p -= 25;
                if (rear_pawn_rank[1][f] - r == 1 || rear_pawn_rank[1][f + 2] - r == 1) p -= 30;
            }
        }
    }

    const Square white_king = pos.king_square[0];
    const Square black_king = pos.king_square[1];
    const bool white_king_on_rank_1 = rank_of(white_king) == 0;
    const bool black_king_on_rank_8 = rank_of(black_king) == 7;

    // Queens on the seventh, endgame only (step 7).
    if (!middlegame) {
        if (black_king_on_rank_8) p += 50 * count(white_queens & rank_mask(6));
        if (white_king_on_rank_1) p -= 50 * count(black_queens & rank_mask(1));
    }

    // Rooks (step 8).
    if (white_rooks | black_rooks) {
        const Bitboard white_pawn_files = file_fill(white_pawns);
        const Bitboard black_pawn_files = file_fill(black_pawns);
        if (middlegame && (white_rooks & bit(H1)) && (white_king == F1 || white_king == G1) &&
            (white_pawns & (bit(H2) | bit(H3))))
            p -= 45;
        if (middlegame && (black_rooks & bit(H8)) && (black_king == F8 || black_king == G8) &&
            (black_pawns & (bit(H7) | bit(H6))))
            p += 45;
        const int32_t seventh_bonus = middlegame ? 20 : (black_king_on_rank_8 ? 60 : 10);
        const int32_t second_bonus = middlegame ? 20 : (white_king_on_rank_1 ? 60 : 10);
        p += seventh_bonus * count(white_rooks & rank_mask(6));
        p -= second_bonus * count(black_rooks & rank_mask(1));
        const Bitboard white_open = white_rooks & ~white_pawn_files;
        const Bitboard black_open = black_rooks & ~black_pawn_files;
        p += 25 * count(white_open & ~black_pawn_files) + 20 * count(white_open & black_pawn_files);
        p -= 25 * count(black_open & ~white_pawn_files) + 20 * count(black_open & white_pawn_files);
    }

    // Knights in front of an enemy pawn that no enemy pawn can chase away (step 9).
    for (Bitboard b = white_knights & (black_pawns >> 8) & ~(rank_mask(6) | rank_mask(7)); b;) {
        const Square s = pop_first(b);
        const int f = file_of(s), r = rank_of(s);
        if (rear_pawn_rank[1][f] <= r && rear_pawn_rank[1][f + 2] <= r)
            p += (f == 2 || f == 3) ? 32 : 20;
    }
    for (Bitboard b = black_knights & (white_pawns << 8) & ~(rank_mask(0) | rank_mask(1)); b;) {
        const Square s = pop_first(b);
        const int f = file_of(s), r = rank_of(s);
        if (rear_pawn_rank[0][f] >= r && rear_pawn_rank[0][f + 2] >= r)
            p -= (f == 2 || f == 3) ? 32 : 20;
    }

    // Kings (step 10).
    if (middlegame) {
        {
            const int f = file_of(white_king), r = rank_of(white_king);
            p += king_table_white[white_king];
            if (file_pawns[0][f + 1] == 0) p -= 40;
            if (file_pawns[1][f + 1] == 0) p -= 40;
            if (file_pawns[0][f + 1] > 0 && r < rear_pawn_rank[0][f + 1])
                p += 4 * (r - rear_pawn_rank[0][f + 1]) + 4;
            else
                p -= 12;
            for (const int x : {f + 2, f}) { // the sentinel files read "no pawn"
                if (file_pawns[0][x] > 0 && r < rear_pawn_rank[0][x])
                    p += 3 * (r - rear_pawn_rank[0][x]) + 3;
                else
                    p -= 12;
            }
        }
        {
            const int f = file_of(black_king), r = rank_of(black_king);
            p -= king_table_black[black_king];
            if (file_pawns[1][f + 1] == 0) p += 40;
            if (file_pawns[0][f + 1] == 0) p += 40;
            if (file_pawns[1][f + 1] > 0 && r > rear_pawn_rank[1][f + 1])
                p += 4 * (r - rear_pawn_rank[1][f + 1]) - 4;
            else
                p += 12;
            for (const int x : {f + 2, f}) {
                if (file_pawns[1][x] > 0 && r > rear_pawn_rank[1][x])
                    p += 3 * (r - rear_pawn_rank[1][x]) - 3;
                else
                    p += 12;
            }
        }
    } else {
        p += king_endgame_table[white_king] - king_endgame_table[black_king];
    }

    // Step 11: knights, bishops, rooks and queens of both colours.
    piece_count = count(planes.knight | planes.bishop | planes.rook | planes.queen);

    const int32_t total = white_material + black_material + p;
    const int32_t negate = -static_cast<int32_t>(pos.side); // 0, or -1 when black is to move
    return (total ^ negate) - negate;
}

} // namespace tervane
