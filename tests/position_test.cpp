// The Position: set-up, keys, make/unmake, legal moves, move text and perft counts.
#include "movegen/movegen.h"
#include "position/position.h"
#include "search/search.h"
#include "test_helpers.h"
#include "uci/uci.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace tervane;

namespace {

// Snapshot of everything make/unmake must restore.
struct Snapshot {
    std::array<PieceCode, 64> board;
    uint8_t side, castling;
    int32_t ep_square, fifty, ply;
    std::array<int32_t, 2> king_square, material;
    bool operator==(const Snapshot&) const = default;
};
Snapshot snapshot() {
    return {pos.board, pos.side, pos.castling,    pos.ep_square,
            pos.fifty, pos.ply,  pos.king_square, pos.material};
}

void play(const char* moves) {
    std::string line = std::string("position startpos moves ") + moves + "\n";
    position_command(line.data());
}

} // namespace

TEST(SetUp, InitialPositionFields) {
    set_fen(START_FEN);
    EXPECT_EQ(pos.castling, 15);
    EXPECT_EQ(pos.ep_square, 0);
    EXPECT_EQ(pos.fifty, 0);
    EXPECT_EQ(pos.side, 0);
    EXPECT_EQ(pos.king_square, (std::array<int32_t, 2>{4, 60}));
    EXPECT_EQ(pos.material, (std::array<int32_t, 2>{4162, -4162}));
    EXPECT_EQ(pos.root_ply, 0);
    EXPECT_EQ(pos.hash_history[0], 0x62C6D083AB82233CULL);
    set_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pos.material, (std::array<int32_t, 2>{32, -32}));
}

TEST(SetUp, FieldsReadAsFarAsTheyGo) {
    set_fen("rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 37 1");
    EXPECT_EQ(pos.castling, 2 | 8); // no rooks on h1, h8
    EXPECT_EQ(pos.fifty, 37);
    set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR w KQkq -");
    EXPECT_EQ(pos.castling, 12); // white king off e1
    EXPECT_EQ(pos.fifty, 0);
    set_fen("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
    set_fen("4k3/8/8/8/8/8/8/4K3 x - - 0 1");
    EXPECT_EQ(pos.side, 1); // an unknown side letter keeps the previous side
    set_fen("4k3/8/8/8/8/8/8/2K5 w - - 0 1");
    set_fen("8/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pos.king_square[1], 60); // no black king: the old square stays
    EXPECT_EQ(pos.king_square[0], 4);
    // Castling letters in any order grant the same rights.
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w qkQK - 0 1");
    EXPECT_EQ(pos.castling, 15);
}

TEST(SetUp, EnPassantSquareOnlyWhereADoublePushCanHaveMadeIt) {
    struct Case {
        const char* fen;
        int32_t ep;
    };
    const Case cases[] = {
        {"4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", 20},  {"4k3/8/8/4p3/8/8/8/4K3 w - e6 0 1", 44},
        {"4k3/8/8/8/8/8/8/4K3 b - e3 0 1", 0},     // no pawn that pushed
        {"4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1", 0},   // wrong side to move
        {"4k3/8/8/8/4P3/4N3/8/4K3 b - e3 0 1", 0}, // square occupied
        {"4k3/8/8/4p3/8/8/8/4K3 w - z9 0 1", 0},   // off the board
        {"4k3/8/8/4p3/8/8/8/4K3 w - e 0 1", 0},    // cut short
        {"4k3/8/8/4p3/8/8/8/4K3 w - e0 0 1", 0},   // rank zero
        {"4k3/8/8/8/4p3/8/8/4K3 w - e4 0 1", 0},   // not the rank passed over
    };
    for (const auto& c : cases) {
        set_fen(c.fen);
        EXPECT_EQ(pos.ep_square, c.ep) << c.fen;
    }
}

TEST(SetUp, ImpossiblePiecesStayOffTheBoard) {
    set_fen("P3k2p/8/8/8/8/8/8/p3K2P w - - 0 1");
    for (Square s : {0, 7, 56, 63}) EXPECT_EQ(pos.board[s], 0) << s;
    EXPECT_EQ(pos.material, (std::array<int32_t, 2>{32, -32}));
    // Seventeen white pieces: the last one read is left off.
    set_fen("QQQQQQQQ/QQQQQQQQ/8/8/8/8/8/K6k w - - 0 1");
    int white = 0;
    for (PieceCode p : pos.board) white += (p & WHITE) ? 1 : 0;
    EXPECT_EQ(white, 16);
    EXPECT_EQ(pos.board[0], 0); // the king came last and found no room
    EXPECT_EQ(pos.board[7], B_KING);
}

TEST(SetUp, MalformedTextNeverReadsPastItsEnd) {
    const char* texts[] = {"",
                           "8",
                           "8/8/8",
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ",
                           "99999999999/9/9/9/9",
                           "rnbqkbnrrnbqkbnr/8/8/8/8/8/8/8 w KQkq - 99999999999999 1",
                           "8/8/8/8/8/8/8/8 w K",
                           "k7/8/8/8/8/8/8/7K w - e3 12"};
    for (const char* text : texts) {
        set_fen(text);
        int32_t material[2] = {0, 0};
        for (PieceCode p : pos.board) {
            if (p & WHITE) material[0] += piece_value[p];
            if (p & BLACK) material[1] -= piece_value[p];
        }
        EXPECT_EQ(pos.material[0], material[0]) << text;
        EXPECT_EQ(pos.material[1], material[1]) << text;
        EXPECT_LE(pos.fifty, 100000);
    }
}

TEST(Keys, GeneratorAndKnownKeys) {
    EXPECT_EQ(zobrist.piece_keys[0][0], 0x63C4F4BD84C2A297ULL);
    play("e2e4");
    EXPECT_EQ(pos.hash_history[1], 0xE307E4D073DC8944ULL);
    set_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    uint64_t white = compute_key();
    pos.side = 1;
    EXPECT_EQ(white ^ compute_key(), zobrist.side_key);
    pos.board.fill(0);
    pos.castling = 0;
    pos.ep_square = 0;
    EXPECT_EQ(compute_key(), 0u);
}

TEST(MakeMove, RoundTripsRestoreEveryField) {
    // Every legal move of a few busy positions, made and taken back.
    for (const char* fen :
         {START_FEN, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"}) {
        set_fen(fen);
        const Snapshot before = snapshot();
        MoveList list;
        gen_moves(list.moves.data(), list.count);
        for (int i = 0; i < list.count; ++i) {
            if (make_move(list.moves[i])) unmake_move();
            EXPECT_EQ(snapshot(), before) << fen << " " << text_of(list.moves[i]);
        }
    }
}

TEST(MakeMove, SpecialMoves) {
    set_fen(START_FEN);
    ASSERT_TRUE(make_move(move_word(12, 28, MOVE_DOUBLE_PUSH)));
    EXPECT_EQ(pos.ep_square, 20);
    EXPECT_EQ(pos.side, 1);
    EXPECT_EQ(pos.ply, 1);
    unmake_move();

    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 1");
    ASSERT_TRUE(make_move(CASTLE_WK_MOVE));
    EXPECT_EQ(pos.board[6], W_KING);
    EXPECT_EQ(pos.board[5], W_ROOK);
    EXPECT_EQ(pos.board[7], 0);
    EXPECT_EQ(pos.castling, 12);
    EXPECT_EQ(pos.fifty, 4);
    unmake_move();
    EXPECT_EQ(pos.board[4], W_KING);
    EXPECT_EQ(pos.board[7], W_ROOK);
    ASSERT_TRUE(make_move(move_word(7, 15, MOVE_NORMAL))); // rook leaves h1
    EXPECT_EQ(pos.castling, 14);
    unmake_move();

    set_fen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    ASSERT_TRUE(make_move(move_word(36, 43, MOVE_EN_PASSANT)));
    EXPECT_EQ(pos.board[35], 0);
    EXPECT_EQ(pos.material[1], -32);
    unmake_move();
    EXPECT_EQ(pos.board[35], B_PAWN);

    set_fen("4k3/8/8/8/8/8/3p4/K7 b - - 5 1");
    ASSERT_TRUE(make_move(move_word(11, 3, MOVE_PROMOTE_KNIGHT)));
    EXPECT_EQ(pos.board[3], B_KNIGHT);
    EXPECT_EQ(pos.material[1], -32 - 325);
    EXPECT_EQ(pos.fifty, 0);
    unmake_move();
    EXPECT_EQ(pos.board[11], B_PAWN);

    // A move into check is refused and leaves everything as it was.
    set_fen("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1");
    const Snapshot before = snapshot();
    EXPECT_FALSE(make_move(move_word(4, 11, MOVE_NORMAL)));
    EXPECT_EQ(snapshot(), before);
}

TEST(Game, PositionCommandReplaysTheGame) {
    play("e2e4 e7e5");
    EXPECT_EQ(pos.board[36], B_PAWN);
    EXPECT_EQ(pos.side, 0);
    EXPECT_EQ(pos.root_ply, 3);
    EXPECT_EQ(pos.ep_square, 44);
    play("e2e5 e2e4"); // the illegal first token is skipped
    EXPECT_EQ(pos.board[28], W_PAWN);
    EXPECT_EQ(pos.root_ply, 2);
    char bare[] = "position startpos moves \n";
    position_command(bare);
    EXPECT_EQ(pos.root_ply, 1);
    char fen[] = "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1   e8c8\n";
    position_command(fen);
    EXPECT_EQ(pos.board[6], W_KING);
    EXPECT_EQ(pos.board[58], B_KING);
    EXPECT_EQ(pos.root_ply, 3);
}

TEST(Game, HistoryOfAVeryLongGameStaysWholeAndCorrect) {
    // Knights out and back 5000 times, then a pawn move: 20001 plies, all replayed.
    std::string line = "position startpos moves";
    for (int i = 0; i < 5000; ++i) line += " g1f3 g8f6 f3g1 f6g8";
    line += " e2e4\n";
    position_command(line.data());
    EXPECT_EQ(pos.board[28], W_PAWN);
    EXPECT_EQ(pos.side, 1);
    ASSERT_LE(pos.root_ply, HISTORY_CAPACITY);
    ASSERT_GE(pos.root_ply, 6);
    EXPECT_EQ(pos.hash_history[pos.root_ply - 1], compute_key());
    // The latest positions before e2e4 are still there, four plies apart.
    EXPECT_EQ(pos.hash_history[pos.root_ply - 2], pos.hash_history[pos.root_ply - 6]);
    EXPECT_NE(pos.hash_history[pos.root_ply - 2], pos.hash_history[pos.root_ply - 3]);

    // Without the pawn move the shuffled position repeats within the clock's window.
    line.resize(line.size() - 6);
    line += "\n";
    position_command(line.data());
    pos.hash_key = compute_key();
    EXPECT_GT(repetition_count(), 1); // itself and its earlier occurrences
}

TEST(LegalMoves, TextRoundTrips) {
    set_fen(START_FEN);
    EXPECT_EQ(move_kind(text_to_move("e2e4")), MOVE_DOUBLE_PUSH);
    EXPECT_EQ(text_to_move("e2e5"), 0);
    EXPECT_EQ(text_to_move("E2E4"), 0);
    EXPECT_EQ(text_of(0), "a1a1");
    set_fen("8/4P3/8/8/8/8/k7/4K3 w - - 0 1");
    EXPECT_EQ(move_kind(text_to_move("e7e8q")), MOVE_PROMOTE_QUEEN);
    EXPECT_EQ(move_kind(text_to_move("e7e8r")), MOVE_PROMOTE_ROOK);
    EXPECT_EQ(move_kind(text_to_move("e7e8b")), MOVE_PROMOTE_BISHOP);
    EXPECT_EQ(move_kind(text_to_move("e7e8n")), MOVE_PROMOTE_KNIGHT);
    EXPECT_EQ(text_of(text_to_move("e7e8n")), "e7e8n");
    for (const char* bare : {"e7e8 ", "e7e8\n", "e7e8"})
        EXPECT_EQ(move_kind(text_to_move(bare)), MOVE_PROMOTE_QUEEN);
    set_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_EQ(text_to_move("e1g1"), CASTLE_WK_MOVE);
    set_fen("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
    EXPECT_EQ(text_to_move("e1g1"), 0);
    play("e2e4 a7a6 e4e5 d7d5");
    EXPECT_EQ(move_kind(text_to_move("e5d6")), MOVE_EN_PASSANT);
}

TEST(Perft, PublishedCounts) {
    struct Case {
        const char* fen;
        int depth;
        uint64_t nodes;
    };
    const Case cases[] = {
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 4, 4085603},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, 674624},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 4, 422333},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
        {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 3, 89890},
    };
    for (const auto& c : cases) {
        set_fen(c.fen);
        EXPECT_EQ(perft(c.depth), c.nodes) << c.fen;
    }
}

TEST(Perft, SuiteAtShortDepths) {
    // Each position to the deepest depth whose count stays below a million leaves.
    std::ifstream file(TERVANE_TEST_DATA "/perftsuite.epd");
    ASSERT_TRUE(file) << "missing perftsuite.epd";
    std::string line;
    int positions = 0;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        std::string fen = line.substr(0, line.find(';'));
        std::vector<uint64_t> counts;
        for (size_t at = line.find(";D"); at != std::string::npos; at = line.find(";D", at + 1))
            counts.push_back(std::stoull(line.substr(line.find(' ', at) + 1)));
        set_fen(fen.c_str());
        for (size_t d = 0; d < counts.size() && counts[d] < 1000000; ++d)
            ASSERT_EQ(perft(static_cast<int>(d + 1)), counts[d]) << fen << " depth " << d + 1;
        ++positions;
    }
    EXPECT_EQ(positions, 126);
}
