// Square tables, attack tests, the full and the capture generator.
#include "movegen/movegen.h"
#include "position/position.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace tervane;

namespace {

// ---------------------------------------------------------------------------------------
// Helpers

std::string square_name(int square) {
    return {static_cast<char>('a' + square % 8), static_cast<char>('1' + square / 8)};
}

std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> out;
    for (Move m : moves) out.push_back(text_of(m));
    return out;
}

std::vector<std::string> split(const std::string& words) {
    std::istringstream in(words);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::vector<Move> all_moves() {
    Move list[MAX_MOVES];
    int32_t count = -1;
    gen_moves(list, count);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, MAX_MOVES);
    return {list, list + count};
}

std::vector<Move> captures() {
    Move list[MAX_CAPTURES];
    int32_t count = -1;
    gen_captures(list, count);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, MAX_CAPTURES);
    return {list, list + count};
}

// The moves of gen_moves that take a piece.
std::vector<Move> capturing_subset(const std::vector<Move>& moves) {
    std::vector<Move> out;
    for (Move m : moves)
        if (pos.board[move_to(m)] != 0 || move_kind(m) == MOVE_EN_PASSANT) out.push_back(m);
    return out;
}

std::vector<Move> legal_moves() {
    std::vector<Move> out;
    for (Move m : all_moves()) {
        if (!make_move(m)) continue;
        out.push_back(m);
        unmake_move();
    }
    return out;
}

std::vector<std::string> rows_of(const std::array<int32_t, 8>& row) {
    std::vector<std::string> out;
    for (int32_t t : row)
        if (t != RAY_END) out.push_back(square_name(t));
    return out;
}

// Slots separated by "/", as the telling rows are written.
std::string slots_text(const std::array<std::array<int32_t, 7>, 4>& slots) {
    std::string out;
    for (const auto& slot : slots) {
        if (slot[0] == RAY_END) continue;
        if (!out.empty()) out += " /";
        for (int32_t t : slot)
            if (t != RAY_END) out.append(" ").append(square_name(t));
    }
    return out;
}

// Whether a piece of colour `by` (1 white, 2 black) attacks `target`, by plain geometry.
bool naive_attacked(int target, PieceCode by, bool with_king) {
    const int tf = target % 8, tr = target / 8;
    auto at = [](int f, int r) { return pos.board[f + 8 * r]; };
    auto inside = [](int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; };
    int pawn_rank = by == WHITE ? tr - 1 : tr + 1;
    for (int df : {-1, 1})
        if (inside(tf + df, pawn_rank) && at(tf + df, pawn_rank) == (by | PAWN)) return true;
    const int knight_steps[8][2] = {{1, 2},  {2, 1},  {-1, 2},  {-2, 1},
                                    {1, -2}, {2, -1}, {-1, -2}, {-2, -1}};
    for (const auto& s : knight_steps)
        if (inside(tf + s[0], tr + s[1]) && at(tf + s[0], tr + s[1]) == (by | KNIGHT)) return true;
    for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr) {
            if (df == 0 && dr == 0) continue;
            if (with_king && inside(tf + df, tr + dr) && at(tf + df, tr + dr) == (by | KING))
                return true;
            PieceCode slider = (df != 0 && dr != 0) ? (by | BISHOP) : (by | ROOK);
            int f = tf + df, r = tr + dr;
            while (inside(f, r)) {
                PieceCode p = at(f, r);
                if (p != 0) {
                    if (p == slider || p == (by | QUEEN)) return true;
                    break;
                }
                f += df, r += dr;
            }
        }
    return false;
}

// The perft suite: one FEN and the counts of depths 1..6 (0 where not given) per line.
struct SuiteEntry {
    std::string fen;
    std::vector<uint64_t> counts; // index = depth
};

std::vector<SuiteEntry> read_suite() {
    std::ifstream in(std::string(TERVANE_TEST_DATA) + "/perftsuite.epd");
    std::vector<SuiteEntry> suite;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        SuiteEntry entry;
        std::getline(fields, entry.fen, ';');
        while (!entry.fen.empty() && entry.fen.back() == ' ') entry.fen.pop_back();
        entry.counts.assign(1, 0);
        for (std::string field; std::getline(fields, field, ';');) {
            std::istringstream f(field);
            std::string depth;
            uint64_t count = 0;
            f >> depth >> count;
            entry.counts.push_back(count);
        }
        suite.push_back(entry);
    }
    return suite;
}

uint64_t count_leaves(int depth) {
    if (depth == 0) return 1;
    Move list[MAX_MOVES];
    int32_t count = 0;
    gen_moves(list, count);
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        if (!make_move(list[i])) continue;
        total += count_leaves(depth - 1);
        unmake_move();
    }
    return total;
}

bool path_free(std::initializer_list<const char*> squares, PieceCode enemy) {
    for (const char* s : squares)
        if (naive_attacked(sq(s), enemy, false)) return false;
    return true;
}

// Where a castling move's preconditions hold (the generator's, short of the path test),
// the path test agrees with plain geometry.
void check_castle_paths_against_geometry() {
    const auto& b = pos.board;
    const bool white_king = b[sq("e1")] == W_KING, black_king = b[sq("e8")] == B_KING;
    if (white_king && b[sq("f1")] == 0 && b[sq("g1")] == 0 && b[sq("h1")] == W_ROOK) {
        EXPECT_EQ(castle_path_safe_wk(), path_free({"e1", "f1", "g1"}, BLACK));
    }
    if (white_king && b[sq("d1")] == 0 && b[sq("c1")] == 0 && b[sq("b1")] == 0 &&
        b[sq("a1")] == W_ROOK) {
        EXPECT_EQ(castle_path_safe_wq(), path_free({"e1", "d1", "c1"}, BLACK));
    }
    if (black_king && b[sq("f8")] == 0 && b[sq("g8")] == 0 && b[sq("h8")] == B_ROOK) {
        EXPECT_EQ(castle_path_safe_bk(), path_free({"e8", "f8", "g8"}, WHITE));
    }
    if (black_king && b[sq("d8")] == 0 && b[sq("c8")] == 0 && b[sq("b8")] == 0 &&
        b[sq("a8")] == B_ROOK) {
        EXPECT_EQ(castle_path_safe_bq(), path_free({"e8", "d8", "c8"}, WHITE));
    }
}

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// ---------------------------------------------------------------------------------------
// Square tables

TEST(SquareTables, Totals) {
    int knights = 0, kings = 0, diagonals = 0, straights = 0;
    for (int s = 0; s < 64; ++s) {
        for (int32_t t : square_tables.knight_targets[s]) knights += t != RAY_END;
        for (int32_t t : square_tables.king_targets[s]) kings += t != RAY_END;
        for (const auto& slot : square_tables.diagonal_rays[s])
            for (int32_t t : slot) diagonals += t != RAY_END;
        for (const auto& slot : square_tables.straight_rays[s])
            for (int32_t t : slot) straights += t != RAY_END;
    }
    EXPECT_EQ(knights, 336);
    EXPECT_EQ(kings, 420);
    EXPECT_EQ(diagonals, 560);
    EXPECT_EQ(straights, 896);
}

TEST(SquareTables, TellingRows) {
    using V = std::vector<std::string>;
    const auto& st = square_tables;
    EXPECT_EQ(rows_of(st.knight_targets[sq("a1")]), (V{"c2", "b3"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("d4")]),
              (V{"c2", "e2", "b3", "f3", "b5", "f5", "c6", "e6"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("e5")]),
              (V{"d3", "f3", "c4", "g4", "c6", "d7", "f7", "g6"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("d7")]), (V{"c5", "e5", "b6", "b8", "f8", "f6"}));
    EXPECT_EQ(rows_of(st.king_targets[sq("e1")]), (V{"d1", "f1", "d2", "e2", "f2"}));
    EXPECT_EQ(rows_of(st.king_targets[sq("h8")]), (V{"h7", "g7", "g8"}));

    EXPECT_EQ(slots_text(st.diagonal_rays[sq("d4")]),
              " c5 b6 a7 / e5 f6 g7 h8 / c3 b2 a1 / e3 f2 g1");
    EXPECT_EQ(slots_text(st.diagonal_rays[sq("a1")]), " b2 c3 d4 e5 f6 g7 h8");
    EXPECT_EQ(slots_text(st.diagonal_rays[sq("h8")]), " g7 f6 e5 d4 c3 b2 a1");
    EXPECT_EQ(slots_text(st.diagonal_rays[sq("e1")]), " d2 c3 b4 a5 / f2 g3 h4");
    EXPECT_EQ(slots_text(st.straight_rays[sq("e5")]),
              " f5 g5 h5 / d5 c5 b5 a5 / e6 e7 e8 / e4 e3 e2 e1");
    EXPECT_EQ(slots_text(st.straight_rays[sq("e1")]),
              " f1 g1 h1 / e2 e3 e4 e5 e6 e7 e8 / d1 c1 b1 a1");
    EXPECT_EQ(slots_text(st.straight_rays[sq("b7")]),
              " c7 d7 e7 f7 g7 h7 / b8 / a7 / b6 b5 b4 b3 b2 b1");
    EXPECT_EQ(slots_text(st.straight_rays[sq("h1")]),
              " g1 f1 e1 d1 c1 b1 a1 / h2 h3 h4 h5 h6 h7 h8");
}

TEST(SquareTables, EdgeCasesOfTheText) {
    using V = std::vector<std::string>;
    const auto& st = square_tables;
    const auto& a1 = st.knight_targets[sq("a1")];
    const auto& h8 = st.knight_targets[sq("h8")];
    EXPECT_EQ(rows_of(h8), (V{"f7", "g6"}));
    for (int i = 2; i < 8; ++i) {
        EXPECT_EQ(a1[i], RAY_END);
        EXPECT_EQ(h8[i], RAY_END);
    }
    const auto& diag_h8 = st.diagonal_rays[sq("h8")];
    EXPECT_EQ(diag_h8[0][0], sq("g7"));
    EXPECT_EQ(diag_h8[0][6], sq("a1"));
    for (int slot = 1; slot < 4; ++slot)
        for (int32_t t : diag_h8[slot]) EXPECT_EQ(t, RAY_END);

    EXPECT_EQ(slots_text(st.straight_rays[sq("a1")]),
              " b1 c1 d1 e1 f1 g1 h1 / a2 a3 a4 a5 a6 a7 a8");
    EXPECT_EQ(st.straight_rays[sq("b1")][2][0], sq("a1"));
    EXPECT_EQ(st.straight_rays[sq("b1")][2][1], RAY_END);

    // A full ray fills its slot without RAY_END.
    for (int i = 0; i < 7; ++i) EXPECT_EQ(st.diagonal_rays[sq("a1")][0][i], 9 * (i + 1));

    // The exceptional knight rows.
    EXPECT_EQ(rows_of(st.knight_targets[sq("b1")]), (V{"d2", "c3", "a3"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("b2")]), (V{"d1", "d3", "c4", "a4"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("a8")]), (V{"c7", "b6"}));
    // The jump ten squares up last on d2 (and the centre), six squares down last on c7..f7.
    EXPECT_EQ(rows_of(st.knight_targets[sq("d2")]), (V{"b1", "f1", "b3", "c4", "e4", "f3"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("c7")]), (V{"b5", "d5", "a6", "a8", "e8", "e6"}));
    EXPECT_EQ(rows_of(st.knight_targets[sq("g7")]), (V{"f5", "h5", "e6", "e8"}));

    // Straight order east, north, west, south on b1..g1 and b7..g7 only.
    EXPECT_EQ(slots_text(st.straight_rays[sq("g7")]),
              " h7 / g8 / f7 e7 d7 c7 b7 a7 / g6 g5 g4 g3 g2 g1");
    EXPECT_EQ(slots_text(st.straight_rays[sq("a7")]),
              " b7 c7 d7 e7 f7 g7 h7 / a8 / a6 a5 a4 a3 a2 a1");
    EXPECT_EQ(slots_text(st.straight_rays[sq("e8")]),
              " f8 g8 h8 / d8 c8 b8 a8 / e7 e6 e5 e4 e3 e2 e1");
}

TEST(SquareTables, RowsFollowTheirRules) {
    // Each target row holds exactly the squares one jump reaches, each once, then RAY_END; the
    // order is the generators' and is pinned by the rows written out above and below.
    auto as_set = [](const std::array<int32_t, 8>& row) {
        std::vector<int32_t> targets;
        bool ended = false;
        for (int32_t t : row) {
            if (t == RAY_END) {
                ended = true;
                continue;
            }
            EXPECT_FALSE(ended) << "a target after RAY_END";
            targets.push_back(t);
        }
        std::sort(targets.begin(), targets.end());
        return targets;
    };
    auto jumps = [](int s, std::initializer_list<std::pair<int, int>> steps) {
        std::vector<int32_t> targets;
        for (auto [df, dr] : steps) {
            const int tf = s % 8 + df, tr = s / 8 + dr;
            if (tf >= 0 && tf < 8 && tr >= 0 && tr < 8) targets.push_back(tf + 8 * tr);
        }
        std::sort(targets.begin(), targets.end());
        return targets;
    };
    for (int s = 0; s < 64; ++s) {
        const int f = s % 8, r = s / 8;
        EXPECT_EQ(
            as_set(square_tables.knight_targets[s]),
            jumps(s, {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}))
            << square_name(s);
        EXPECT_EQ(as_set(square_tables.king_targets[s]),
                  jumps(s, {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}}))
            << square_name(s);

        auto rays = [&](std::vector<std::pair<int, int>> directions) {
            std::vector<std::vector<int32_t>> slots;
            for (auto [df, dr] : directions) {
                std::vector<int32_t> ray;
                for (int tf = f + df, tr = r + dr; tf >= 0 && tf < 8 && tr >= 0 && tr < 8;
                     tf += df, tr += dr)
                    ray.push_back(tf + 8 * tr);
                if (ray.empty()) continue;
                ray.resize(7, RAY_END);
                slots.push_back(ray);
            }
            slots.resize(4, std::vector<int32_t>(7, RAY_END));
            return slots;
        };
        auto table_slots = [](const std::array<std::array<int32_t, 7>, 4>& t) {
            std::vector<std::vector<int32_t>> slots;
            for (const auto& slot : t) slots.emplace_back(slot.begin(), slot.end());
            return slots;
        };
        EXPECT_EQ(table_slots(square_tables.diagonal_rays[s]),
                  rays({{-1, 1}, {1, 1}, {-1, -1}, {1, -1}}))
            << square_name(s);
        bool north_second = (r == 0 || r == 6) && f >= 1 && f <= 6;
        auto straight = north_second ? rays({{1, 0}, {0, 1}, {-1, 0}, {0, -1}})
                                     : rays({{1, 0}, {-1, 0}, {0, 1}, {0, -1}});
        EXPECT_EQ(table_slots(square_tables.straight_rays[s]), straight) << square_name(s);
    }
}

TEST(MoveWord, PromotionToKnight) {
    Move m = move_word(sq("e7"), sq("e8"), MOVE_PROMOTE_KNIGHT);
    EXPECT_EQ(m, 32564);
    EXPECT_EQ(move_from(m), 52);
    EXPECT_EQ(move_to(m), 60);
    EXPECT_EQ(move_kind(m), 7);
    EXPECT_EQ(CASTLE_WK_MOVE, move_word(4, 6, MOVE_CASTLE));
    EXPECT_EQ(CASTLE_WQ_MOVE, move_word(4, 2, MOVE_CASTLE));
    EXPECT_EQ(CASTLE_BK_MOVE, move_word(60, 62, MOVE_CASTLE));
    EXPECT_EQ(CASTLE_BQ_MOVE, move_word(60, 58, MOVE_CASTLE));
}

// ---------------------------------------------------------------------------------------
// Attack tests

bool check_in(const char* fen) {
    set_fen(fen);
    return note_check_status();
}

TEST(InCheck, PawnsAtTheEdges) {
    EXPECT_TRUE(check_in("7k/8/8/1p6/K7/8/8/8 w - - 0 1"));   // a4, pawn b5
    EXPECT_FALSE(check_in("7k/8/8/8/K6p/8/8/8 w - - 0 1"));   // a4, pawn h4 = a4 + 7
    EXPECT_TRUE(check_in("k7/8/8/6p1/7K/8/8/8 w - - 0 1"));   // h4, pawn g5
    EXPECT_FALSE(check_in("k7/8/8/p7/7K/8/8/8 w - - 0 1"));   // h4, pawn a5 = h4 + 9
    EXPECT_TRUE(check_in("7K/8/8/k7/1P6/8/8/8 b - - 0 1"));   // a5, pawn b4
    EXPECT_FALSE(check_in("7K/8/8/k7/8/7P/8/8 b - - 0 1"));   // a5, pawn h3 = a5 - 9
    EXPECT_TRUE(check_in("K7/8/8/7k/6P1/8/8/8 b - - 0 1"));   // h5, pawn g4
    EXPECT_FALSE(check_in("K7/8/8/7k/P7/8/8/8 b - - 0 1"));   // h5, pawn a4 = h5 - 7
    EXPECT_FALSE(check_in("K7/8/8/8/8/8/7P/k7 b - - 0 1"));   // a1, pawn h2 = a1 + 15
    EXPECT_TRUE(check_in("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1")); // e1, pawn d2
    EXPECT_TRUE(check_in("4k3/5P2/8/8/8/8/8/4K3 b - - 0 1")); // e8, pawn f7
}

TEST(InCheck, NoPawnChecksOnTheFarRanks) {
    // Kings on the last two ranks seen from their side: the pawn test is skipped, and
    // nothing is read outside the board.
    EXPECT_FALSE(check_in("7K/6pp/8/8/8/8/8/k7 w - - 0 1"));
    EXPECT_FALSE(check_in("K7/pp6/8/8/8/8/8/7k w - - 0 1"));
    EXPECT_FALSE(check_in("8/K7/8/8/8/8/6PP/7k b - - 0 1"));
    EXPECT_FALSE(check_in("8/K7/8/8/8/8/PP6/k7 b - - 0 1"));
}

TEST(InCheck, SlidersKnightsAndKings) {
    EXPECT_FALSE(check_in("4r2k/8/8/8/4N3/8/8/4K3 w - - 0 1"));
    EXPECT_TRUE(check_in("4r2k/8/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_FALSE(check_in("4r2k/8/8/8/4n3/8/8/4K3 w - - 0 1")); // own-colour blocker of the rook
    EXPECT_TRUE(check_in("7k/8/8/8/8/8/3q4/4K3 w - - 0 1"));
    EXPECT_TRUE(check_in("8/8/8/8/8/8/3k4/4K3 w - - 0 1"));
    EXPECT_TRUE(check_in("8/8/8/8/8/8/3k4/4K3 b - - 0 1"));
    EXPECT_FALSE(check_in("7k/8/8/8/8/8/8/b3K3 w - - 0 1"));
    EXPECT_TRUE(check_in("7k/8/8/b7/8/8/8/4K3 w - - 0 1"));    // a5-e1 diagonal
    EXPECT_TRUE(check_in("7k/8/8/8/8/8/8/R3K2q w - - 0 1"));   // rook-wise queen on h1
    EXPECT_FALSE(check_in("7k/8/8/8/8/8/8/R3KB1q w - - 0 1")); // blocked by f1
    EXPECT_TRUE(check_in("7k/8/8/8/8/3n4/8/4K3 w - - 0 1"));
    EXPECT_FALSE(check_in("7k/8/8/8/8/3N4/8/4K3 w - - 0 1"));
    EXPECT_FALSE(check_in("K7/8/8/8/8/8/8/N6k b - - 0 1"));
    EXPECT_TRUE(check_in("7k/5N2/8/8/8/8/8/K7 b - - 0 1"));
    EXPECT_TRUE(check_in("7k/8/8/8/8/8/8/K6Q b - - 0 1"));
    EXPECT_TRUE(check_in("7k/8/8/8/3B4/8/8/K7 b - - 0 1"));
}

TEST(CastlePath, TheTextsCases) {
    set_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(castle_path_safe_wk());
    EXPECT_TRUE(castle_path_safe_wq());
    EXPECT_TRUE(castle_path_safe_bk());
    EXPECT_TRUE(castle_path_safe_bq());

    set_fen("r3k2r/8/b7/8/8/8/8/R3K2R w KQkq - 0 1"); // a6 bishop sees f1
    EXPECT_FALSE(castle_path_safe_wk());
    EXPECT_TRUE(castle_path_safe_wq());
    set_fen("r3k2r/8/8/8/8/4n3/8/R3K2R w KQkq - 0 1"); // e3 knight covers f1 (and d1, c2)
    EXPECT_FALSE(castle_path_safe_wk());
    EXPECT_FALSE(castle_path_safe_wq());
    set_fen("1r2k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1"); // b8 rook looks down b1 only
    EXPECT_TRUE(castle_path_safe_wq());
    set_fen("r3k2r/8/8/8/8/8/7p/R3K2R w KQkq - 0 1");
    EXPECT_FALSE(castle_path_safe_wk());
    EXPECT_TRUE(castle_path_safe_wq());
    set_fen("r3k2r/8/8/8/8/8/p7/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(castle_path_safe_wk());
    EXPECT_TRUE(castle_path_safe_wq());
    set_fen("r3k2r/8/8/8/8/1B6/8/R3K2R b KQkq - 0 1"); // b3 bishop sees g8 through f7
    EXPECT_FALSE(castle_path_safe_bk());
    EXPECT_TRUE(castle_path_safe_bq());
    set_fen("r3k2r/8/8/8/8/1B6/5p2/R3K2R b KQkq - 0 1");
    EXPECT_FALSE(castle_path_safe_bk()); // f2 does not lie between b3 and g8
    set_fen("r3k2r/5p2/8/8/8/1B6/8/R3K2R b KQkq - 0 1");
    EXPECT_TRUE(castle_path_safe_bk()); // f7 blocks it
    set_fen("r3k2r/7P/8/8/8/8/8/R3K2R b KQkq - 0 1");
    EXPECT_FALSE(castle_path_safe_bk());
    set_fen("r3k2r/7B/8/8/8/8/8/R3K2R b KQkq - 0 1");
    EXPECT_FALSE(castle_path_safe_bk());
    set_fen("r3k2r/P7/8/8/8/8/8/R3K2R b KQkq - 0 1");
    EXPECT_TRUE(castle_path_safe_bk());
    EXPECT_TRUE(castle_path_safe_bq());
    set_fen("r3k2r/8/8/8/8/8/8/R2QK2R b KQkq - 0 1"); // d1 queen looks up the d-file to d8
    EXPECT_TRUE(castle_path_safe_bk());
    EXPECT_FALSE(castle_path_safe_bq());
    // The enemy king is never looked for.
    set_fen("r3k2r/8/8/8/8/8/6k1/R3K2R w KQ - 0 1");
    EXPECT_TRUE(castle_path_safe_wk());
}

// Given the generator's preconditions, a path test is true exactly when none of its three
// squares is attacked by an enemy pawn, knight, bishop, rook or queen.
TEST(CastlePath, AgreesWithPlainGeometry) {
    std::mt19937 rng(20240611);
    const char kinds[] = "pnbrqPNBRQ";
    int tried = 0, unsafe = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string board(64, '.');
        board[sq("e1")] = 'K', board[sq("a1")] = 'R', board[sq("h1")] = 'R';
        board[sq("e8")] = 'k', board[sq("a8")] = 'r', board[sq("h8")] = 'r';
        const bool white = round % 2 == 0;
        // Keep the mover's castling squares empty.
        std::vector<int> reserved =
            white ? std::vector<int>{1, 2, 3, 5, 6} : std::vector<int>{57, 58, 59, 61, 62};
        int pieces = 1 + static_cast<int>(rng() % 10);
        for (int i = 0; i < pieces; ++i) {
            int s = static_cast<int>(rng() % 64);
            char c = kinds[rng() % 10];
            if (board[s] != '.') continue;
            if (std::find(reserved.begin(), reserved.end(), s) != reserved.end()) continue;
            if ((c == 'p' || c == 'P') && (s < 8 || s >= 56)) continue;
            board[s] = c;
        }
        std::string fen;
        for (int r = 7; r >= 0; --r) {
            int empty = 0;
            for (int f = 0; f < 8; ++f) {
                char c = board[f + 8 * r];
                if (c == '.') {
                    ++empty;
                    continue;
                }
                if (empty) fen += std::to_string(empty), empty = 0;
                fen += c;
            }
            if (empty) fen += std::to_string(empty);
            if (r) fen += '/';
        }
        fen += white ? " w KQkq - 0 1" : " b KQkq - 0 1";
        set_fen(fen.c_str());
        ++tried;
        if (white) {
            EXPECT_EQ(castle_path_safe_wk(), path_free({"e1", "f1", "g1"}, BLACK)) << fen;
            EXPECT_EQ(castle_path_safe_wq(), path_free({"e1", "d1", "c1"}, BLACK)) << fen;
            unsafe += !castle_path_safe_wk();
        } else {
            EXPECT_EQ(castle_path_safe_bk(), path_free({"e8", "f8", "g8"}, WHITE)) << fen;
            EXPECT_EQ(castle_path_safe_bq(), path_free({"e8", "d8", "c8"}, WHITE)) << fen;
            unsafe += !castle_path_safe_bk();
        }
        EXPECT_EQ(note_check_status(),
                  naive_attacked(pos.king_square[pos.side], pos.side == 0 ? BLACK : WHITE, true))
            << fen;
    }
    EXPECT_GT(unsafe, tried / 10); // the random boards exercise both answers
    EXPECT_LT(unsafe, tried);
}

// ---------------------------------------------------------------------------------------
// Full move generator

TEST(GenMoves, InitialPositionInOrder) {
    set_fen(START_FEN);
    std::vector<Move> moves = all_moves();
    EXPECT_EQ(texts(moves), split("b1c3 b1a3 g1f3 g1h3 a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 "
                                  "e2e3 e2e4 f2f3 f2f4 g2g3 g2g4 h2h3 h2h4"));
    for (Move m : moves) {
        int from = move_from(m), to = move_to(m);
        EXPECT_EQ(move_kind(m), to - from == 16 ? MOVE_DOUBLE_PUSH : MOVE_NORMAL) << text_of(m);
    }
}

TEST(GenMoves, RooksAndCastlingInOrder) {
    set_fen("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    std::vector<Move> moves = all_moves();
    EXPECT_EQ(texts(moves), split("a1b1 a1c1 a1d1 a1a2 a1a3 a1a4 a1a5 a1a6 a1a7 a1a8 "
                                  "e1d1 e1f1 e1d2 e1e2 e1f2 e1g1 e1c1 "
                                  "h1g1 h1f1 h1h2 h1h3 h1h4 h1h5 h1h6 h1h7 h1h8"));
    ASSERT_EQ(moves.size(), 26u);
    EXPECT_EQ(moves[15], CASTLE_WK_MOVE);
    EXPECT_EQ(moves[16], CASTLE_WQ_MOVE);
    for (int i = 0; i < 26; ++i)
        if (i != 15 && i != 16) {
            EXPECT_EQ(move_kind(moves[i]), MOVE_NORMAL);
        }
}

TEST(GenMoves, BlackCastlingInOrder) {
    set_fen("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1");
    std::vector<std::string> t = texts(all_moves());
    auto it = std::find(t.begin(), t.end(), "e8f8"); // the king's last step
    ASSERT_NE(it, t.end());
    ASSERT_LT(it + 2, t.end());
    EXPECT_EQ(*(it + 1), "e8g8");
    EXPECT_EQ(*(it + 2), "e8c8");
    set_fen("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1");
    std::vector<Move> moves = all_moves();
    EXPECT_NE(std::find(moves.begin(), moves.end(), CASTLE_BK_MOVE), moves.end());
    EXPECT_NE(std::find(moves.begin(), moves.end(), CASTLE_BQ_MOVE), moves.end());
}

TEST(GenMoves, KiwipeteStartAndEnd) {
    set_fen(KIWIPETE);
    std::vector<std::string> t = texts(all_moves());
    ASSERT_EQ(t.size(), 48u);
    std::vector<std::string> first = split("a1b1 a1c1 a1d1 e1d1 e1f1 e1g1 e1c1 h1g1 h1f1 a2a3 "
                                           "a2a4 b2b3 d2e3 d2f4 d2g5 d2h6 d2c1");
    std::vector<std::string> last = split("e5d3 e5c4 e5g4 e5c6 e5d7 e5f7 e5g6");
    EXPECT_EQ(std::vector<std::string>(t.begin(), t.begin() + first.size()), first);
    EXPECT_EQ(std::vector<std::string>(t.end() - last.size(), t.end()), last);
}

TEST(GenMoves, TwelvePromotions) {
    set_fen("3r1n1k/4P3/8/8/8/8/8/K7 w - - 0 1");
    std::vector<std::string> pawn;
    for (Move m : all_moves())
        if (move_from(m) == sq("e7")) pawn.push_back(text_of(m));
    EXPECT_EQ(pawn, split("e7e8q e7e8r e7e8b e7e8n e7f8q e7f8r e7f8b e7f8n "
                          "e7d8q e7d8r e7d8b e7d8n"));

    set_fen("k7/8/8/8/8/8/4p3/3R1N1K b - - 0 1");
    pawn.clear();
    for (Move m : all_moves())
        if (move_from(m) == sq("e2")) pawn.push_back(text_of(m));
    EXPECT_EQ(pawn, split("e2e1q e2e1r e2e1b e2e1n e2f1q e2f1r e2f1b e2f1n "
                          "e2d1q e2d1r e2d1b e2d1n"));

    // Blocked ahead and nothing to take: no move; own pieces are not taken.
    set_fen("3RqR1k/4P3/8/8/8/8/8/K7 w - - 0 1");
    for (Move m : all_moves()) EXPECT_NE(move_from(m), sq("e7")) << text_of(m);
    // Promotions on the a-file and the h-file do not wrap round the board.
    set_fen("1n4n1/P6P/8/8/8/8/8/K6k w - - 0 1");
    pawn.clear();
    for (Move m : all_moves())
        if (move_from(m) == sq("a7") || move_from(m) == sq("h7")) pawn.push_back(text_of(m));
    EXPECT_EQ(pawn, split("a7a8q a7a8r a7a8b a7a8n a7b8q a7b8r a7b8b a7b8n "
                          "h7h8q h7h8r h7h8b h7h8n h7g8q h7g8r h7g8b h7g8n"));
}

TEST(GenMoves, CastlingConditions) {
    auto has_castle = [](const char* fen) {
        set_fen(fen);
        for (Move m : all_moves())
            if (move_kind(m) == MOVE_CASTLE) return true;
        return false;
    };
    EXPECT_TRUE(has_castle("4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
    EXPECT_TRUE(has_castle("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    // Rights but no rook on the corner (the rook removed after the set-up).
    set_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    pos.board[sq("h1")] = 0;
    pos.board[sq("g1")] = W_ROOK;
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_CASTLE);
    // A black rook on the corner is not the white rook.
    set_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    pos.board[sq("h1")] = B_ROOK;
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_CASTLE);
    // The king away from e1 (rights left over).
    set_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    pos.board[sq("e1")] = 0;
    pos.board[sq("f2")] = W_KING;
    pos.king_square[0] = sq("f2");
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_CASTLE);
    // Squares between king and rook occupied; b1 counts for the queen side.
    EXPECT_FALSE(has_castle("4k3/8/8/8/8/8/8/4KN1R w K - 0 1"));
    EXPECT_FALSE(has_castle("4k3/8/8/8/8/8/8/4K1nR w K - 0 1"));
    EXPECT_FALSE(has_castle("4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1"));
    // Right missing.
    EXPECT_FALSE(has_castle("4k3/8/8/8/8/8/8/R3K2R w - - 0 1"));
    // Failing path tests: in check, crossing and reaching attacked squares.
    EXPECT_FALSE(has_castle("4r2k/8/8/8/8/8/8/4K2R w K - 0 1"));
    EXPECT_FALSE(has_castle("5r1k/8/8/8/8/8/8/4K2R w K - 0 1"));
    EXPECT_FALSE(has_castle("6rk/8/8/8/8/8/8/4K2R w K - 0 1"));
    EXPECT_TRUE(has_castle("7k/8/8/8/8/8/8/4K2R w K - 0 1"));
    EXPECT_TRUE(has_castle("1r5k/8/8/8/8/8/8/R3K3 w Q - 0 1")); // b1 may be attacked
    EXPECT_FALSE(has_castle("2r4k/8/8/8/8/8/8/R3K3 w Q - 0 1"));
    EXPECT_FALSE(has_castle("r3k3/8/8/8/8/8/8/3RK3 b q - 0 1"));
    EXPECT_TRUE(has_castle("r3k3/8/8/8/8/8/8/1R2K3 b q - 0 1"));
    EXPECT_FALSE(has_castle("4k2r/8/8/8/8/8/8/4KR2 b k - 0 1"));
}

TEST(GenMoves, PawnAdvances) {
    set_fen("4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1"); // blocked on e3
    for (Move m : all_moves()) EXPECT_NE(move_from(m), sq("e2")) << text_of(m);
    set_fen("4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1"); // blocked on e4 only
    std::vector<std::string> pawn;
    for (Move m : all_moves())
        if (move_from(m) == sq("e2")) pawn.push_back(text_of(m));
    EXPECT_EQ(pawn, split("e2e3"));

    set_fen("4k3/4p3/3N1N2/8/8/8/8/4K3 b - - 0 1");
    std::vector<Move> black_pawn;
    for (Move m : all_moves())
        if (move_from(m) == sq("e7")) black_pawn.push_back(m);
    // Advance, double advance, then east (f6) before west (d6).
    EXPECT_EQ(texts(black_pawn), split("e7e6 e7e5 e7f6 e7d6"));
    ASSERT_EQ(black_pawn.size(), 4u);
    EXPECT_EQ(move_kind(black_pawn[1]), MOVE_DOUBLE_PUSH);
}

TEST(GenMoves, EnPassant) {
    set_fen("4k3/8/8/3PpP2/8/8/8/4K3 w - e6 0 1");
    std::vector<Move> pawn;
    for (Move m : all_moves())
        if (move_kind(m) == MOVE_EN_PASSANT) pawn.push_back(m);
    EXPECT_EQ(texts(pawn), split("d5e6 f5e6"));

    set_fen("4k3/8/8/8/3pPp2/8/8/4K3 b - e3 0 1");
    pawn.clear();
    for (Move m : all_moves())
        if (move_kind(m) == MOVE_EN_PASSANT) pawn.push_back(m);
    EXPECT_EQ(texts(pawn), split("d4e3 f4e3"));
    // East before west for a black pawn: east is -7.
    set_fen("4k3/8/8/8/8/2p5/3p4/2R1R1K1 b - - 0 1");
    std::vector<std::string> order;
    for (Move m : all_moves())
        if (move_from(m) == sq("d2")) order.push_back(text_of(m));
    EXPECT_EQ(order, split("d2d1q d2d1r d2d1b d2d1n d2e1q d2e1r d2e1b d2e1n "
                           "d2c1q d2c1r d2c1b d2c1n"));

    // No wrap round the board: h5 + 9 is a7, a5 + 7 is h5 (squares set by hand, since the
    // set-up accepts only en-passant squares that a double push can leave).
    set_fen("4k3/8/8/7P/8/8/8/4K3 w - - 0 1");
    pos.ep_square = sq("a7");
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    for (Move m : captures()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    set_fen("4k3/8/8/P7/8/8/8/4K3 w - - 0 1");
    pos.ep_square = sq("h5");
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    for (Move m : captures()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    // The generator trusts ep_square and does not look for the pawn behind it.
    set_fen("4k3/8/8/3P4/8/8/8/4K3 w - - 0 1");
    pos.ep_square = sq("e6");
    EXPECT_EQ(texts(captures()), split("d5e6"));
    // gen_moves tries en passant neither from the start rank nor before promotion, while
    // gen_captures tries it from the start rank.
    set_fen("4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
    pos.ep_square = sq("e3");
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    EXPECT_EQ(texts(captures()), split("d2e3"));
    set_fen("7k/3P4/8/8/8/8/8/4K3 w - - 0 1");
    pos.ep_square = sq("e8");
    for (Move m : all_moves()) EXPECT_NE(move_kind(m), MOVE_EN_PASSANT) << text_of(m);
    EXPECT_TRUE(captures().empty());
}

TEST(GenMoves, PseudoLegalMovesStayInTheList) {
    // The e2 knight is pinned by the e8 rook; the king may step into the d-file rook.
    set_fen("4r2k/8/8/8/8/8/4N3/3rK3 w - - 0 1");
    std::vector<std::string> t = texts(all_moves());
    EXPECT_NE(std::find(t.begin(), t.end(), "e2c3"), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), "e1f1"), t.end());
    std::vector<std::string> legal = texts(legal_moves());
    EXPECT_EQ(std::find(legal.begin(), legal.end(), "e2c3"), legal.end());
    EXPECT_EQ(std::find(legal.begin(), legal.end(), "e1f1"), legal.end());
    EXPECT_NE(std::find(legal.begin(), legal.end(), "e1d1"), legal.end());
}

TEST(GenMoves, TwoHundredEighteenLegalMoves) {
    set_fen("R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
    EXPECT_EQ(legal_moves().size(), 218u);
}

TEST(GenMoves, LeavesThePositionUnchanged) {
    set_fen(KIWIPETE);
    const Position before = pos;
    all_moves();
    captures();
    EXPECT_EQ(pos.board, before.board);
    EXPECT_EQ(pos.side, before.side);
    EXPECT_EQ(pos.castling, before.castling);
    EXPECT_EQ(pos.ep_square, before.ep_square);
    EXPECT_EQ(pos.ply, before.ply);
}

// ---------------------------------------------------------------------------------------
// Capture generator

TEST(GenCaptures, TheTextsCases) {
    set_fen(START_FEN);
    EXPECT_TRUE(captures().empty());

    set_fen(KIWIPETE);
    EXPECT_EQ(texts(captures()), split("e2a6 g2h3 f3h3 f3f6 d5e6 e5d7 e5f7 e5g6"));

    set_fen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"); // promotion by advance only
    EXPECT_TRUE(captures().empty());
    set_fen("1b2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(texts(captures()), split("a7b8q a7b8r a7b8b a7b8n"));

    set_fen("4k3/8/8/3PpP2/8/8/8/4K3 w - e6 0 1");
    EXPECT_EQ(texts(captures()), split("d5e6 f5e6"));
    for (Move m : captures()) EXPECT_EQ(move_kind(m), MOVE_EN_PASSANT);

    // A slider takes what lies behind empty squares; a piece earlier on the ray hides it.
    set_fen("4k3/8/8/8/8/8/8/R2Kq2r w - - 0 1");
    EXPECT_EQ(texts(captures()), split("d1e1"));
    set_fen("4k3/8/8/8/8/8/8/R1n1K2r w - - 0 1");
    EXPECT_EQ(texts(captures()), split("a1c1"));
    set_fen("4k3/8/8/8/8/8/8/RNn1K2r w - - 0 1");
    EXPECT_TRUE(captures().empty());
}

TEST(GenCaptures, SlidersSeeThroughEmptySquaresOnly) {
    set_fen("r3k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(texts(captures()), split("a1a8"));
    set_fen("r3k3/p7/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(texts(captures()), split("a1a7"));
    set_fen("r3k3/8/8/8/P7/8/8/R3K3 w - - 0 1");
    EXPECT_TRUE(captures().empty());
    set_fen("4k3/8/8/8/8/8/5q2/Q3K1r1 w - - 0 1");
    EXPECT_EQ(texts(captures()), split("e1f2"));
    set_fen("4k3/6p1/8/8/3b4/8/8/Q3K3 w - - 0 1");
    EXPECT_EQ(texts(captures()), split("a1d4"));
}

// lists_quiet_move against the list, for every normal move and double push to an empty square.
void check_quiet_moves_listed(const std::vector<Move>& moves) {
    for (int from = 0; from < 64; ++from)
        for (int to = 0; to < 64; ++to)
            for (int kind : {MOVE_NORMAL, MOVE_DOUBLE_PUSH}) {
                const Move move = move_word(from, to, kind);
                const bool listed = pos.board[to] == 0 &&
                                    std::find(moves.begin(), moves.end(), move) != moves.end();
                ASSERT_EQ(lists_quiet_move(move), listed) << from << "-" << to << " " << kind;
            }
}

// Random legal play from every position of the perft suite: at each position reached,
// the capture list is the capturing part of the full list in the same order, note_check_status
// agrees with plain geometry, the castling tests agree when their preconditions hold, and
// king_step_legal agrees with make_move.
TEST(GenCaptures, EqualToTheCapturesOfGenMovesInRandomPlay) {
    std::vector<SuiteEntry> suite = read_suite();
    ASSERT_GT(suite.size(), 100u);
    std::mt19937 rng(12345);
    long positions = 0, with_captures = 0, with_ep = 0;
    for (const SuiteEntry& entry : suite) {
        for (int game = 0; game < 4; ++game) {
            set_fen(entry.fen.c_str());
            int made = 0;
            for (int plies = 0; plies < 100; ++plies) {
                std::vector<Move> moves = all_moves();
                std::vector<Move> taken = captures();
                ASSERT_EQ(taken, capturing_subset(moves)) << entry.fen << " ply " << plies;
                if (positions % 16 == 0) check_quiet_moves_listed(moves);
                ++positions;
                with_captures += !taken.empty();
                with_ep += pos.ep_square != 0;
                ASSERT_EQ(note_check_status(), naive_attacked(pos.king_square[pos.side],
                                                              pos.side == 0 ? BLACK : WHITE, true))
                    << entry.fen << " ply " << plies;
                check_castle_paths_against_geometry();
                std::vector<Move> legal;
                for (Move m : moves) {
                    // A king step's legality, told without playing it.
                    if (move_from(m) == pos.king_square[pos.side] && move_kind(m) == MOVE_NORMAL &&
                        pos.board[move_to(m)] == 0) {
                        const bool step_legal = pos.side == 0 ? king_step_legal<0>(move_to(m))
                                                              : king_step_legal<1>(move_to(m));
                        ASSERT_EQ(step_legal, make_move(m)) << entry.fen << " " << m;
                        if (step_legal) unmake_move();
                    }
                    if (!make_move(m)) continue;
                    legal.push_back(m);
                    unmake_move();
                }
                if (legal.empty()) break;
                if (!make_move(legal[rng() % legal.size()])) FAIL() << "legal move refused";
                ++made;
            }
            while (made-- > 0) unmake_move();
            ASSERT_EQ(pos.ply, 0);
        }
    }
    EXPECT_GT(positions, 20000);
    EXPECT_GT(with_captures, positions / 10);
    EXPECT_GT(with_ep, 50);
}

// ---------------------------------------------------------------------------------------
// The generator through make and unmake: the perft suite up to a modest size.

TEST(GenMoves, PerftSuiteCrossCheck) {
    std::vector<SuiteEntry> suite = read_suite();
    ASSERT_GT(suite.size(), 100u);
    for (const SuiteEntry& entry : suite) {
        for (size_t depth = 1; depth < entry.counts.size(); ++depth) {
            if (entry.counts[depth] > 400000) break;
            set_fen(entry.fen.c_str());
            EXPECT_EQ(count_leaves(static_cast<int>(depth)), entry.counts[depth])
                << entry.fen << " depth " << depth;
        }
    }
}

} // namespace
