// The weights of the evaluation's rules in centipawns, each named once. Material (piece_value)
// and the piece-square tables live with the position, which keeps their sums up to date.
//
// A weight is a bonus unless its comment says it is charged: a charge is subtracted from the
// score of the side whose pawn or piece it concerns. Pairs are {middlegame, endgame}.
#pragma once

#include <array>
#include <cstdint>

namespace tervane {

using PhaseWeights = std::array<int32_t, 2>;

// The phase: the middlegame lasts while one side's material, king included, reaches this sum.
constexpr int32_t MIDDLEGAME_MATERIAL = 2160;
constexpr int32_t MIDDLEGAME_MATERIAL_WITH_QUEENS = 1900; // when both sides have a queen

// Pawns.
constexpr PhaseWeights ISOLATED_PAWN = {8, 20}; // charged: no own pawn on a neighbouring file
constexpr int32_t BACKWARD_PAWN = 10;           // charged: no own pawn beside or behind it
constexpr int32_t BACKWARD_PAWN_OPEN_FILE = 15; // charged too when no enemy pawn is on its file
constexpr int32_t DOUBLED_PAWN = 4; // charged to each pawn of a file for each other pawn there
constexpr PhaseWeights PASSED_PAWN_RANK = {12, 16}; // a passed pawn, for each rank from its first
constexpr int32_t PASSED_PAWN_NOT_ISOLATED = 25;
constexpr int32_t PASSED_PAWN_SUPPORTED = 30; // not isolated, a neighbour's rearmost one rank back
constexpr int32_t BLOCKED_PASSED_PAWN = 20;   // charged in the endgame: a piece in front of it

// Knights.
constexpr int32_t KNIGHT_OUTPOST = 20;         // in front of an enemy pawn, safe from enemy pawns
constexpr int32_t CENTRAL_KNIGHT_OUTPOST = 12; // more for such a knight on the c- or d-file

// Bishops.
constexpr int32_t BISHOP_PAIR = 20;   // for each bishop of a side past its first
constexpr int32_t FIANCHETTO = 15;    // on g2 (g7) with its king on g1 (g8)
constexpr int32_t HEMMED_BISHOP = 30; // charged: on its first two ranks, own pawns on both
                                      // forward diagonal neighbours

// Rooks.
constexpr PhaseWeights ROOK_ON_SEVENTH = {20, 10};     // the seventh rank (black: second)
constexpr int32_t ROOK_ON_SEVENTH_KING_ON_EIGHTH = 60; // instead, in the endgame, with the enemy
                                                       // king on its back rank
constexpr int32_t ROOK_OPEN_FILE = 25;                 // a file without pawns
constexpr int32_t ROOK_HALF_OPEN_FILE = 20;            // a file with enemy pawns only
constexpr int32_t SHUT_IN_ROOK = 45; // charged in the middlegame: on h1 (h8) with its king on f1
                                     // or g1 (f8 or g8) and an own pawn on h2 or h3 (h7 or h6)

// Queens.
constexpr int32_t QUEEN_ON_SEVENTH = 50; // endgame, with the enemy king on its back rank

// Kings in the middlegame, besides their table: the pawns around them.
constexpr int32_t KING_FILE_WITHOUT_OWN_PAWN = 40;   // charged
constexpr int32_t KING_FILE_WITHOUT_ENEMY_PAWN = 40; // charged
// The shield on the king's file and the two beside it: an own pawn ahead of the king is charged
// this much for each rank it stands further than the next one; a file without such a pawn
// (the files beyond the board's edge among them) is charged SHIELD_PAWN_MISSING.
constexpr int32_t SHIELD_OWN_FILE_PER_RANK = 4;
constexpr int32_t SHIELD_SIDE_FILE_PER_RANK = 3;
constexpr int32_t SHIELD_PAWN_MISSING = 12;

} // namespace tervane
