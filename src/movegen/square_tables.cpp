// The per-square target tables, built at compile time from their rules.
#include "movegen/movegen.h"

namespace tervane {

namespace {

struct Step {
    int files;
    int ranks;
};

constexpr bool on_board(int file, int rank) {
    return file >= 0 && file < 8 && rank >= 0 && rank < 8;
}

constexpr int square_of(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

// A target row: the on-board steps in ascending square order (the order of the offsets).
template <std::size_t N>
constexpr std::array<int32_t, 8> ascending_targets(int square, const std::array<Step, N>& steps) {
    std::array<int32_t, 8> row{};
    row.fill(RAY_END);
    int n = 0;
    for (const Step& step : steps) {
        int file = square % 8 + step.files, rank = square / 8 + step.ranks;
        if (on_board(file, rank)) row[n++] = file + 8 * rank;
    }
    return row;
}

// Moves the entry equal to `target` to the end of the row's filled part.
constexpr void move_to_end(std::array<int32_t, 8>& row, int target) {
    int n = 0;
    while (n < 8 && row[n] != RAY_END) ++n;
    for (int i = 0; i < n; ++i) {
        if (row[i] != target) continue;
        for (int j = i; j + 1 < n; ++j) row[j] = row[j + 1];
        row[n - 1] = target;
        return;
    }
}

constexpr bool square_in(int square, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (square_of(names[i]) == square) return true;
    return false;
}

constexpr std::array<int32_t, 8> knight_row(int square) {
    // Offsets -17, -15, -10, -6, +6, +10, +15, +17.
    constexpr std::array<Step, 8> steps = {
        {{-1, -2}, {1, -2}, {-2, -1}, {2, -1}, {-2, 1}, {2, 1}, {-1, 2}, {1, 2}}};
    std::array<int32_t, 8> row = ascending_targets(square, steps);

    constexpr const char* plus_ten_last[] = {"d2", "e2", "f2", "c3", "d3", "e3", "f3", "c4", "e4",
                                             "f4", "c5", "d5", "e5", "f5", "c6", "d6", "e6", "f6"};
    constexpr const char* minus_six_last[] = {"c7", "d7", "e7", "f7"};
    if (square_in(square, plus_ten_last, 18)) move_to_end(row, square + 10);
    if (square_in(square, minus_six_last, 4)) move_to_end(row, square - 6);

    auto fixed = [&row](std::array<const char*, 4> names) {
        row.fill(RAY_END);
        for (int i = 0; i < 4 && names[i] != nullptr; ++i) row[i] = square_of(names[i]);
    };
    if (square == square_of("b1")) fixed({"d2", "c3", "a3", nullptr});
    if (square == square_of("b2")) fixed({"d1", "d3", "c4", "a4"});
    if (square == square_of("a8")) fixed({"c7", "b6", nullptr, nullptr});
    if (square == square_of("h8")) fixed({"f7", "g6", nullptr, nullptr});
    return row;
}

constexpr std::array<int32_t, 8> king_row(int square) {
    // Offsets -9, -8, -7, -1, +1, +7, +8, +9.
    constexpr std::array<Step, 8> steps = {
        {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}};
    std::array<int32_t, 8> row = ascending_targets(square, steps);
    if (square == square_of("h8")) {
        row.fill(RAY_END);
        row[0] = square_of("h7"), row[1] = square_of("g7"), row[2] = square_of("g8");
    }
    return row;
}

// Non-empty rays in the given direction order, packed into slots 0, 1, ...
constexpr std::array<std::array<int32_t, 7>, 4> ray_slots(int square,
                                                          const std::array<Step, 4>& directions) {
    std::array<std::array<int32_t, 7>, 4> slots{};
    for (auto& slot : slots) slot.fill(RAY_END);
    int slot = 0;
    for (const Step& step : directions) {
        int file = square % 8 + step.files, rank = square / 8 + step.ranks, n = 0;
        while (on_board(file, rank)) {
            slots[slot][n++] = file + 8 * rank;
            file += step.files, rank += step.ranks;
        }
        if (n > 0) ++slot;
    }
    return slots;
}

constexpr std::array<std::array<int32_t, 7>, 4> diagonal_row(int square) {
    // North-west, north-east, south-west, south-east.
    return ray_slots(square, {{{-1, 1}, {1, 1}, {-1, -1}, {1, -1}}});
}

constexpr std::array<std::array<int32_t, 7>, 4> straight_row(int square) {
    constexpr Step east{1, 0}, west{-1, 0}, north{0, 1}, south{0, -1};
    int file = square % 8, rank = square / 8;
    bool north_second = (rank == 0 || rank == 6) && file >= 1 && file <= 6; // b1..g1, b7..g7
    if (north_second) return ray_slots(square, {east, north, west, south});
    return ray_slots(square, {east, west, north, south});
}

constexpr SquareTables make_square_tables() {
    SquareTables tables{};
    for (int square = 0; square < 64; ++square) {
        tables.knight_targets[square] = knight_row(square);
        tables.king_targets[square] = king_row(square);
        tables.diagonal_rays[square] = diagonal_row(square);
        tables.straight_rays[square] = straight_row(square);
    }
    return tables;
}

constexpr SquareTables built_tables = make_square_tables();

template <std::size_t Rows, std::size_t Width>
constexpr int count_squares(const std::array<std::array<int32_t, Width>, Rows>& rows) {
    int total = 0;
    for (const auto& row : rows)
        for (int32_t entry : row) total += entry != RAY_END;
    return total;
}

constexpr int count_ray_squares(const std::array<std::array<std::array<int32_t, 7>, 4>, 64>& t) {
    int total = 0;
    for (const auto& slots : t) total += count_squares(slots);
    return total;
}

static_assert(count_squares(built_tables.knight_targets) == 336);
static_assert(count_squares(built_tables.king_targets) == 420);
static_assert(count_ray_squares(built_tables.diagonal_rays) == 560);
static_assert(count_ray_squares(built_tables.straight_rays) == 896);

// The generators walk a square's slots by direction with square sets: the diagonal slots in
// the order north-west, north-east, south-west, south-east, the straight ones east, north,
// west, south on b1..g1 and b7..g7 and east, west, north, south elsewhere, an empty ray taking
// no slot. Each slot must hold exactly its ray, nearest square first.
constexpr bool slots_follow(const std::array<std::array<int32_t, 7>, 4>& slots, int square,
                            const std::array<int, 4>& directions) {
    int slot = 0;
    for (int d : directions) {
        Bitboard ray = rays[d][square];
        if (ray == 0) continue;
        if (slot == 4) return false;
        for (int32_t entry : slots[slot]) {
            if (entry == RAY_END) break;
            const int expected = runs_upward(d) ? lowest_square(ray) : highest_square(ray);
            if (ray == 0 || entry != expected) return false;
            ray &= ~bit(expected);
        }
        if (ray != 0) return false;
        ++slot;
    }
    for (; slot < 4; ++slot)
        if (slots[slot][0] != RAY_END) return false;
    return true;
}

constexpr bool slots_follow_directions() {
    for (int s = 0; s < 64; ++s) {
        if (!slots_follow(built_tables.diagonal_rays[s], s,
                          {NORTH_WEST, NORTH_EAST, SOUTH_WEST, SOUTH_EAST}))
            return false;
        const bool north_second = (NORTH_SECOND_SQUARES >> s) & 1;
        if (!slots_follow(built_tables.straight_rays[s], s,
                          north_second ? std::array<int, 4>{EAST, NORTH, WEST, SOUTH}
                                       : std::array<int, 4>{EAST, WEST, NORTH, SOUTH}))
            return false;
    }
    return true;
}
static_assert(slots_follow_directions());

// The squares whose row lists exactly the targets of the attack set, in ascending order.
constexpr Bitboard ascending_rows(const std::array<std::array<int32_t, 8>, 64>& rows,
                                  const std::array<Bitboard, 64>& attacks) {
    Bitboard ascending = 0;
    for (int s = 0; s < 64; ++s) {
        Bitboard left = attacks[s];
        bool in_order = true;
        for (int32_t entry : rows[s]) {
            if (entry == RAY_END) break;
            if (left == 0 || entry != lowest_square(left)) in_order = false;
            left &= left - 1;
        }
        if (in_order && left == 0) ascending |= bit(s);
    }
    return ascending;
}

// Every row lists the same squares as the attack set, whatever its order.
constexpr bool rows_match(const std::array<std::array<int32_t, 8>, 64>& rows,
                          const std::array<Bitboard, 64>& attacks) {
    for (int s = 0; s < 64; ++s) {
        Bitboard listed = 0;
        for (int32_t entry : rows[s])
            if (entry != RAY_END) listed |= bit(entry);
        if (listed != attacks[s]) return false;
    }
    return true;
}
static_assert(rows_match(built_tables.knight_targets, knight_attacks));
static_assert(rows_match(built_tables.king_targets, king_attacks));

} // namespace

const SquareTables square_tables = built_tables;
const Bitboard knight_rows_ascending = ascending_rows(built_tables.knight_targets, knight_attacks);
const Bitboard king_rows_ascending = ascending_rows(built_tables.king_targets, king_attacks);

} // namespace tervane
