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
    double wtime = 0, btime = 0, winc = 0, binc = 0, movestogo = 0, movetime = 0, depth = 0;
    bool infinite = false, ponder = false;
};

// Option words that take a value, in the order they are tried.
struct ValueOption {
    std::string_view word;
    double GoLimits::*field;
};
constexpr std::array<ValueOption, 7> VALUE_OPTIONS = {{
    {"binc", &GoLimits::binc},
    {"btime", &GoLimits::btime},
    {"depth", &GoLimits::depth},
    {"movestogo", &GoLimits::movestogo},
    {"movetime", &GoLimits::movetime},
    {"winc", &GoLimits::winc},
    {"wtime", &GoLimits::wtime},
}};

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

GoLimits read_limits(const char* line) {
    GoLimits limits;
    const char* cursor = line;
    next_token(cursor); // the command word
    for (std::string_view token = next_token(cursor); !token.empty(); token = next_token(cursor)) {
        // "infinite" and "ponder" count only as the last word of the line.
        if (token == "infinite\n") limits.infinite = true;
        if (token == "ponder\n") limits.ponder = true;
        for (const auto& option : VALUE_OPTIONS) {
            if (token != option.word) continue;
            limits.*option.field = token_value(next_token(cursor));
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
