// The front end: start-up, the command loop and the command handlers.
#pragma once

#include "search/search.h"

#include <cstddef>
#include <cstdint>

namespace tervane {

inline constexpr const char* ENGINE_VERSION = "1.7";

// Longest command line read whole; a longer one keeps its start and loses the rest.
constexpr std::size_t LINE_CAPACITY = std::size_t{1} << 22;

enum class Command {
    NONE,
    GO,
    POSITION,
    STOP,
    UCINEWGAME,
    UCI,
    ISREADY,
    PONDERHIT,
    PERFT,
    PRINT,
    QUIT,
    EVAL
};

// The command a line starts with, tried in the engine's fixed order.
Command match_command(const char* line);

// Reads a decimal integer the way atoi does (leading blanks, a sign, digits), saturating
// instead of overflowing; 0 when there are no digits.
int64_t read_integer(const char* text);

void init_tables();
// Reads and runs commands until "quit" or the end of input; returns the exit status.
int command_loop();
// Runs one command line, which ends in its line feed. Returns false for "quit".
bool execute_command(char* line);

// The search's reports printed as info and bestmove lines; search-time input read meanwhile.
extern const SearchReporter UCI_REPORTER;

// Sets up the position of a FEN text for a new search: the board and the evaluation's memory.
void set_up_position(const char* fen);
void position_command(char* line);
void go_command(const char* line);
void perft_command(const char* line);
// "eval": the static evaluation of the current position, term by term.
void eval_command();
// "ucinewgame": each layer forgets the previous game.
void new_game();
// Milliseconds of the clock kept back for the answer's way to the interface.
constexpr double CLOCK_RESERVE_MS = 30;
// Turns the side to move's clock into search_limits.time_budget and safe_limit.
void set_time_budget(double time, double inc, double movestogo, double movetime);
// Reads a "go" line into the search limits, without searching.
void apply_go_limits(const char* line);

} // namespace tervane
