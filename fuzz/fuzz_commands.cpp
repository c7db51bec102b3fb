// Feeds arbitrary bytes to the engine as command lines, the way an interface forwards
// whatever its user typed or loaded, and checks after every line that the game record
// still describes a position that can exist, and after every search that the answer is a
// legal move of the position searched and that the game moved on by that move alone.
//
// One input must run in milliseconds, so searches and perft stay shallow: "go" lines are
// rewritten to a depth of at most 3 (never timed, never endless), a "stop" waits in the
// input for each search, only the first few searches of an input run, and perft depths
// above 3 become 3. "quit" lines are skipped: they would end the process.
#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/uci.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace tervane;

namespace {

constexpr int64_t MAX_DEPTH = 3;
// Searches are by far the dearest lines; more of them in one input add little.
constexpr int MAX_SEARCHES = 4;
int searches_left = 0;

// The writing end of the pipe that stands in for standard input.
int interface_end = -1;

// The initial position as start-up leaves it, for what perft must leave behind.
Position start_position;

[[noreturn]] void fail(const char* what, const std::string& line) {
    std::fprintf(stderr, "\n*** %s\n*** after the line: ", what);
    for (unsigned char c : line) {
        if (c >= 32 && c < 127)
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", c);
    }
    std::fputc('\n', stderr);
    std::abort();
}

bool is_piece(PieceCode p) {
    return p >= 0 && p < PIECE_CODES && piece_to_char[p] != 0;
}

// What a game record that came from set-up and legal moves always satisfies; the name of
// the first broken rule, or nullptr.
const char* broken_rule() {
    std::array<int, 2> pieces{};
    std::array<int32_t, 2> material{};
    for (Square s = 0; s < 64; ++s) {
        const PieceCode p = pos.board[s];
        if (p == 0) continue;
        if (!is_piece(p)) return "a square holds something that is no piece";
        if ((p & PAWN) && (s < 8 || s >= 56)) return "a pawn stands on the first or last rank";
        const int colour = (p & WHITE) ? 0 : 1;
        ++pieces[colour];
        material[colour] += colour == 0 ? piece_value[p] : -piece_value[p];
    }
    if (pieces[0] > MAX_PIECES_PER_SIDE || pieces[1] > MAX_PIECES_PER_SIDE)
        return "more than 16 pieces of one colour";
    if (pos.side > 1) return "side to move is neither white nor black";
    if (pos.ply < 0 || pos.ply > 1) return "ply left above the root";
    if (pos.fifty < 0) return "negative half-move clock";
    if (pos.root_ply < 0 || pos.root_ply > HISTORY_CAPACITY) return "root_ply outside the history";

    const auto& b = pos.board;
    if (pos.castling > 15) return "castling rights beyond the four bits";
    if ((pos.castling & CASTLE_WK) && (b[4] != W_KING || b[7] != W_ROOK))
        return "white king-side right without king and rook at home";
    if ((pos.castling & CASTLE_WQ) && (b[4] != W_KING || b[0] != W_ROOK))
        return "white queen-side right without king and rook at home";
    if ((pos.castling & CASTLE_BK) && (b[60] != B_KING || b[63] != B_ROOK))
        return "black king-side right without king and rook at home";
    if ((pos.castling & CASTLE_BQ) && (b[60] != B_KING || b[56] != B_ROOK))
        return "black queen-side right without king and rook at home";

    // "ucinewgame" empties the board and the history and leaves material, side and the
    // en-passant square as they were: nothing to compare until the next set-up.
    if (pieces[0] + pieces[1] == 0) return nullptr;
    if (material != pos.material) return "material does not match the board";

    const Square ep = pos.ep_square;
    if (ep != 0) {
        if (ep < 0 || ep > 63 || b[ep] != 0) return "en-passant square off the board or taken";
        const bool white_can_take = pos.side == 0 && ep / 8 == 5 && b[ep - 8] == B_PAWN;
        const bool black_can_take = pos.side == 1 && ep / 8 == 2 && b[ep + 8] == W_PAWN;
        if (!white_can_take && !black_can_take)
            return "en-passant square where no double push can have passed";
    }
    const int newest = pos.root_ply > 0 ? pos.root_ply - 1 : 0;
    if (pos.hash_history[newest] != compute_key())
        return "the newest key of the game is not the key of the position";
    return nullptr;
}

// The parts of the record that describe the game (not the search's scratch state).
bool same_game(const Position& a, const Position& b) {
    if (a.board != b.board || a.side != b.side || a.castling != b.castling ||
        a.ep_square != b.ep_square || a.king_square != b.king_square || a.material != b.material ||
        a.fifty != b.fifty || a.root_ply != b.root_ply)
        return false;
    const int n = std::max(a.root_ply, 1);
    return std::equal(a.hash_history.begin(), a.hash_history.begin() + n, b.hash_history.begin());
}

// A blank-separated token as the go command reads it: only the blank separates, so tabs
// and the final line feed stay part of their token.
std::string_view next_token(std::string_view& rest) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end);
    return token;
}

bool is_endless_word(std::string_view token) {
    if (!token.empty() && token.back() == '\n') token.remove_suffix(1);
    return token == "infinite" || token == "ponder";
}

// The same go line with every depth replaced by one of 1..MAX_DEPTH, placed first so that
// no option word in front can take it as its value, and without "infinite" or "ponder".
// The clock options stay: they are still read, and a depth limit turns the clock off.
std::string shallow_go(std::string_view line) {
    std::string_view rest = line;
    next_token(rest); // the command word
    std::string kept;
    int64_t depth = 1;
    bool depth_seen = false;
    for (std::string_view token = next_token(rest); !token.empty(); token = next_token(rest)) {
        if (token == "depth") {
            const std::string value(next_token(rest));
            if (!depth_seen) depth = read_integer(value.c_str());
            depth_seen = true;
            continue;
        }
        if (is_endless_word(token)) continue;
        kept += ' ';
        kept += token;
    }
    if (depth < 1 || depth > MAX_DEPTH)
        depth = 1 + (depth < 0 ? -(depth % MAX_DEPTH) : depth % MAX_DEPTH);
    std::string shallow = "go depth " + std::to_string(depth) + kept;
    if (shallow.back() != '\n') shallow += '\n';
    return shallow;
}

// The depth exactly as the perft command reads it.
int64_t perft_depth(const char* line) {
    const char* piece = line + std::strspn(line, "perft ");
    char number[24] = {};
    std::memcpy(number, piece, std::min<std::size_t>(std::strcspn(piece, "perft "), 23));
    return read_integer(number);
}

// A "stop" waiting in the input ends a search at its first poll (65536 nodes), as an
// interface that loses patience would: in odd positions a search of depth 3 can run to
// millions of nodes, and the stop tests that an interrupted search unwinds cleanly.
void queue_stop() {
    pollfd waiting{STDIN_FILENO, POLLIN, 0};
    if (interface_end < 0 || poll(&waiting, 1, 0) != 0) return;
    if (write(interface_end, "stop\n", 5) != 5) std::perror("stop");
}

void run_go(std::string& line) {
    queue_stop();
    MoveList legal;
    gen_legal_moves(legal.moves.data(), legal.count);
    static Position before;
    before = pos;
    execute_command(line.data());
    const Move best = search_state.best_move;
    if (legal.count == 0) {
        if (best != 0) fail("a move was chosen where there is none", line);
        if (!same_game(before, pos)) fail("a search without moves changed the game", line);
        return;
    }
    Move* end = legal.moves.data() + legal.count;
    if (std::find(legal.moves.data(), end, best) == end)
        fail("the chosen move is not a legal move of the position searched", line);
    // The game afterwards must be the one before plus the chosen move, nothing else.
    static Position after;
    after = pos;
    pos = before;
    commit_move(best);
    const bool same = same_game(pos, after);
    pos = after;
    if (!same) fail("the search did not leave the position as it found it", line);
}

void run_line(std::string_view raw) {
    // What the command loop hands on: a carriage return before the line feed is dropped,
    // and the line ends at its first zero byte, where the line feed is appended.
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    raw = raw.substr(0, std::min(raw.find('\0'), raw.size()));
    std::string line(raw);
    line += '\n';

    switch (match_command(line.c_str())) {
    case Command::QUIT:
        return;
    case Command::GO:
        if (searches_left == 0) return;
        --searches_left;
        line = shallow_go(line);
        run_go(line);
        break;
    case Command::PERFT: {
        const int64_t depth = perft_depth(line.c_str());
        if (depth > MAX_DEPTH && depth <= 9) line = "perft " + std::to_string(MAX_DEPTH) + "\n";
        execute_command(line.data());
        if (depth >= 1 && depth <= 9 && !same_game(pos, start_position))
            fail("perft did not leave the initial position", line);
        break;
    }
    default:
        execute_command(line.data());
        break;
    }
    if (const char* rule = broken_rule()) fail(rule, line);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    init_tables();
    // A search polls standard input and ends once the input has ended (the interface is
    // gone). A pipe whose writing end stays open keeps the input open, and only "stop"
    // ever comes through it.
    int interface_pipe[2];
    if (pipe(interface_pipe) == 0) {
        dup2(interface_pipe[0], STDIN_FILENO);
        close(interface_pipe[0]);
        interface_end = interface_pipe[1];
    }
    // Replies are not looked at; buffered output to nowhere keeps the runs fast.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("/dev/null");
    set_fen(START_FEN);
    start_position = pos;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Every input starts from a fresh engine, as if just started.
    new_game();
    set_fen(START_FEN);
    pos.hash_key = 0;
    search_state.last_iteration_score = 0;
    search_state.stop_flag = false;
    searches_left = MAX_SEARCHES;

    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        run_line(input.substr(0, end));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    return 0;
}
