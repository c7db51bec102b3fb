#include "uci/input.h"

#include "platform/platform.h"
#include "search/search.h"
#include "uci/uci.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tervane {

namespace {

// Bytes read from standard input and not yet handed out: [head, tail). Lines before
// scan_cursor have been looked at by the search-time scan and wait for the command loop.
std::array<char, LINE_CAPACITY> buffer;
std::size_t head = 0;
std::size_t tail = 0;
std::size_t scan_cursor = 0;
bool closed = false;
bool dropping_overlong = false;
// Bytes read from now on are dropped up to and including the next line feed: the end of a
// line whose start had to be dropped.
bool discarding = false;

// Room a search keeps free in the buffer, so that "stop" can always come in.
constexpr std::size_t SEARCH_RESERVE = std::size_t{1} << 16;

void compact() {
    if (head == 0) return;
    std::memmove(buffer.data(), buffer.data() + head, tail - head);
    tail -= head;
    scan_cursor -= head;
    head = 0;
}

// Reads more input; without `wait` only what is already there. False when nothing came.
bool fill(bool wait) {
    if (closed) return false;
    if (tail == buffer.size()) compact();
    if (tail == buffer.size()) return false;
    if (!wait && input_available() == 0) return false;
    const std::size_t n = read_input(buffer.data() + tail, buffer.size() - tail);
    if (n == 0) {
        closed = true;
        return false;
    }
    if (discarding) {
        const char* arrived = buffer.data() + tail;
        const char* newline = static_cast<const char*>(std::memchr(arrived, '\n', n));
        if (newline == nullptr) return true;
        discarding = false;
        const std::size_t kept = n - static_cast<std::size_t>(newline + 1 - arrived);
        std::memmove(buffer.data() + tail, newline + 1, kept);
        tail += kept;
        return true;
    }
    tail += n;
    return true;
}

// During a search a full buffer would stop all reading, and a "stop" behind it would never
// be seen. Lines not yet handed to the command loop are dropped from the end, an unfinished
// one together with the rest of it still to come, until the reserve is free again.
void make_room() {
    compact();
    if (buffer.size() - tail >= SEARCH_RESERVE) return;
    auto line_start = [](std::size_t end) {
        while (end > head && buffer[end - 1] != '\n') --end;
        return end;
    };
    if (tail > head && buffer[tail - 1] != '\n') {
        tail = line_start(tail);
        discarding = true;
    }
    while (buffer.size() - tail < SEARCH_RESERVE && tail > head) tail = line_start(tail - 1);
    // The rest of an overlong line that the command loop waits to drop is gone already.
    if (tail == head) dropping_overlong = false;
    if (scan_cursor > tail) scan_cursor = tail;
}

const char* find_newline(std::size_t from) {
    return static_cast<const char*>(std::memchr(buffer.data() + from, '\n', tail - from));
}

// Copies [from, from + length) as a line, dropping a carriage return before the line feed.
void copy_line(char* line, std::size_t capacity, std::size_t from, std::size_t length) {
    if (length > 0 && buffer[from + length - 1] == '\r') --length;
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(line, buffer.data() + from, length);
    line[length] = '\0';
}

// Takes the oldest whole line out of the buffer, if there is one.
bool take_line(char* line, std::size_t capacity) {
    for (;;) {
        const char* newline = find_newline(head);
        if (newline != nullptr) {
            const std::size_t end = static_cast<std::size_t>(newline - buffer.data());
            const bool dropped = dropping_overlong;
            dropping_overlong = false;
            if (!dropped) copy_line(line, capacity, head, end - head);
            head = end + 1;
            if (scan_cursor < head) scan_cursor = head;
            if (dropped) continue;
            return true;
        }
        if (head == tail) return false;
        if (dropping_overlong) {
            head = scan_cursor = tail;
            return false;
        }
        // A line longer than the buffer: keep its start, drop the rest up to its end.
        const bool full = head == 0 && tail == buffer.size();
        if (!closed && !full) return false;
        copy_line(line, capacity, head, tail - head);
        head = scan_cursor = tail;
        dropping_overlong = !closed;
        return true;
    }
}

// Acts on one line seen during a search; true when the line was consumed by it.
bool handle_search_line(const char* line) {
    auto& limits = search_limits;
    switch (match_command(line)) {
    case Command::STOP:
        search_state.stop_flag = true;
        return true;
    case Command::QUIT:
        search_state.stop_flag = true;
        limits.quit_requested = true;
        return true;
    case Command::ISREADY:
        std::printf("readyok\n");
        return true;
    case Command::PONDERHIT:
        if (limits.pondering) {
            // The opponent played the expected move: from now on our own clock runs.
            limits.pondering = false;
            limits.hold_bestmove = false;
            limits.no_time_limit = limits.depth_limited || limits.clockless;
            start_search_clock(tick_count());
        }
        return true;
    default:
        return false;
    }
}

// Looks at the whole lines not scanned yet; consumed ones leave the buffer. Once a line
// has ended the search (or `search_over` says it is over), the lines after it wait for the
// command loop, so that their replies follow "bestmove" in the order they were asked.
void scan_lines(bool (*search_over)()) {
    while (!search_over()) {
        const char* newline = find_newline(scan_cursor);
        if (newline == nullptr) return;
        const std::size_t end = static_cast<std::size_t>(newline - buffer.data());
        char start[16];
        copy_line(start, sizeof start, scan_cursor, end - scan_cursor);
        if (dropping_overlong && scan_cursor == head) {
            scan_cursor = end + 1;
            continue;
        }
        if (!handle_search_line(start)) {
            scan_cursor = end + 1;
            continue;
        }
        std::memmove(buffer.data() + scan_cursor, newline + 1, tail - end - 1);
        tail -= end + 1 - scan_cursor;
    }
}

bool search_stopped() {
    return search_state.stop_flag;
}

// A search that holds its answer is over once nothing holds it any more.
bool search_released() {
    return search_state.stop_flag || !search_limits.hold_bestmove;
}

} // namespace

bool read_line(char* line, std::size_t capacity) {
    while (!take_line(line, capacity))
        if (!fill(true) && closed && head == tail) return false;
    return true;
}

void begin_search_input() {
    scan_cursor = head;
}

void poll_input() {
    for (;;) {
        while (fill(false)) {}
        scan_lines(search_stopped);
        if (search_stopped() || closed || tail < buffer.size() || input_available() == 0) break;
        make_room();
    }
    // The interface is gone: nobody will ever send "stop".
    if (closed) search_state.stop_flag = true;
}

void wait_for_release() {
    scan_lines(search_released);
    while (!search_released() && !closed) {
        make_room();
        fill(true);
        scan_lines(search_released);
    }
}

bool input_closed() {
    return closed;
}

} // namespace tervane
