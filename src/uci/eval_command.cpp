// The eval command: the static evaluation of the current position, term by term.
#include "eval/eval.h"
#include "position/position.h"
#include "uci/uci.h"

#include <cstdio>

namespace tervane {

namespace {

const char* form_name(const EvalBreakdown& b) {
    switch (b.form) {
    case EvalForm::MIDDLEGAME:
        return "middlegame";
    case EvalForm::ENDGAME:
        return b.halved_material ? "endgame, material halved for opposite-coloured bishops"
                                 : "endgame";
    case EvalForm::DRAWN_ENDING:
        return "drawn ending: no pawns, queens or rooks, and a side with one knight or one bishop";
    }
    return "";
}

} // namespace

void eval_command() {
    const EvalBreakdown b = evaluation_breakdown();
    std::printf("Evaluation (%s)\n", form_name(b));
    if (b.term_count > 0) {
        std::printf("%-24s %7s %7s\n", "term", "White", "Black");
        std::array<int32_t, 2> sums = {0, 0};
        for (int i = 0; i < b.term_count; ++i) {
            const EvalTerm& term = b.terms[i];
            std::printf("%-24s %7d %7d\n", term.name, term.values[0], term.values[1]);
            sums[0] += term.values[0];
            sums[1] += term.values[1];
        }
        std::printf("%-24s %7d %7d\n", "sum", sums[0], sums[1]);
    }
    std::printf("Total: %d for %s to move\n", b.score, pos.side == 0 ? "white" : "black");
}

} // namespace tervane
