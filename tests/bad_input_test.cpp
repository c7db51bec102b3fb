// Bad input over pipes. An interface forwards whatever its user types or loads; whatever
// arrives, the engine must stay up, answer "isready", hold the position that the valid
// part of the input describes and, asked to search it, answer with one of its legal moves
// (or "bestmove 0000" when it has none).
//
// Expected positions are worked out by hand from the rules the engine reads its input by;
// only the legal move lists and the position after the engine's own move are taken from
// the library linked into this test.
#include "engine_pipe.h"
#include "movegen/movegen.h"
#include "position/position.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tervane;
using engine_pipe::Engine;

namespace {

// A search in an ASan build over a long game history can take a while; a hang cannot.
constexpr int REPLY_TIMEOUT_MS = 60000;
constexpr int UNCHECKED = -1;

enum class Answer {
    NONE,    // no search asked for
    MOVE,    // "go depth 2" answers a legal move
    NO_MOVE, // "go depth 2" answers "bestmove 0000": there is no legal move
};

struct BadInput {
    const char* name;
    std::string input; // raw bytes, every line with its own line end
    // The position the valid part of the input describes (the fifty field included).
    const char* fen;
    int root_ply = 0; // UNCHECKED where the length of the kept history is no concern here
    Answer answer = Answer::MOVE;
    // A line the input itself makes the engine print; nullptr: it must print nothing.
    const char* reply = nullptr;
    bool fifty_checked = true;
};

std::string repeated(const std::string& piece, int times) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

const std::string START = START_FEN;
const std::string KINGS = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
const std::string KNIGHT_SHUFFLE = "g1f3 g8f6 f3g1 f6g8 ";

std::vector<BadInput> bad_inputs() {
    using namespace std::string_literals;
    return {
        // --- FEN text cut short or made of garbage
        {.name = "FenWordWithoutText", .input = "position fen\n", .fen = START_FEN},
        {.name = "FenWordThenNothing",
         .input = "position fen \n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "FenCutInsidePlacement",
         .input = "position fen rnbqkbnr/pppp\n",
         .fen = "rnbqkbnr/pppp4/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "FenCutAfterPlacementKeepsSide",
         .input = "position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1\n"
                  "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\n",
         .fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b - - 0 1"},
        {.name = "FenCutAfterSide",
         .input = "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b\n",
         .fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b - - 0 1"},
        {.name = "FenCutInsideCastling",
         .input = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQ\n",
         .fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQ - 0 1"},
        {.name = "FenOfWords",
         .input = "position fen hello world\n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "FenOfNines",
         .input = "position fen 9/9/9/9/9/9/9/9 w - - 0 1\n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "FenOfThreeHundredDigits",
         .input = "position fen " + repeated("1", 300) + " w - - 0 1\n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "FenOfThreeHundredQueens",
         .input = "position fen " + repeated("Q", 300) + "\n",
         .fen = "QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/8 w - - 0 1"},
        {.name = "FenOfThreeHundredQueensOfBothColours",
         .input = "position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1\nposition fen " +
                  repeated("Qq", 150) + "\n",
         // Without a king of its own, black is judged by where its king stood last (e8),
         // and that square is attacked: no move is legal.
         .fen = "QqQqQqQq/qQqQqQqQ/QqQqQqQq/qQqQqQqQ/8/8/8/8 b - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "SeventeenthWhitePieceStaysOff",
         .input = "position fen RRRRRRRR/RRRRRRRR/8/8/8/8/8/4K2k w - - 0 1\n",
         .fen = "RRRRRRRR/RRRRRRRR/8/8/8/8/8/7k w - - 0 1"},
        {.name = "FenWithDoubledSeparator",
         .input = "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR  b KQkq - 0 1\n",
         .fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1"},
        {.name = "FenWithTabSeparator",
         .input = "position fen 4k3/8/8/8/8/8/8/4K3\tb - - 0 1\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 b - - 0 1"},
        {.name = "FenWithCastlingInAnyOrder",
         .input = "position fen r3k2r/8/8/8/8/8/8/R3K2R w qkQK - 0 1\n",
         .fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"},
        {.name = "FenWithImpossibleEnPassantSquares",
         .input = "position fen 4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1\n"
                  "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - z9 0 1\n",
         .fen = "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"},
        {.name = "FenWithHugeHalfMoveClock",
         .input = "position fen 4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999 1\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .fifty_checked = false},
        {.name = "FenWithTrailingGarbage",
         .input = "position fen 4k3/8/8/8/8/8/8/4K3 w - - 7 1 and then some\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 7 1"},

        // --- kings missing, several, or already in check
        {.name = "NoPiecesAtAll",
         .input = "position fen 8/8/8/8/8/8/8/8 w - - 0 1\n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "PawnsWithoutKings",
         .input = "position fen 8/pppppppp/8/8/8/8/PPPPPPPP/8 w - - 0 1\n",
         .fen = "8/pppppppp/8/8/8/8/PPPPPPPP/8 w - - 0 1"},
        {.name = "OnlyTheOtherKing",
         .input = "position fen 4k3/8/8/8/8/8/8/8 w - - 0 1\n",
         .fen = "4k3/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "OnlyOwnKing",
         .input = "position fen 8/8/8/8/8/8/8/4K3 w - - 0 1\n",
         .fen = "8/8/8/8/8/8/8/4K3 w - - 0 1"},
        {.name = "TwoWhiteKings",
         .input = "position fen k7/8/8/8/8/8/8/K6K w - - 0 1\n",
         .fen = "k7/8/8/8/8/8/8/K6K w - - 0 1"},
        {.name = "ThreeBlackKings",
         .input = "position fen kkk5/8/8/8/8/8/8/4K3 b - - 0 1\n",
         .fen = "kkk5/8/8/8/8/8/8/4K3 b - - 0 1"},
        {.name = "PawnsOnFirstAndLastRankStayOff",
         .input = "position fen P3k3/8/8/8/8/8/8/4K2p w - - 0 1\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
        {.name = "RowsOfPawnsOnBackRanksStayOff",
         .input = "position fen pppppppp/8/8/4k3/8/8/8/PPPPK3 b - - 0 1\n",
         .fen = "8/8/8/4k3/8/8/8/4K3 b - - 0 1"},
        {.name = "WhiteToMoveGivesCheck",
         .input = "position fen 4k3/8/8/8/8/8/4R3/4K3 w - - 0 1\n",
         .fen = "4k3/8/8/8/8/8/4R3/4K3 w - - 0 1"},
        {.name = "BlackToMoveGivesCheck",
         .input = "position fen 4k3/8/8/8/8/8/8/r3K3 b - - 0 1\n",
         .fen = "4k3/8/8/8/8/8/8/r3K3 b - - 0 1"},
        {.name = "Checkmated",
         .input = "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3\n",
         .fen = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
         .answer = Answer::NO_MOVE},
        {.name = "Stalemated",
         .input = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1\n",
         .fen = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
         .answer = Answer::NO_MOVE},

        // --- move lists
        {.name = "MovesForTheWrongSideAreSkipped",
         .input = "position startpos moves e7e5 e2e4 e2e4 e7e5\n",
         .fen = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
         .root_ply = 3},
        {.name = "UpperCasePromotionLetterMeansQueen",
         .input = "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8N\n",
         .fen = "1Q2k3/8/8/8/8/8/8/4K3 b - - 0 1",
         .root_ply = 2},
        {.name = "LowerCasePromotionLetterIsKept",
         .input = "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8n\n",
         .fen = "1N2k3/8/8/8/8/8/8/4K3 b - - 0 1",
         .root_ply = 2},
        {.name = "UnknownPromotionLetterMeansQueen",
         .input = "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8x e8d7\n",
         .fen = "1Q6/3k4/8/8/8/8/8/4K3 w - - 1 2",
         .root_ply = 3},
        {.name = "UpperCaseSquaresAreNoMove",
         .input = "position startpos moves E2E4 e2e4\n",
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = 2},
        {.name = "MovesWithoutSpaceBetween",
         .input = "position startpos moves e2e4e7e5\n",
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = 2},
        {.name = "LastMoveCutShort",
         .input = "position startpos moves e2e4 e7\n",
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = 2},
        {.name = "MovesWordAtTheEnd", .input = "position startpos moves\n", .fen = START_FEN},
        {.name = "MovesWordWithNothingAfter",
         .input = "position startpos moves \n",
         .fen = START_FEN,
         .root_ply = 1},
        {.name = "MovesBeforeFen",
         .input = "position moves e2e4 fen " + KINGS + "\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .root_ply = 1},
        {.name = "FenTextIsTheMovesWord",
         .input = "position fen moves e2e4\n",
         .fen = "8/8/8/8/8/8/8/8 w - - 0 1",
         .root_ply = 1,
         .answer = Answer::NO_MOVE},
        {.name = "ThousandsOfMoves",
         .input = "position startpos moves " + repeated(KNIGHT_SHUFFLE, 2500) + "\n",
         .fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 10000 1",
         .root_ply = UNCHECKED},
        {.name = "MoreMovesThanTheHistoryHolds",
         .input = "position startpos moves " + repeated(KNIGHT_SHUFFLE, 5000) + "e2e4\n",
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = UNCHECKED},
        {.name = "MegabyteMoveList",
         .input = "position startpos moves " + repeated(KNIGHT_SHUFFLE, 52429) + "d2d4\n",
         .fen = "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 1",
         .root_ply = UNCHECKED},

        // --- odd bytes and odd lines
        {.name = "MegabyteOfGarbage", .input = repeated("x", 1 << 20) + "\n", .fen = START_FEN},
        {.name = "LineLongerThanTheBufferKeepsItsStart",
         .input = "position startpos moves e2e4" + repeated(" ", 5 << 20) + "e7e5\n",
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = 2},
        {.name = "ZeroByteEndsTheLine",
         .input = "position startpos moves e2e4\0 e7e5\n"s,
         .fen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
         .root_ply = 2},
        {.name = "ZeroByteInsideTheCommandWord",
         .input = "isr\0eady\n\0isready\n"s,
         .fen = START_FEN},
        {.name = "ZeroByteInsideTheFen",
         .input = "position fen 4k3/8/8\0/8/8/8/8/4K3 w - - 0 1\n"s,
         .fen = "4k3/8/8/8/8/8/8/8 w - - 0 1",
         .answer = Answer::NO_MOVE},
        {.name = "CarriageReturnLineFeed",
         .input = "position startpos moves e2e4 e7e5\r\nprinter\r\n",
         .fen = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
         .root_ply = 3,
         .reply = "turn: W"},
        {.name = "CarriageReturnInsideTheMoveList",
         .input = "position startpos moves e2e4\re7e5\n",
         .fen = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2",
         .root_ply = 3},
        {.name = "EmptyAndBlankLines", .input = "\n\n   \n\t\n\r\n", .fen = START_FEN},
        {.name = "UnknownAndMisplacedCommands",
         .input = "setoption name Hash value 128\ndebug on\nregister later\nxgo depth 2\n"
                  " go depth 2\n\tisready\nPOSITION fen 8/8/8/8/8/8/8/8 w - - 0 1\n",
         .fen = START_FEN},

        // --- perft with odd depths: an error leaves the position, a count ends at the start
        {.name = "PerftWithoutDepth",
         .input = "position fen " + KINGS + "\nperft\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthZero",
         .input = "position fen " + KINGS + "\nperft 0\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthTen",
         .input = "position fen " + KINGS + "\nperft 10\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftNegativeDepth",
         .input = "position fen " + KINGS + "\nperft -1\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthOverflowing",
         .input = "position fen " + KINGS + "\nperft 99999999999999999999\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthOverflowingToOne",
         .input = "position fen " + KINGS + "\nperft 4294967297\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthNotANumber",
         .input = "position fen " + KINGS + "\nperft abc\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftWordRunOn",
         .input = "position fen " + KINGS + "\nperftx 1\n",
         .fen = "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         .reply = "Error Depth"},
        {.name = "PerftDepthWithLettersAfter",
         .input = "position fen " + KINGS + "\nperft 2abc\n",
         .fen = START_FEN,
         .reply = "Nodes for depth 2:  400"},
        {.name = "PerftDepthAfterTab",
         .input = "position fen " + KINGS + "\nperft\t1\n",
         .fen = START_FEN,
         .reply = "Nodes for depth 1:  20"},
    };
}

// Test names instead of byte dumps in failure reports.
void PrintTo(const BadInput& c, std::ostream* out) {
    *out << c.name;
}

// --- the engine's side

void skip_banner(Engine& engine) {
    const auto first = engine_pipe::read_line(engine);
    ASSERT_TRUE(first.has_value()) << "no banner";
    ASSERT_EQ(first->rfind("Tervane ", 0), 0u) << *first;
    ASSERT_TRUE(engine_pipe::read_line(engine).has_value());
}

// What the engine printed until it answered "isready"; nothing when it never did.
std::optional<std::vector<std::string>> until_ready(Engine& engine) {
    engine_pipe::send(engine, "isready");
    auto lines = engine_pipe::read_until(engine, "readyok", REPLY_TIMEOUT_MS);
    if (lines.empty() || lines.back() != "readyok") return std::nullopt;
    lines.pop_back();
    return lines;
}

// Closes the engine's input and expects it to end cleanly; after a failure an engine that
// does not end (a search that never stops) is killed after a short wait.
void finish(Engine& engine) {
    const bool failed = testing::Test::HasFailure();
    engine_pipe::close_input(engine);
    const int status = engine_pipe::wait_exit(engine, failed ? 1000 : 10000);
    if (!failed) {
        EXPECT_EQ(status, 0) << "exit status";
    }
}

// --- the library's side: the position the engine should hold

std::string rank_line(int rank) {
    std::string line = std::to_string(rank + 1) + " ";
    for (int file = 0; file < 8; ++file) {
        const PieceCode piece = pos.board[file + 8 * rank];
        line += piece == 0 ? '.' : piece_to_char[piece];
        line += ' ';
    }
    return line;
}

struct Counters {
    int ply, root_ply, fifty;
};

std::optional<Counters> read_counters(const std::string& line) {
    Counters c{};
    if (std::sscanf(line.c_str(), "ply:%d * root_ply:%d * fifty:%d", &c.ply, &c.root_ply,
                    &c.fifty) != 3)
        return std::nullopt;
    return c;
}

// Compares the engine's "print" with the library's Position: board, side to move and the
// counters that are asked for (UNCHECKED skips one).
void expect_print(const std::vector<std::string>& print, int ply, int root_ply, int fifty) {
    ASSERT_EQ(print.size(), 13u) << "not a board print";
    for (int rank = 7; rank >= 0; --rank) EXPECT_EQ(print[7 - rank], rank_line(rank));
    EXPECT_EQ(print[8], "");
    EXPECT_EQ(print[9], "  a b c d e f g h ");
    EXPECT_EQ(print[10], pos.side == 0 ? "turn: W" : "turn: B");
    const auto counters = read_counters(print[11]);
    ASSERT_TRUE(counters.has_value()) << print[11];
    if (ply != UNCHECKED) {
        EXPECT_EQ(counters->ply, ply) << print[11];
    }
    if (root_ply != UNCHECKED) {
        EXPECT_EQ(counters->root_ply, root_ply) << print[11];
    }
    if (fifty != UNCHECKED) {
        EXPECT_EQ(counters->fifty, fifty) << print[11];
    }
}

// The library set up as a freshly started engine that then read `fen`: a side to move or
// king square the text leaves out is the one of the initial position.
void set_up_like_a_fresh_engine(const std::string& fen) {
    set_fen(START_FEN);
    set_fen(fen.c_str());
}

std::vector<std::string> legal_move_texts() {
    MoveList legal;
    gen_legal_moves(legal.moves.data(), legal.count);
    std::vector<std::string> texts;
    for (int32_t i = 0; i < legal.count; ++i) {
        char text[6];
        move_to_text(legal.moves[i], text);
        texts.emplace_back(text);
    }
    return texts;
}

// Asks for a search of depth 2 and checks the answer against the library's Position; on a
// move, plays it there too, as the engine does into its own game.
void expect_answer(Engine& engine, Answer answer, const std::string& go = "go depth 2",
                   const char* follow_up = nullptr) {
    const auto legal = legal_move_texts();
    ASSERT_EQ(legal.empty(), answer == Answer::NO_MOVE)
        << "the case expects the wrong kind of answer: " << legal.size() << " legal moves";
    engine_pipe::send(engine, go);
    if (follow_up != nullptr) engine_pipe::send(engine, follow_up);
    const auto lines = engine_pipe::read_until(engine, "bestmove ", REPLY_TIMEOUT_MS);
    ASSERT_FALSE(lines.empty()) << "no answer to " << go;
    const std::string& last = lines.back();
    ASSERT_EQ(last.rfind("bestmove ", 0), 0u) << "no bestmove after " << go << ", last: " << last;
    const std::string move = last.substr(9, last.find(' ', 9) - 9);
    if (answer == Answer::NO_MOVE) {
        EXPECT_EQ(move, "0000");
        return;
    }
    ASSERT_NE(std::find(legal.begin(), legal.end(), move), legal.end())
        << move << " is not a legal move of the position";
    char text[6] = {};
    std::copy(move.begin(), move.end(), text);
    commit_move(text_to_move(text));
}

// --- the bad inputs

class BadInputTest : public testing::TestWithParam<BadInput> {};

void check_bad_input(Engine& engine, const BadInput& c) {
    ASSERT_TRUE(engine_pipe::send_raw(engine, c.input)) << "the engine went away";

    const auto reply = until_ready(engine);
    ASSERT_TRUE(reply.has_value()) << "no readyok after the input";
    if (c.reply == nullptr) {
        EXPECT_TRUE(reply->empty()) << "unexpected output: " << reply->front();
    } else {
        EXPECT_NE(std::find(reply->begin(), reply->end(), c.reply), reply->end())
            << "missing \"" << c.reply << "\"";
    }

    set_up_like_a_fresh_engine(c.fen);
    const int fifty = c.fifty_checked ? pos.fifty : UNCHECKED;
    engine_pipe::send(engine, "print");
    auto print = until_ready(engine);
    ASSERT_TRUE(print.has_value()) << "no readyok after print";
    expect_print(*print, 0, c.root_ply, fifty);

    if (c.answer != Answer::NONE) {
        expect_answer(engine, c.answer);
        engine_pipe::send(engine, "print");
        print = until_ready(engine);
        ASSERT_TRUE(print.has_value()) << "no readyok after the search";
        const bool moved = c.answer == Answer::MOVE;
        const int root_ply = c.root_ply == UNCHECKED ? UNCHECKED : c.root_ply + (moved ? 1 : 0);
        expect_print(*print, UNCHECKED, root_ply, c.fifty_checked ? pos.fifty : UNCHECKED);
    }
}

TEST_P(BadInputTest, EngineHoldsTheValidPartAndStillSearches) {
    Engine engine = engine_pipe::start();
    skip_banner(engine);
    if (!HasFailure()) check_bad_input(engine, GetParam());
    finish(engine);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInputTest, testing::ValuesIn(bad_inputs()),
                         [](const testing::TestParamInfo<BadInput>& info) {
                             return std::string(info.param.name);
                         });

// --- input that ends where it should not

struct InputEnd {
    const char* name;
    std::string input; // all the engine ever gets; its input is closed after it
    // Lines (by their start) the engine must print after its banner, in this order.
    std::vector<std::string> output;
    bool nothing_else = false; // the output above is all
};

std::vector<InputEnd> input_ends() {
    return {
        {.name = "EmptyInput", .input = "", .output = {}, .nothing_else = true},
        {.name = "OnlyZeroBytes",
         .input = std::string(5, '\0'),
         .output = {},
         .nothing_else = true},
        {.name = "ClosedInsideACommandWord", .input = "isrea", .output = {}, .nothing_else = true},
        {.name = "ClosedAfterACommandWithoutLineEnd",
         .input = "isready",
         .output = {"readyok"},
         .nothing_else = true},
        {.name = "ClosedInsideAMoveList",
         .input = "position startpos moves e2e4 e7e5\nposition startpos moves e2e4 e7",
         .output = {},
         .nothing_else = true},
        {.name = "ClosedAfterPrintWithoutLineEnd",
         .input = "position startpos moves e2e4\nprint",
         .output = {"8 r n b q k b n r ", "4 . . . . P . . . ", "turn: B"}},
        {.name = "ClosedAfterGoWithoutLineEnd",
         .input = "position startpos\ngo depth 2",
         .output = {"bestmove "}},
        {.name = "ClosedDuringAnEndlessSearch", .input = "go infinite\n", .output = {"bestmove "}},
        {.name = "ClosedDuringPondering", .input = "go ponder\n", .output = {"bestmove "}},
        {.name = "QuitEndsBeforeTheRest",
         .input = "position startpos\nquit\nisready\nprint\n",
         .output = {},
         .nothing_else = true},
        {.name = "QuitWithLettersAfter",
         .input = "quitting\nisready\n",
         .output = {},
         .nothing_else = true},
        {.name = "ClosedInsideAMegabyteLine", .input = std::string(1 << 20, 'p'), .output = {}},
    };
}

void PrintTo(const InputEnd& c, std::ostream* out) {
    *out << c.name;
}

class InputEndTest : public testing::TestWithParam<InputEnd> {};

TEST_P(InputEndTest, EngineAnswersWhatCameAndExits) {
    const InputEnd& c = GetParam();
    Engine engine = engine_pipe::start();
    skip_banner(engine);
    ASSERT_TRUE(engine_pipe::send_raw(engine, c.input));
    engine_pipe::close_input(engine);
    std::vector<std::string> lines;
    while (auto line = engine_pipe::read_line(engine, REPLY_TIMEOUT_MS)) lines.push_back(*line);
    EXPECT_TRUE(engine.eof) << "the engine did not finish its output";
    EXPECT_EQ(engine_pipe::wait_exit(engine), 0);

    auto next = lines.begin();
    for (const std::string& wanted : c.output) {
        next = std::find_if(next, lines.end(),
                            [&](const std::string& line) { return line.rfind(wanted, 0) == 0; });
        ASSERT_NE(next, lines.end()) << "missing a line starting \"" << wanted << "\"";
        ++next;
    }
    if (c.nothing_else) {
        EXPECT_EQ(lines.size(), c.output.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, InputEndTest, testing::ValuesIn(input_ends()),
                         [](const testing::TestParamInfo<InputEnd>& info) {
                             return std::string(info.param.name);
                         });

// --- go with odd arguments

struct OddGo {
    const char* name;
    const char* set_up;    // a position line, or "ucinewgame"
    const char* go;        // the search command
    const char* follow_up; // sent right after it, or nullptr
    Answer answer = Answer::MOVE;
};

std::vector<OddGo> odd_gos() {
    const char* start = "position startpos";
    const char* mated =
        "position fen rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
    static const std::string thousand_moves =
        "go depth 2 searchmoves" + repeated(" e2e4 d2d4", 500);
    return {
        {"Bare", start, "go", nullptr},
        {"DepthZero", start, "go depth 0", nullptr},
        {"DepthNegative", start, "go depth -3", nullptr},
        {"DepthNotANumber", start, "go depth abc", nullptr},
        {"DepthWithoutValue", start, "go depth", nullptr},
        {"DepthTwiceLastCounts", start, "go depth 2 depth 1", nullptr},
        {"DepthWithTab", start, "go depth 2\t", nullptr},
        {"CommandWordRunOn", start, "gofast depth 2", nullptr},
        {"SearchMovesDepthAndNodes", start, "go searchmoves e2e4 d2d4 depth 2 nodes 5", nullptr},
        {"SearchMovesWithoutMoves", start, "go searchmoves", nullptr},
        {"SearchMovesNoneLegal", start, "go searchmoves e2e5 zzzz h7h6 e2e4e2e4 depth 2", nullptr},
        {"SearchMovesRepeatedAThousandTimes", start, thousand_moves.c_str(), nullptr},
        {"NodesZero", start, "go nodes 0", nullptr},
        {"NodesNegative", start, "go nodes -5", nullptr},
        {"NodesNotANumber", start, "go nodes x", nullptr},
        {"NodesWithoutValue", start, "go nodes", nullptr},
        {"HugeNodesThenStop", start, "go nodes 99999999999999999999", "stop"},
        {"MateZero", start, "go mate 0", nullptr},
        {"MateNegative", start, "go mate -3", nullptr},
        {"HugeMateThenStop", start, "go mate 99999999999", "stop"},
        {"NegativeClocks", start, "go wtime -1000 btime -1000", nullptr},
        {"NegativeIncrement", start, "go movestogo -5 wtime 100 winc -100", nullptr},
        {"ZeroMoveTime", start, "go movetime 0", nullptr},
        {"NegativeMoveTime", start, "go movetime -50", nullptr},
        {"MoveTimeBelowTheMargin", start, "go movetime 1", nullptr},
        {"HugeMovesToGo", start, "go movestogo 99999999999 wtime 500", nullptr},
        {"HugeClocksWithDepth", start,
         "go wtime 99999999999999 btime 99999999999999 winc 99999999999 depth 2", nullptr},
        {"BlackToMoveReadsBlackClock", "position startpos moves e2e4",
         "go wtime 99999999999 btime 100", nullptr},
        {"InfiniteThenStop", start, "go infinite", "stop"},
        {"InfiniteNotLastIsIgnored", start, "go infinite depth 2", nullptr},
        {"InfiniteWithDepthWaitsForStop", start, "go depth 2 infinite", "stop"},
        {"PonderThenStop", start, "go ponder", "stop"},
        {"PonderThenPonderhit", start, "go ponder", "ponderhit"},
        {"HugeDepthThenStop", start, "go depth 99999999999", "stop"},
        {"QuitDuringTheSearch", start, "go infinite", "quit"},
        // Nine queens a side: even depth 1 means millions of captures in the quiescence
        // search, so only "stop" ends it in reasonable time.
        {"HeavyCapturesDepthOneThenStop",
         "position fen rnbqkbnr/qqqqqqqq/8/8/8/8/QQQQQQQQ/RNBQKBNR w - - 0 1", "go depth 1",
         "stop"},
        {"Checkmated", mated, "go depth 2", nullptr, Answer::NO_MOVE},
        {"CheckmatedInfiniteThenStop", mated, "go infinite", "stop", Answer::NO_MOVE},
        {"EmptyBoardAfterNewGame", "ucinewgame", "go depth 2", nullptr, Answer::NO_MOVE},
        {"EmptyBoardAfterNewGameBare", "ucinewgame", "go", nullptr, Answer::NO_MOVE},
        {"CheckmatedNodes", mated, "go nodes 5000", nullptr, Answer::NO_MOVE},
        {"CheckmatedMate", mated, "go mate 2", nullptr, Answer::NO_MOVE},
        {"CheckmatedSearchMoves", mated, "go searchmoves d1h5 depth 2", nullptr, Answer::NO_MOVE},
    };
}

void PrintTo(const OddGo& c, std::ostream* out) {
    *out << c.name;
}

class OddGoTest : public testing::TestWithParam<OddGo> {};

void check_odd_go(Engine& engine, const OddGo& c) {
    engine_pipe::send(engine, c.set_up);
    ASSERT_TRUE(until_ready(engine).has_value());

    set_fen(START_FEN);
    std::string set_up = std::string(c.set_up) + "\n";
    execute_command(set_up.data());
    expect_answer(engine, c.answer, c.go, c.follow_up);

    const bool quit = std::string(c.follow_up ? c.follow_up : "") == "quit";
    if (!quit) {
        engine_pipe::send(engine, "print");
        const auto print = until_ready(engine);
        ASSERT_TRUE(print.has_value()) << "no readyok after the search";
        expect_print(*print, UNCHECKED, UNCHECKED, pos.fifty);
    }
}

TEST_P(OddGoTest, EngineAnswersForThePositionGiven) {
    Engine engine = engine_pipe::start();
    skip_banner(engine);
    if (!HasFailure()) check_odd_go(engine, GetParam());
    finish(engine);
}

INSTANTIATE_TEST_SUITE_P(Cases, OddGoTest, testing::ValuesIn(odd_gos()),
                         [](const testing::TestParamInfo<OddGo>& info) {
                             return std::string(info.param.name);
                         });

// --- a flood of input while a search runs

struct SearchFlood {
    const char* name;
    const char* go;    // an endless search
    std::string flood; // sent while it runs, ending with "stop"
};

void PrintTo(const SearchFlood& c, std::ostream* out) {
    *out << c.name;
}

std::vector<SearchFlood> search_floods() {
    return {
        {"OverlongLineThenStop", "go infinite", repeated("x", 5 << 20) + "\nstop\n"},
        {"BufferFullOfLinesThenStop", "go infinite", repeated("xyzzy\n", (5 << 20) / 6) + "stop\n"},
        {"OverlongLineWhileHoldingTheAnswer", "go depth 1 infinite",
         repeated("x", 5 << 20) + "\nstop\n"},
    };
}

// Writes `bytes` without blocking on a full pipe and reads the engine's output meanwhile,
// so that neither side can wait for the other. False when the engine took no input for
// 15 s. A search drains the pipe only between nodes, every 65536 of them; with the
// default 64 KiB pipe and the engine sharing the processor with other tests, a slow
// (sanitizer) build needed far more than that in all, so the pipe is made as large as
// an unprivileged process may, and only time without progress counts.
bool send_while_reading(Engine& engine, const std::string& bytes, std::vector<std::string>& out) {
    const int flags = fcntl(engine.to_engine, F_GETFL);
    fcntl(engine.to_engine, F_SETFL, flags | O_NONBLOCK);
    fcntl(engine.to_engine, F_SETPIPE_SZ, 1 << 20); // a smaller pipe only makes it slower
    constexpr auto PATIENCE = std::chrono::seconds(15);
    auto deadline = std::chrono::steady_clock::now() + PATIENCE;
    std::size_t sent = 0;
    while (sent < bytes.size() && std::chrono::steady_clock::now() < deadline) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - sent, 1 << 20);
        const ssize_t n = write(engine.to_engine, bytes.data() + sent, chunk);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            deadline = std::chrono::steady_clock::now() + PATIENCE;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        while (auto line = engine_pipe::read_line(engine, 1)) out.push_back(*line);
    }
    fcntl(engine.to_engine, F_SETFL, flags);
    return sent == bytes.size();
}

// Starts the endless search, floods it and checks its answer and the position after it.
void flood_search(Engine& engine, const SearchFlood& c) {
    engine_pipe::send(engine, "position startpos");
    set_fen(START_FEN);
    const auto legal = legal_move_texts();
    engine_pipe::send(engine, c.go);

    std::vector<std::string> out;
    ASSERT_TRUE(send_while_reading(engine, c.flood, out)) << "the engine stopped reading";
    const auto more = engine_pipe::read_until(engine, "bestmove ", 20000);
    out.insert(out.end(), more.begin(), more.end());
    const auto answer = std::find_if(out.begin(), out.end(), [](const std::string& line) {
        return line.rfind("bestmove ", 0) == 0;
    });
    ASSERT_NE(answer, out.end()) << "no bestmove after the stop";
    const std::string move = answer->substr(9, answer->find(' ', 9) - 9);
    ASSERT_NE(std::find(legal.begin(), legal.end(), move), legal.end()) << move;
    char text[6] = {};
    std::copy(move.begin(), move.end(), text);
    commit_move(text_to_move(text));

    engine_pipe::send(engine, "print");
    const auto print = until_ready(engine);
    ASSERT_TRUE(print.has_value()) << "no readyok after the search";
    expect_print(*print, UNCHECKED, UNCHECKED, pos.fifty);
}

class SearchFloodTest : public testing::TestWithParam<SearchFlood> {};

// A search only reads its input between nodes; a full input buffer must not make it deaf
// to the "stop" behind it.
TEST_P(SearchFloodTest, StopBehindAFullBufferEndsTheSearch) {
    Engine engine = engine_pipe::start();
    skip_banner(engine);
    if (!HasFailure()) flood_search(engine, GetParam());
    finish(engine);
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchFloodTest, testing::ValuesIn(search_floods()),
                         [](const testing::TestParamInfo<SearchFlood>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
