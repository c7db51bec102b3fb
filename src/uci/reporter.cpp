// The search's reports as the interface reads them: info lines and bestmove.
#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/input.h"
#include "uci/uci.h"

#include <cstdio>

namespace tervane {

namespace {

int32_t nodes_per_second(uint32_t elapsed, uint64_t nodes) {
    if (elapsed == 0) return 0;
    return static_cast<int32_t>(nodes / elapsed * 1000);
}

void print_best_line(int32_t score, int32_t depth, uint32_t elapsed, uint64_t nodes,
                     const Move* line, int32_t length) {
    if (score > MATE_REPORT_BOUND || score < -MATE_REPORT_BOUND)
        std::printf("info depth %d score mate %d ", depth, mate_in_moves(score));
    else
        std::printf("info depth %d score cp %d ", depth, score);
    std::printf("time %d nodes %llu nps %d pv ", static_cast<int>(elapsed),
                static_cast<unsigned long long>(nodes), nodes_per_second(elapsed, nodes));
    char text[6];
    for (int32_t j = 0; j < length; ++j) {
        move_to_text(line[j], text);
        std::printf("%s ", text);
    }
    std::printf("\n");
}

void print_current_move(int32_t depth, Move move, int32_t number) {
    char text[6];
    move_to_text(move, text);
    std::printf("info depth %d currmove %s currmovenumber %d\n", depth, text, number);
}

void print_iteration_end(uint32_t elapsed, uint64_t nodes) {
    std::printf("info time %d nodes %llu nps %d \n", static_cast<int>(elapsed),
                static_cast<unsigned long long>(nodes), nodes_per_second(elapsed, nodes));
}

void answer(Move best) {
    if (best == 0) {
        std::printf("bestmove 0000\n");
        return;
    }
    char text[6];
    move_to_text(best, text);
    std::printf("bestmove %s\n", text);
    commit_move(best);
}

} // namespace

const SearchReporter UCI_REPORTER = {print_best_line, print_current_move, print_iteration_end,
                                     answer,          poll_input,         wait_for_release};

} // namespace tervane
