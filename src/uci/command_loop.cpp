#include "eval/eval.h"
#include "movegen/movegen.h"
#include "platform/platform.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/input.h"
#include "uci/uci.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tervane {

namespace {

struct CommandWord {
    const char* word;
    Command command;
};

// Tried in this order: "ucinewgame" must be seen before "uci". A new word goes last, unless
// it begins with an older one or an older one begins with it.
constexpr std::array<CommandWord, 11> COMMAND_WORDS = {{
    {"go", Command::GO},
    {"position", Command::POSITION},
    {"stop", Command::STOP},
    {"ucinewgame", Command::UCINEWGAME},
    {"uci", Command::UCI},
    {"isready", Command::ISREADY},
    {"ponderhit", Command::PONDERHIT},
    {"perft", Command::PERFT},
    {"print", Command::PRINT},
    {"quit", Command::QUIT},
    {"eval", Command::EVAL},
}};

// The command line with room for the line feed that handlers see at its end.
std::array<char, LINE_CAPACITY + 1> line_buffer;

} // namespace

Command match_command(const char* line) {
    for (const auto& entry : COMMAND_WORDS)
        if (std::strncmp(line, entry.word, std::strlen(entry.word)) == 0) return entry.command;
    return Command::NONE;
}

int64_t read_integer(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < INT32_MAX) value = value * 10 + (*text - '0');
    if (value > INT32_MAX) value = INT32_MAX;
    return negative ? -value : value;
}

void init_tables() {
    init_platform();
    init_keys();
    search_reporter = UCI_REPORTER;
}

void set_up_position(const char* fen) {
    set_fen(fen);
    reset_evaluation();
}

void new_game() {
    clear_game();
    reset_evaluation();
    reset_search_result();
}

bool execute_command(char* line) {
    switch (match_command(line)) {
    case Command::GO:
        go_command(line);
        break;
    case Command::POSITION:
        position_command(line);
        break;
    case Command::STOP:
        search_state.stop_flag = true;
        break;
    case Command::UCINEWGAME:
        new_game();
        break;
    case Command::UCI:
        std::printf("id name Tervane %s\n", ENGINE_VERSION);
        std::printf("id author Orsolen\n");
        std::printf("uciok\n");
        break;
    case Command::ISREADY:
        std::printf("readyok\n");
        break;
    case Command::PERFT:
        perft_command(line);
        break;
    case Command::PRINT:
        print_board();
        break;
    case Command::EVAL:
        eval_command();
        break;
    case Command::QUIT:
        return false;
    case Command::PONDERHIT:
    case Command::NONE:
        break;
    }
    return true;
}

int command_loop() {
    std::printf("Tervane %s\n", ENGINE_VERSION);
    std::printf("UCI chess engine\n");
    char* line = line_buffer.data();
    while (read_line(line, LINE_CAPACITY)) {
        std::strcat(line, "\n");
        if (!execute_command(line)) return 0;
        if (search_limits.quit_requested) return 0;
    }
    return 0;
}

} // namespace tervane
