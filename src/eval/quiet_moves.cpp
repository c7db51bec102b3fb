// The scores of the positions one quiet move away, without playing the moves (see
// begin_quiet_moves in eval.h): each is the score of the current position changed by the terms
// that the move changes, read from the same rules as the evaluation's.
#include "eval/bit_sets.h"
#include "eval/dispatch.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "eval/rules.h"
#include "platform/build_config.h"
#include "position/make_unmake.h"
#include "position/move.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <array>
#include <cstdint>

namespace tervane {

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
    // The checked build's record of the position this was kept for.
    BoardState position;
    int32_t ply;
};
QuietMoves quiet;

bool kept_for_current_position() {
    const BoardState& now = pos;
    const BoardState& kept = quiet.position;
    return pos.ply == quiet.ply && now.colour_pieces == kept.colour_pieces &&
           now.kind_pieces == kept.kind_pieces && now.material == kept.material &&
           now.king_square == kept.king_square && now.square_score == kept.square_score &&
           now.ep_square == kept.ep_square && now.side == kept.side &&
           now.castling == kept.castling;
}

// The checked build's test of a quiet-move score: the move played, evaluate() asked from the
// other side, the move taken back. An illegal move has no score to compare. The piece count is
// left as the score left it.
bool matches_played_move(Move move, int32_t score, int32_t count_before) {
    const int32_t count_after = last_evaluated_piece_count;
    last_evaluated_piece_count = count_before;
    bool matches = true;
    if (make_move(move)) {
        matches = evaluate() == -score && last_evaluated_piece_count == count_after;
        unmake_move();
    }
    last_evaluated_piece_count = count_after;
    return matches;
}

// What evaluate draws from the pawns besides their piece-square values, white's view, for the
// position's knights, bishops, rooks and kings, with the given colour and pawn sets and the
// pawn entry of those pawns: the structure, the middlegame king terms (remembered in the entry
// when it lacks them), and the terms that the pawns decide for the other pieces. Bits are
// counted one by one: these sets seldom hold more than one square.
[[gnu::always_inline]] inline int32_t pawn_terms(PawnEntry& e, Bitboard white, Bitboard black,
                                                 Bitboard white_pawns, Bitboard black_pawns,
                                                 bool middlegame) {
    check_invariant("the pawn terms are read from the entry of the pawns",
                    [&] { return holds_pawns(e, white_pawns, black_pawns); });
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
    return p + king_terms(e, white_king, black_king, white_pawns, black_pawns) +
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
    PawnEntry& e = pawn_entry(white_pawns, black_pawns, refill_pawn_entry_for_processor);
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
            ? middlegame_king_terms<Us>(to, pieces_of(0, PAWN_SET), pieces_of(1, PAWN_SET))
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
    quiet.white_score = side_view(score, pos.side);
    quiet.piece_count = last_evaluated_piece_count;
    last_evaluated_piece_count = kept_count;

    const Bitboard white = pos.colour_pieces[0];
    const Bitboard black = pos.colour_pieces[1];
    const Bitboard white_pawns = pieces_of(0, PAWN_SET);
    const Bitboard black_pawns = pieces_of(1, PAWN_SET);
    PawnEntry& e = pawn_entry(white_pawns, black_pawns, refill_pawn_entry_for_processor);
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
    quiet.king_terms = {e.king_terms[0], e.king_terms[1]}; // as pawn_terms left them
    if constexpr (CHECKED_BUILD) {
        quiet.position = pos;
        quiet.ply = pos.ply;
    }
}

// Out of line: compiled into the search's loop, it would crowd that loop's registers.
[[gnu::noinline]] int32_t score_after_quiet_move(Move move) {
    check_invariant("the quiet-move state was kept for the current position",
                    [] { return kept_for_current_position(); });
    const int32_t count_before = last_evaluated_piece_count;
    int32_t score = 0;
    if (quiet.piece_count >= 0) {
        last_evaluated_piece_count = quiet.piece_count;
        score = pos.side == 0 ? quiet.white_score + quiet_move_change<0>(move)
                              : -(quiet.white_score + quiet_move_change<1>(move));
    }
    check_invariant("a quiet-move score is evaluate()'s after the move is played",
                    [&] { return matches_played_move(move, score, count_before); });
    return score;
}

} // namespace tervane
