#include "position/position.h"

namespace tervane {

ZobristKeys zobrist;

namespace {

// The classic library rand() sequence, carried here so that every build on every
// platform draws the same keys.
uint32_t random_state = 0;

uint32_t next_random() {
    random_state = random_state * 214013u + 2531011u;
    return (random_state >> 16) & 32767u;
}

uint64_t random_key() {
    uint64_t k = next_random();
    for (int i = 0; i < 4; ++i) k = (k << 15) ^ next_random();
    return k;
}

} // namespace

void init_keys() {
    random_state = 0;
    for (auto& piece : zobrist.piece_keys)
        for (auto& key : piece) key = random_key();
    for (auto& key : zobrist.ep_keys) key = random_key();
    for (auto& key : zobrist.castle_keys) key = random_key();
    zobrist.side_key = random_key();
}

uint64_t compute_key() {
    uint64_t k = 0;
    for (Square s = 0; s < 64; ++s)
        if (pos.board[s] != 0) k ^= zobrist.piece_keys[pos.board[s]][s];
    if (pos.castling != 0) k ^= zobrist.castle_keys[pos.castling];
    if (pos.ep_square != 0) k ^= zobrist.ep_keys[pos.ep_square];
    if (pos.side == 0) k ^= zobrist.side_key;
    return k;
}

} // namespace tervane
