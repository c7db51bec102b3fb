#include "movegen/movegen.h"

namespace tervane {

namespace {
constexpr std::array<char, 8> PROMOTION_LETTER = {0, 0, 0, 0, 'q', 'r', 'b', 'n'};

bool is_promotion_letter(char c) {
    return c == 'q' || c == 'r' || c == 'b' || c == 'n';
}
} // namespace

void gen_legal_moves(Move* list, int32_t& count) {
    MoveList pseudo;
    gen_moves(pseudo.moves.data(), pseudo.count);
    count = 0;
    for (int32_t i = 0; i < pseudo.count; ++i) {
        if (!make_move(pseudo.moves[i])) continue;
        list[count++] = pseudo.moves[i];
        unmake_move();
    }
}

void move_to_text(Move move, char* text) {
    const int from = move_from(move), to = move_to(move);
    text[0] = static_cast<char>('a' + from % 8);
    text[1] = static_cast<char>('1' + from / 8);
    text[2] = static_cast<char>('a' + to % 8);
    text[3] = static_cast<char>('1' + to / 8);
    text[4] = PROMOTION_LETTER[move_kind(move) & 7];
    text[5] = 0;
}

Move text_to_move(const char* text) {
    MoveList legal;
    gen_legal_moves(legal.moves.data(), legal.count);
    for (int32_t i = 0; i < legal.count; ++i) {
        char candidate[6];
        move_to_text(legal.moves[i], candidate);
        if (candidate[0] != text[0] || candidate[1] != text[1] || candidate[2] != text[2] ||
            candidate[3] != text[3])
            continue;
        // Without a letter a promotion reads as the queen, the first of the four.
        if (candidate[4] != 0 && is_promotion_letter(text[4]) && text[4] != candidate[4]) continue;
        return legal.moves[i];
    }
    return 0;
}

} // namespace tervane
