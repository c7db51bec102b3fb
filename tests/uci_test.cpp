// The engine as an interface sees it: the real binary driven over pipes.
#include "engine_pipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using engine_pipe::ask;
using engine_pipe::Engine;
using engine_pipe::read_line;
using engine_pipe::read_until;
using engine_pipe::send;
using Lines = std::vector<std::string>;

namespace {

Engine started() {
    Engine engine = engine_pipe::start();
    EXPECT_EQ(read_line(engine), "Tervane 1.7");
    EXPECT_EQ(read_line(engine), "UCI chess engine");
    return engine;
}

bool starts_with(const std::string& s, std::string_view prefix) {
    return s.rfind(prefix, 0) == 0;
}

bool answered(const Lines& lines) {
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& l) { return starts_with(l, "bestmove"); });
}

// Search lines with their times and rates left out: everything else is the engine's
// fingerprint.
Lines without_times(Lines lines) {
    for (auto& l : lines) {
        for (const char* key : {" time ", " nps "}) {
            auto at = l.find(key);
            if (at == std::string::npos) continue;
            auto end = l.find(' ', at + std::strlen(key));
            l.erase(at + std::strlen(key), end - at - std::strlen(key));
        }
        if (starts_with(l, "info time ")) l = "info time" + l.substr(l.find(' ', 10));
    }
    return lines;
}

// The last line that holds `key`, or an empty one.
std::string last_line_with(const Lines& lines, const std::string& key) {
    for (auto l = lines.rbegin(); l != lines.rend(); ++l)
        if (l->find(key) != std::string::npos) return *l;
    return "";
}

// The number after `key` in the line, or -1.
long long number_after(const std::string& line, const std::string& key) {
    const auto at = line.find(key);
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + key.size()));
}

// The board lines and the side line of "print".
Lines board_of(Engine& engine) {
    Lines lines = ask(engine, "print");
    lines.resize(std::min<size_t>(lines.size(), 11));
    return lines;
}

} // namespace

TEST(CommandLoop, IdentifiesAndAnswers) {
    Engine engine = started();
    EXPECT_EQ(ask(engine, "uci"), (Lines{"id name Tervane 1.7", "id author Orsolen", "uciok"}));
    EXPECT_EQ(ask(engine, "ucix"), (Lines{"id name Tervane 1.7", "id author Orsolen", "uciok"}));
    send(engine, "isready now please");
    EXPECT_EQ(read_line(engine), "readyok");
    // Unknown, empty, indented and interface-only lines are ignored silently.
    for (const char* line : {"", "xgo", " go", "setoption name Hash value 16", "debug on",
                             "register later", "ponderhit", "stop", "hello"})
        EXPECT_EQ(ask(engine, line), Lines{}) << line;
    send(engine, "quitting");
    EXPECT_EQ(engine_pipe::wait_exit(engine), 0);
}

TEST(CommandLoop, EndOfInputEndsTheProgram) {
    Engine engine = started();
    engine_pipe::close_input(engine);
    EXPECT_EQ(read_line(engine, 2000), std::nullopt);
    EXPECT_EQ(engine_pipe::wait_exit(engine), 0);
}

TEST(CommandLoop, NewGameClearsTheBoard) {
    Engine engine = started();
    Lines lines = ask(engine, "ucinewgame");
    EXPECT_TRUE(lines.empty());
    lines = ask(engine, "print");
    ASSERT_EQ(lines.size(), 13u);
    for (int rank = 0; rank < 8; ++rank)
        EXPECT_EQ(lines[rank], std::to_string(8 - rank) + " . . . . . . . . ");
    EXPECT_EQ(lines[10], "turn: W");
    EXPECT_EQ(lines[11], "ply:0 * root_ply:0 * fifty:0");
}

TEST(CommandLoop, PrintShowsTheBoardAndCounters) {
    Engine engine = started();
    ask(engine, "position startpos moves e2e4 e7e5 g1f3");
    EXPECT_EQ(ask(engine, "printer"),
              (Lines{"8 r n b q k b n r ", "7 p p p p . p p p ", "6 . . . . . . . . ",
                     "5 . . . . p . . . ", "4 . . . . P . . . ", "3 . . . . . N . . ",
                     "2 P P P P . P P P ", "1 R N B Q K B . R ", "", "  a b c d e f g h ",
                     "turn: B", "ply:0 * root_ply:4 * fifty:1", "hash numder: 0"}));
}

TEST(CommandLoop, EvalShowsTheTermsAndTheTotal) {
    Engine engine = started();
    ask(engine, "position startpos moves e2e4");
    const Lines lines = ask(engine, "eval");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), "Evaluation (middlegame)");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "hemmed bishops               -30     -60"),
              lines.end());
    EXPECT_EQ(lines.back(), "Total: -52 for black to move");
    ask(engine, "position fen 4k3/8/8/8/8/8/8/4KN2 w - - 0 1");
    EXPECT_EQ(ask(engine, "eval").back(), "Total: 0 for white to move");
}

TEST(Perft, ReportOfTheInitialPosition) {
    Engine engine = started();
    Lines lines = ask(engine, "perft 1");
    ASSERT_GE(lines.size(), 13u + 20 + 3);
    EXPECT_EQ(lines[0], "8 r n b q k b n r ");
    EXPECT_EQ(lines[13], "b1c3 - 1 ");
    EXPECT_EQ(lines[32], "h2h4 - 1 ");
    EXPECT_EQ(lines[33], "Nodes for depth 1:  20");
    EXPECT_TRUE(starts_with(lines[34], "Time: "));
    EXPECT_EQ(lines[35], "Expected: 20");
    for (int depth = 2; depth <= 5; ++depth) {
        lines = ask(engine, "perft " + std::to_string(depth), 60000);
        const std::string expected[] = {"", "", "400", "8902", "197281", "4865609"};
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "Nodes for depth " + std::to_string(depth) + ":  " + expected[depth]),
                  lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Expected: " + expected[depth]),
                  lines.end());
        if (lines.back().rfind("Knps: ", 0) == 0) {
            EXPECT_GT(std::stoul(lines.back().substr(6)), 0u);
        }
    }
}

TEST(Perft, BadDepthsLeaveThePositionAlone) {
    Engine engine = started();
    ask(engine, "position startpos moves d2d4");
    const Lines before = board_of(engine);
    for (const char* line :
         {"perft 0", "perft 10", "perft -1", "perft", "perft x", "perft 99999999999"})
        EXPECT_EQ(ask(engine, line), Lines{"Error Depth"}) << line;
    EXPECT_EQ(board_of(engine), before);
}

TEST(Position, LongAndCarriageReturnLinesAreReadWhole) {
    Engine engine = started();
    // A 1200-ply game in one line of over 6000 characters, ended by CR LF.
    std::string line = "position startpos moves";
    for (int i = 0; i < 300; ++i) line += " b1c3 b8c6 c3b1 c6b8";
    line += " d2d4\r";
    ask(engine, line);
    Lines lines = ask(engine, "print\r");
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[4], "4 . . . P . . . . ");
    EXPECT_EQ(lines[10], "turn: B");
    EXPECT_EQ(lines[11], "ply:0 * root_ply:1202 * fifty:0");
}

TEST(Go, FixedDepthIsDeterministicAndPlaysItsMove) {
    Engine engine = started();
    auto search = [&](const char* go) {
        ask(engine, "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6");
        send(engine, go);
        return without_times(read_until(engine, "bestmove", 60000));
    };
    const Lines first = search("go depth 6");
    EXPECT_EQ(search("go depth 6"), first);
    ASSERT_TRUE(starts_with(first.back(), "bestmove "));
    // "go depth 3" prints only the three iteration lines and the move.
    Lines shallow = search("go depth 3");
    ASSERT_EQ(shallow.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(starts_with(shallow[i], "info time")) << shallow[i];

    // The engine's move is played into its game: "print" shows white to move again.
    ask(engine, "position startpos");
    send(engine, "go depth 4");
    std::string best = read_until(engine, "bestmove", 60000).back();
    Lines lines = ask(engine, "print");
    EXPECT_EQ(lines[10], "turn: B") << best;
    send(engine, "go depth 4");
    read_until(engine, "bestmove", 60000);
    EXPECT_EQ(ask(engine, "print")[10], "turn: W");
}

// The limits of match managers and analysis tools, alone and with the other words: a node
// count, a mate in so many moves, and the root moves to search. A search that ends by itself
// prints the same lines when asked again.
TEST(Go, NodeMateAndSearchMovesLimits) {
    const char* start = "position startpos";
    const char* middlegame =
        "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    const char* endgame = "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
    const char* black = "position startpos moves e2e4 c7c5 g1f3";
    const char* mate_in_1 = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
    const char* mate_in_2 = "position fen kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1"; // Ra6! bxa6 b7#
    const char* mate_in_3 = "position fen r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1";
    // In check, where taking the checker mates; and where the king has a square to go to.
    const char* checked_mate_in_1 = "position fen R3r2k/6pp/8/8/8/8/8/4K3 w - - 0 1";
    const char* checked_no_mate_in_1 = "position fen R3r2k/7p/6p1/8/8/8/8/4K3 w - - 0 1";
    struct Case {
        const char* position;
        const char* go;
        // "stop", sent once the answer is seen held; "ponderhit", sent at once; or nullptr.
        const char* release;
        long long nodes; // the search ends at nodes .. nodes + 1023 counted nodes; 0: unchecked
        int mate;        // the last score is a mate in 1 .. mate moves; -1: no mate score; 0: any
        int iterations;  // "info time" lines; 0: unchecked
        const char* answers; // the answer is one of these; nullptr: any
    };
    const Case cases[] = {
        {start, "go nodes 1", nullptr, 1, 0, 0, nullptr},
        {start, "go nodes 5000", nullptr, 5000, 0, 0, nullptr},
        {start, "go nodes 200000", nullptr, 200000, 0, 0, nullptr},
        {middlegame, "go nodes 100000", nullptr, 100000, 0, 0, nullptr},
        {endgame, "go nodes 50000", nullptr, 50000, 0, 0, nullptr},
        // A clock far from its end: the node limit comes first.
        {black, "go nodes 30000 wtime 600000 btime 600000 winc 1000 binc 1000", nullptr, 30000, 0,
         0, nullptr},
        {start, "go depth 12 nodes 3000", nullptr, 3000, 0, 0, nullptr},
        {start, "go nodes 1000000 depth 3", nullptr, 0, 0, 3, nullptr},
        {start, "go nodes 5000 infinite", "stop", 5000, 0, 0, nullptr},
        // The node limit, not a clock that never came, ends the search after ponderhit.
        {start, "go nodes 1000000 ponder", "ponderhit", 1000000, 0, 0, nullptr},
        // One move of several is searched as deep as asked, not answered at once.
        {start, "go depth 6 searchmoves a2a3", nullptr, 0, 0, 6, "a2a3"},
        {start, "go searchmoves a2a3 h2h4 depth 5", nullptr, 0, 0, 5, "a2a3 h2h4"},
        {start, "go depth 5 searchmoves e2e5 b1c3 xyz h7h6 b1c3", nullptr, 0, 0, 5, "b1c3"},
        {start, "go nodes 20000 searchmoves g1f3 b1c3", nullptr, 20000, 0, 0, "g1f3 b1c3"},
        {mate_in_1, "go mate 1", nullptr, 0, 1, 2, "d1d8"},
        {mate_in_2, "go mate 2", nullptr, 0, 2, 4, "a1a6"},
        {mate_in_3, "go mate 3", nullptr, 0, 3, 0, "f6a6"},
        // No mate in the moves asked for: the search ends where one would have been seen.
        {mate_in_3, "go mate 2", nullptr, 0, 0, 4, nullptr},
        {start, "go mate 3", nullptr, 0, -1, 6, nullptr},
        {checked_mate_in_1, "go mate 1", nullptr, 0, 1, 1, "a8e8"},
        {checked_no_mate_in_1, "go mate 1", nullptr, 0, -1, 1, nullptr},
        {mate_in_2, "go mate 2 depth 3", nullptr, 0, -1, 3, nullptr},
        {mate_in_2, "go mate 3 movetime 10000", nullptr, 0, 2, 4, "a1a6"},
        {mate_in_2, "go mate 2 infinite", "stop", 0, 2, 4, "a1a6"},
        {mate_in_2, "go mate 2 searchmoves b6a7 a1a2", nullptr, 0, -1, 4, "b6a7 a1a2"},
    };
    for (const Case& c : cases) {
        Engine engine = started();
        auto search = [&] {
            ask(engine, "ucinewgame");
            ask(engine, c.position);
            send(engine, c.go);
            Lines lines;
            if (c.release != nullptr) {
                if (std::string(c.release) == "stop") {
                    lines = ask(engine, "");
                    EXPECT_FALSE(answered(lines)) << c.go << ": answered before stop";
                }
                send(engine, c.release);
            }
            for (const auto& line : read_until(engine, "bestmove", 60000)) lines.push_back(line);
            return lines;
        };
        const Lines lines = search();
        ASSERT_TRUE(answered(lines)) << c.go;
        if (c.release == nullptr) {
            EXPECT_EQ(without_times(search()), without_times(lines)) << c.go;
        }
        if (c.nodes > 0) {
            const long long nodes = number_after(last_line_with(lines, " nodes "), " nodes ");
            EXPECT_GE(nodes, c.nodes) << c.go;
            EXPECT_LT(nodes, c.nodes + 1024) << c.go;
        }
        if (c.mate > 0) {
            const long long mate = number_after(last_line_with(lines, " score "), " score mate ");
            EXPECT_GE(mate, 1) << c.go;
            EXPECT_LE(mate, c.mate) << c.go;
        }
        if (c.mate < 0) {
            EXPECT_EQ(last_line_with(lines, " score mate "), "") << c.go;
        }
        if (c.iterations > 0) {
            EXPECT_EQ(
                std::count_if(lines.begin(), lines.end(),
                              [](const std::string& l) { return starts_with(l, "info time "); }),
                c.iterations)
                << c.go;
        }
        const std::string best = lines.back().substr(9);
        if (c.answers != nullptr) {
            // One of the moves of the blank-separated list.
            std::istringstream answers(c.answers);
            const std::vector<std::string> listed{std::istream_iterator<std::string>(answers),
                                                  std::istream_iterator<std::string>()};
            EXPECT_NE(std::find(listed.begin(), listed.end(), best), listed.end())
                << c.go << ": " << best;
        }
    }
}

TEST(Go, NoLegalMoveAnswersTheNullMove) {
    Engine engine = started();
    ask(engine, "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"); // stalemate
    send(engine, "go depth 3");
    EXPECT_EQ(read_until(engine, "bestmove", 30000).back(), "bestmove 0000");
    ask(engine, "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1"); // mate
    send(engine, "go wtime 1000 btime 1000");
    EXPECT_EQ(read_until(engine, "bestmove", 30000).back(), "bestmove 0000");
}

TEST(Search, InputDuringASearchIsAnsweredOrKept) {
    Engine engine = started();
    ask(engine, "position startpos");
    send(engine, "go infinite");
    EXPECT_EQ(read_until(engine, "readyok", 5000).size() > 0, true);
    send(engine, "isready");
    EXPECT_EQ(read_until(engine, "readyok", 3000).back(), "readyok");
    // A position line sent now is kept for after the search, in order.
    send(engine, "position startpos moves a2a3");
    send(engine, "stop");
    Lines lines = read_until(engine, "bestmove", 3000);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(starts_with(lines.back(), "bestmove ")) << lines.back();
    EXPECT_EQ(ask(engine, "print")[5], "3 P . . . . . . . ");
}

TEST(Search, InfiniteHoldsTheMoveUntilStop) {
    Engine engine = started();
    // One legal move: the search ends by itself at once, but the answer waits for "stop".
    ask(engine, "position fen 7k/8/6R1/8/8/8/8/K5R1 b - - 0 1");
    send(engine, "go infinite");
    EXPECT_FALSE(answered(ask(engine, "", 2000))) << "answered before stop";
    send(engine, "stop");
    EXPECT_EQ(read_until(engine, "bestmove", 3000).back(), "bestmove h8h7");
}

TEST(Search, PonderhitStartsTheClock) {
    Engine engine = started();
    ask(engine, "position startpos");
    send(engine, "go wtime 2000 btime 2000 ponder");
    EXPECT_FALSE(answered(ask(engine, "", 1500))) << "answered while pondering";
    send(engine, "ponderhit");
    Lines lines = read_until(engine, "bestmove", 5000);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(starts_with(lines.back(), "bestmove ")) << lines.back();
}

TEST(Search, QuitAndEndOfInputEndTheProgram) {
    {
        Engine engine = started();
        send(engine, "go infinite");
        send(engine, "quit");
        Lines lines = read_until(engine, "bestmove", 3000);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(starts_with(lines.back(), "bestmove "));
        EXPECT_EQ(engine_pipe::wait_exit(engine, 3000), 0);
    }
    {
        Engine engine = started();
        send(engine, "go infinite");
        engine_pipe::close_input(engine);
        Lines lines = read_until(engine, "bestmove", 3000);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(starts_with(lines.back(), "bestmove "));
        EXPECT_EQ(engine_pipe::wait_exit(engine, 3000), 0);
    }
}

TEST(Go, TimedSearchesAnswerInTime) {
    Engine engine = started();
    for (const char* go : {"go wtime 100 btime 100", "go wtime 100 btime 100 winc 10 binc 10",
                           "go movetime 100", "go"}) {
        ask(engine, "position startpos");
        send(engine, go);
        Lines lines = read_until(engine, "bestmove", 2000);
        ASSERT_FALSE(lines.empty()) << go;
        EXPECT_TRUE(starts_with(lines.back(), "bestmove ")) << go;
        EXPECT_NE(lines.back(), "bestmove a1a1") << go;
    }
}

// Lines written together while a search runs: replies come in the order the lines asked for
// them. Once a line ends the search, the lines after it wait until "bestmove" is printed.
TEST(Search, RepliesKeepTheOrderOfTheirLines) {
    struct Case {
        const char* go;
        const char* lines;
        Lines replies; // by first word, "info" lines left out
        bool exits;
    };
    const Case cases[] = {
        {"go infinite", "stop\nisready\n", {"bestmove", "readyok"}, false},
        {"go infinite",
         "stop\nucinewgame\nisready\nposition startpos moves e2e4\ngo depth 3\n",
         {"bestmove", "readyok", "bestmove"},
         false},
        {"go infinite", "isready\nstop\n", {"readyok", "bestmove"}, false},
        {"go infinite", "stop\nquit\n", {"bestmove"}, true},
        // After ponderhit the search goes on, so "isready" is answered at once.
        {"go wtime 3000 btime 3000 ponder", "ponderhit\nisready\n", {"readyok", "bestmove"}, false},
    };
    for (const Case& c : cases) {
        Engine engine = started();
        ask(engine, "position startpos");
        send(engine, c.go);
        read_until(engine, "info depth 5", 10000); // the search is under way
        engine_pipe::send_raw(engine, c.lines);
        Lines replies;
        while (replies.size() < c.replies.size()) {
            auto line = read_line(engine, 10000);
            if (!line) break;
            if (starts_with(*line, "info")) continue;
            replies.push_back(line->substr(0, line->find(' ')));
        }
        EXPECT_EQ(replies, c.replies) << c.lines;
        if (c.exits) {
            EXPECT_EQ(engine_pipe::wait_exit(engine, 5000), 0) << c.lines;
        } else {
            EXPECT_TRUE(ask(engine, "").empty()) << c.lines; // nothing more came
        }
    }
}

// Each command line runs with its input left open: ending by itself shows that it read none.
TEST(CommandLine, AnswersAndExitsWithoutReadingInput) {
    struct Case {
        std::vector<std::string> args;
        int status;
        size_t line_count; // of standard output
        Lines last_lines;  // by their start
        bool usage_error;  // the usage goes to standard error, nothing to standard output
    };
    const Lines usage = {"Usage: tervane ", "       tervane bench [DEPTH] ",
                         "       tervane --help ", "       tervane --version "};
    const Case cases[] = {
        {{"--version"}, 0, 1, {"Tervane 1.7"}, false},
        {{"--help"}, 0, 4, usage, false},
        {{"-h"}, 0, 4, usage, false},
        {{"bench", "1"},
         0,
         43,
         {"Position 40/40: ", "", "Nodes searched  : ", "Nodes/second    : "},
         false},
        {{"--bogus"}, 2, 0, {}, true},
        {{"-v"}, 2, 0, {}, true},
        {{"uci"}, 2, 0, {}, true},
        {{"Bench"}, 2, 0, {}, true},
        {{""}, 2, 0, {}, true},
        {{"--version", "--help"}, 2, 0, {}, true},
        {{"-h", "bench"}, 2, 0, {}, true},
    };
    std::string help_text;
    for (const Case& c : cases) {
        const std::string name = testing::PrintToString(c.args);
        Engine engine = engine_pipe::start(c.args, true);
        Lines lines;
        while (auto line = read_line(engine)) lines.push_back(*line);
        EXPECT_TRUE(engine.eof) << name;
        EXPECT_EQ(engine_pipe::wait_exit(engine), c.status) << name;
        const std::string errors = engine_pipe::read_errors(engine);
        EXPECT_EQ(lines.size(), c.line_count) << name;
        for (size_t i = 0; i < c.last_lines.size() && i < lines.size(); ++i) {
            const std::string& line = lines[lines.size() - c.last_lines.size() + i];
            EXPECT_TRUE(starts_with(line, c.last_lines[i])) << name << ": " << line;
        }
        if (c.args == std::vector<std::string>{"--help"}) {
            for (const std::string& line : lines) help_text += line + "\n";
        }
        EXPECT_EQ(errors, c.usage_error ? help_text : "") << name;
    }
}
