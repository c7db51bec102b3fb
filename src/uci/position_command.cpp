#include "movegen/movegen.h"
#include "position/position.h"
#include "uci/uci.h"

#include <cstring>

namespace tervane {

void position_command(char* line) {
    char* fen = std::strstr(line, "fen ");
    char* moves = std::strstr(line, "moves ");
    if (fen != nullptr) {
        fen += 4;
        // The FEN text ends at the space before "moves ".
        if (moves != nullptr && moves > line) moves[-1] = '\0';
        set_up_position(fen);
    } else {
        set_up_position(START_FEN);
    }
    if (moves == nullptr) return;

    // The set-up position counts for the repetition test once moves follow it.
    pos.root_ply = 1;
    const char* cursor = moves + 6;
    for (;;) {
        if (*cursor == '\0' || *cursor == '\n') return;
        char text[6] = {};
        for (int i = 0; i < 4; ++i) {
            if (cursor[i] == '\0') return;
            text[i] = cursor[i];
        }
        cursor += 4;
        if (*cursor != ' ' && *cursor != '\0') text[4] = *cursor++;
        const Move move = text_to_move(text);
        if (move != 0) commit_move(move);
        while (*cursor == ' ') ++cursor;
    }
}

} // namespace tervane
