'use strict';
// Starting points for refereed games. The engine is deterministic up to timing, so games
// from one position tend to repeat; these spread them over open, closed and flank
// openings, a rook ending and a mating ending (which must finish by mate, not the cap).

const { START_FEN, sanToUci } = require('./chess_tools');

const LINES = [
  { name: 'initial position', sans: [] },
  { name: 'Sicilian', sans: ['e4', 'c5', 'Nf3', 'd6', 'd4', 'cxd4', 'Nxd4', 'Nf6', 'Nc3', 'a6'] },
  { name: 'open game, castled', sans: ['e4', 'e5', 'Nf3', 'Nc6', 'Bb5', 'a6', 'Ba4', 'Nf6', 'O-O', 'Be7'] },
  { name: 'queen pawn', sans: ['d4', 'd5', 'c4', 'e6', 'Nc3', 'Nf6', 'Bg5', 'Be7'] },
  { name: 'flank', sans: ['c4', 'e5', 'Nc3', 'Nf6', 'g3', 'd5', 'cxd5', 'Nxd5'] },
  { name: 'French advance', sans: ['e4', 'e6', 'd4', 'd5', 'e5', 'c5', 'c3', 'Nc6'] },
  { name: 'rook ending', fen: '8/p4pk1/1p4p1/8/3R4/1P4P1/P4PK1/2r5 w - - 0 30', sans: [] },
  { name: 'queen against king', fen: '8/8/8/4k3/8/8/8/3QK3 w - - 0 1', sans: [] },
];

// Each opening as the engine receives it: the set-up ("startpos" or a FEN) and moves.
const OPENINGS = LINES.map(({ name, fen, sans }) => ({
  name,
  position: fen ?? 'startpos',
  fen: fen ?? START_FEN,
  moves: sanToUci(fen ?? START_FEN, sans),
}));

module.exports = { OPENINGS };
