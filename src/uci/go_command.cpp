#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/input.h"
#include "uci/uci.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace tervane {

namespace {

struct GoLimits {
    double wtime = 0, btime = 0, winc = 0, binc = 0, movestogo = 0, movetime = 0, depth = 0,
           nodes = 0, mate = 0;
    bool infinite = false, ponder = false;
    bool clock = false; // a word of the clock came, whatever its value
    std::array<Move, MAX_MOVES> search_moves{};
    int32_t search_move_count = 0;
};

// Option words that take a value, in the order they are tried.
struct ValueOption {
    std::string_view word;
    double GoLimits::*field;
    bool clock; // one of the words a time budget is made of
};
constexpr std::array<ValueOption, 9> VALUE_OPTIONS = {{
    {"binc", &GoLimits::binc, true},
    {"btime", &GoLimits::btime, true},
    {"depth", &GoLimits::depth, false},
    {"mate", &GoLimits::mate, false},
    {"movestogo", &GoLimits::movestogo, true},
    {"movetime", &GoLimits::movetime, true},
    {"nodes", &GoLimits::nodes, false},
    {"winc", &GoLimits::winc, true},
    {"wtime", &GoLimits::wtime, true},
}};
// The words without a value, which end a "searchmoves" list as the others do.
constexpr std::array<std::string_view, 3> OTHER_WORDS = {"infinite", "ponder", "searchmoves"};

// Next blank-separated token from `cursor`; empty at the end of the line. Only the blank
// separates, so the line feed stays part of the last token.
std::string_view next_token(const char*& cursor) {
    while (*cursor == ' ') ++cursor;
    const char* start = cursor;
    while (*cursor != ' ' && *cursor != '\0') ++cursor;
    return {start, static_cast<std::size_t>(cursor - start)};
}

double token_value(std::string_view token) {
    char number[24] = {};
    std::memcpy(number, token.data(), std::min<std::size_t>(token.size(), 23));
    return static_cast<double>(read_integer(number));
}

// A word of the "go" command, in the middle of the line or as its last word.
bool is_go_word(std::string_view token) {
    if (token.ends_with('\n')) token.remove_suffix(1);
    for (const auto& option : VALUE_OPTIONS)
        if (token == option.word) return true;
    return std::find(OTHER_WORDS.begin(), OTHER_WORDS.end(), token) != OTHER_WORDS.end();
}

// A move of the "searchmoves" list, read as "position" reads its moves; a move that is not
// legal here, or repeats one before it, is left out.
void add_search_move(GoLimits& limits, std::string_view token) {
    if (token.ends_with('\n')) token.remove_suffix(1);
    if (token.size() < 4 || token.size() > 5) return;
    char text[6] = {};
    std::memcpy(text, token.data(), token.size());
    const Move move = text_to_move(text);
    const auto listed = limits.search_moves.begin();
    const auto listed_end = listed + limits.search_move_count;
    if (move == 0 || std::find(listed, listed_end, move) != listed_end) return;
    limits.search_moves[limits.search_move_count++] = move;
}

// The moves after "searchmoves", up to the next word of the command or the end of the line.
// A later list replaces an earlier one, as a later value does.
void read_search_moves(GoLimits& limits, const char*& cursor) {
    limits.search_move_count = 0;
    for (;;) {
        const char* before = cursor;
        const std::string_view token = next_token(cursor);
        if (token.empty() || is_go_word(token)) {
            cursor = before;
            return;
        }
        add_search_move(limits, token);
    }
}

GoLimits read_limits(const char* line) {
    GoLimits limits;
    const char* cursor = line;
    next_token(cursor); // the command word
    for (std::string_view token = next_token(cursor); !token.empty(); token = next_token(cursor)) {
        // "infinite" and "ponder" count only as the last word of the line. A value word takes
        // the next token, whatever it is; "searchmoves" the moves up to the next word.
        if (token == "infinite\n") limits.infinite = true;
        if (token == "ponder\n") limits.ponder = true;
        if (token == "searchmoves") read_search_moves(limits, cursor);
        for (const auto& option : VALUE_OPTIONS) {
            if (token != option.word) continue;
            limits.*option.field = token_value(next_token(cursor));
            limits.clock = limits.clock || option.clock;
            break;
        }
    }
    return limits;
}

} // namespace

void set_time_budget(double time, double inc, double movestogo, double movetime) {
    auto& limits = search_limits;
    if (movestogo <= 0 || movestogo > 30) movestogo = 30;
    limits.time_budget = 0;
    limits.safe_limit = 0;
    if (movetime > 0) {
        limits.time_budget = movetime - 50;
        limits.safe_limit = limits.time_budget;
    } else if (time >= 0) {
        const double t = std::max(0.0, time * 0.95 - 1);
        const double b = ((movestogo - 1) * inc + t) / movestogo;
        // The answer takes a few milliseconds to reach the interface and its clock: on
        // a nearly empty clock every move would lose them until the flag falls.
        const double limit = std::clamp(time - CLOCK_RESERVE_MS, 0.0, t);
        limits.time_budget = std::min(b <= t ? b : t, limit);
        limits.safe_limit = limit;
    }
}

void apply_go_limits(const char* line) {
    const GoLimits asked = read_limits(line);
    auto& limits = search_limits;
    limits.depth_limited = false;
    limits.depth_limit = 0;
    limits.no_time_limit = false;
    if (asked.depth > 0) {
        limits.depth_limit = static_cast<int32_t>(std::min(asked.depth, 1000.0));
        limits.depth_limited = true;
    }
    const bool white = pos.side == 0;
    set_time_budget(white ? asked.wtime : asked.btime, white ? asked.winc : asked.binc,
                    asked.movestogo, asked.movetime);
    limits.node_limit = asked.nodes > 0 ? static_cast<uint64_t>(asked.nodes) : 0;
    limits.mate_limit =
        asked.mate > 0 ? static_cast<int32_t>(std::min(asked.mate, double{MAX_ITERATIONS})) : 0;
    // A node or mate limit ends the search by itself: without a word of the clock it has no
    // time limit (the clock's budget would be 0); with one, whichever limit comes first.
    limits.clockless = (limits.node_limit > 0 || limits.mate_limit > 0) && !asked.clock;
    if (limits.clockless) limits.no_time_limit = true;
    std::copy_n(asked.search_moves.begin(), asked.search_move_count, limits.search_moves.begin());
    limits.search_move_count = asked.search_move_count;
    if (asked.infinite || asked.ponder) limits.no_time_limit = true;
    limits.hold_bestmove = asked.infinite || asked.ponder;
    limits.pondering = asked.ponder;
    limits.quit_requested = false;
}

void go_command(const char* line) {
    apply_go_limits(line);
    begin_search_input();
    think();
}

} // namespace tervane
