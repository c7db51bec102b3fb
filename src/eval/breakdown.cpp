// The evaluation term by term (see evaluation_breakdown in eval.h). Each term is read from the
// rule that the evaluation applies, one colour at a time: a rule that counts the pieces of both
// colours is given one colour's pieces and none of the other's. The pawn terms come from a pawn
// entry filled for this position as the pawn table fills its entries.
#include "eval/bit_sets.h"
#include "eval/dispatch.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "eval/rules.h"
#include "position/piece_square_tables.h"
#include "position/position.h"

#include <cstdint>

namespace tervane {

namespace {

constexpr Counting C = Counting::PORTABLE; // right on any processor; speed does not matter here

// The position's pieces by colour and kind, and the pawn entry of its pawns.
struct Board {
    std::array<Bitboard, 2> pawns, knights, bishops, rooks, queens;
    std::array<Square, 2> kings;
    Bitboard occupied;
    PawnEntry entry;
};

Board read_board() {
    Board board{};
    for (int side = 0; side < 2; ++side) {
        board.pawns[side] = pieces_of(side, PAWN_SET);
        board.knights[side] = pieces_of(side, KNIGHT_SET);
        board.bishops[side] = pieces_of(side, BISHOP_SET);
        board.rooks[side] = pieces_of(side, ROOK_SET);
        board.queens[side] = pieces_of(side, QUEEN_SET);
        board.kings[side] = pos.king_square[side];
    }
    board.occupied = occupied_squares();
    refill_pawn_entry_for_processor(board.entry, board.pawns[0], board.pawns[1]);
    return board;
}

void add_term(EvalBreakdown& b, const char* name, int32_t white, int32_t black) {
    b.terms[b.term_count++] = {name, {white, black}};
}

// A rule over the pieces of both colours, white's view, as each colour's own terms.
template <class Rule>
void add_both_colours(EvalBreakdown& b, const char* name, const std::array<Bitboard, 2>& pieces,
                      Rule rule) {
    add_term(b, name, rule(pieces[0], Bitboard{0}), -rule(Bitboard{0}, pieces[1]));
}

// The piece-square values of one colour's pieces, its own view.
int32_t square_values_of(int side) {
    int32_t sum = 0;
    for (Bitboard pieces = pos.colour_pieces[side]; pieces != 0;) {
        const Square s = pop_lowest(pieces);
        sum += square_value(pos.board[s], s);
    }
    return side == 0 ? sum : -sum;
}

void add_material(EvalBreakdown& b) {
    const int32_t white = pos.material[0], black = pos.material[1];
    if (b.halved_material)
        add_term(b, "material", halved_material(white), -halved_material(black));
    else
        add_term(b, "material", white, -black);
    add_term(b, "piece-square tables", square_values_of(0), square_values_of(1));
}

// One kind of term of a colour's pawn structure (the others left out), that colour's view.
template <int Us> int32_t structure_part(const PawnStructure& kind_only, int phase) {
    if constexpr (Us == 0)
        return structure_terms(kind_only, PawnStructure{}, phase);
    else
        return -structure_terms(PawnStructure{}, kind_only, phase);
}

void add_pawn_structure(EvalBreakdown& b, const Board& board, int phase) {
    const PawnCover white = pawn_cover<0>(board.pawns[0]);
    const PawnCover black = pawn_cover<1>(board.pawns[1]);
    const PawnStructure w = pawn_structure<0, C>(board.pawns[0], white, black);
    const PawnStructure k = pawn_structure<1, C>(board.pawns[1], black, white);
    add_term(b, "isolated pawns",
             structure_part<0>(PawnStructure{.isolated_count = w.isolated_count}, phase),
             structure_part<1>(PawnStructure{.isolated_count = k.isolated_count}, phase));
    add_term(b, "backward pawns", structure_part<0>(PawnStructure{.backward = w.backward}, phase),
             structure_part<1>(PawnStructure{.backward = k.backward}, phase));
    add_term(b, "doubled pawns", structure_part<0>(PawnStructure{.doubled = w.doubled}, phase),
             structure_part<1>(PawnStructure{.doubled = k.doubled}, phase));
    add_term(
        b, "passed pawns",
        structure_part<0>(
            PawnStructure{.passed_ranks = w.passed_ranks, .passed_extras = w.passed_extras}, phase),
        structure_part<1>(
            PawnStructure{.passed_ranks = k.passed_ranks, .passed_extras = k.passed_extras},
            phase));
    if (phase == 1) {
        const std::array<Bitboard, 2> fronts = {passer_fronts<0>(board.entry, board.pawns[0]),
                                                passer_fronts<1>(board.entry, board.pawns[1])};
        add_both_colours(b, "blocked passed pawns", fronts, [&](Bitboard white, Bitboard black) {
            return blocked_passer_terms<C>(white, black, board.occupied);
        });
    }
}

void add_piece_terms(EvalBreakdown& b, const Board& board, bool middlegame) {
    const PawnEntry& e = board.entry;
    const Square white_king = board.kings[0], black_king = board.kings[1];
    add_both_colours(b, "bishop pair", board.bishops, [](Bitboard white, Bitboard black) {
        return bishop_pair_terms<C>(white, black);
    });
    add_term(b, "fianchetto", fianchetto_bonus<0>(board.bishops[0], white_king),
             fianchetto_bonus<1>(board.bishops[1], black_king));
    add_both_colours(b, "hemmed bishops", board.bishops, [&](Bitboard white, Bitboard black) {
        return hemmed_bishop_terms<C>(white, black, e.hemmed_bishops);
    });
    add_both_colours(b, "knight outposts", board.knights, [&](Bitboard white, Bitboard black) {
        return outpost_terms<C>(white, black, e.outposts);
    });
    add_term(b, "rooks on the seventh",
             rooks_on_seventh<0, C>(board.rooks[0], middlegame, black_king),
             rooks_on_seventh<1, C>(board.rooks[1], middlegame, white_king));
    add_both_colours(b, "rooks on open files", board.rooks, [&](Bitboard white, Bitboard black) {
        return rook_file_terms<C>(white, black, files_of(e.files[0]), files_of(e.files[1]));
    });
    if (middlegame)
        add_term(b, "shut-in rook",
                 shut_in_rook_charge<0>(board.rooks[0], white_king, board.pawns[0]),
                 shut_in_rook_charge<1>(board.rooks[1], black_king, board.pawns[1]));
    else
        add_term(b, "queens on the seventh",
                 queens_on_seventh<0, C>(board.queens[0], false, black_king),
                 queens_on_seventh<1, C>(board.queens[1], false, white_king));
}

void add_king_terms(EvalBreakdown& b, const Board& board, bool middlegame) {
    const Square white_king = board.kings[0], black_king = board.kings[1];
    if (!middlegame) {
        add_term(b, "king endgame table", king_endgame_table[white_king],
                 king_endgame_table[black_king]);
        return;
    }
    add_term(b, "king table", king_table_value<0>(white_king), king_table_value<1>(black_king));
    add_term(b, "king shelter", shelter<0>(white_king, board.pawns[0], board.pawns[1]),
             shelter<1>(black_king, board.pawns[1], board.pawns[0]));
}

} // namespace

EvalBreakdown evaluation_breakdown() {
    EvalBreakdown b{};
    const Board board = read_board();
    const Bitboard queens = board.queens[0] | board.queens[1];
    const bool middlegame = in_middlegame(pos.colour_pieces[0], pos.colour_pieces[1], queens);
    b.form = middlegame ? EvalForm::MIDDLEGAME : EvalForm::ENDGAME;
    if (!middlegame && (queens | board.rooks[0] | board.rooks[1]) == 0) {
        const Bitboard pawns = board.pawns[0] | board.pawns[1];
        if (drawn_ending(pawns, board.knights[0], board.knights[1], board.bishops[0],
                         board.bishops[1])) {
            b.form = EvalForm::DRAWN_ENDING;
            return b;
        }
        b.halved_material = opposite_bishops(pawns, board.knights[0] | board.knights[1],
                                             board.bishops[0], board.bishops[1]);
    }
    add_material(b);
    add_pawn_structure(b, board, middlegame ? 0 : 1);
    add_piece_terms(b, board, middlegame);
    add_king_terms(b, board, middlegame);
    int32_t white_view = 0;
    for (int i = 0; i < b.term_count; ++i)
        white_view += b.terms[i].values[0] - b.terms[i].values[1];
    b.score = side_view(white_view, pos.side);
    return b;
}

} // namespace tervane
