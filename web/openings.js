// The page's small opening book: main lines of the common openings as published in opening
// manuals, each with its usual name. In a position of the book the engine plays one of the
// moves that continue a line through it, picked at random, so that games differ (the engine
// itself always plays the same move in the same position). The names also tell the player
// which opening is on the board.
//
// Written here by hand: the npm packages of opening names fetch their data from the network
// when used, and list every named opening, sound or not.
import { Chess } from './vendor/chess.js/chess.js';

// [name, moves from the start]: the name belongs to the position at the end of the line;
// a short line names the position where an opening takes its shape.
const LINES = [
  ["King's Pawn Opening", 'e4'],
  ["Queen's Pawn Opening", 'd4'],
  ['English Opening', 'c4'],
  ['Zukertort Opening', 'Nf3'],
  ['Open Game', 'e4 e5'],
  ["King's Knight Opening", 'e4 e5 Nf3'],
  ['Scotch Game', 'e4 e5 Nf3 Nc6 d4'],
  ["Petrov's Defence", 'e4 e5 Nf3 Nf6'],
  ['Four Knights Game', 'e4 e5 Nf3 Nc6 Nc3 Nf6'],
  ['French Defence', 'e4 e6'],
  ['Caro-Kann Defence', 'e4 c6'],
  ['Pirc Defence', 'e4 d6'],
  ['Scandinavian Defence', 'e4 d5'],
  ["Queen's Gambit Declined", 'd4 d5 c4 e6'],
  ["Queen's Gambit Accepted", 'd4 d5 c4 dxc4'],
  ['Slav Defence', 'd4 d5 c4 c6'],
  ['London System', 'd4 d5 Bf4'],
  ['Dutch Defence', 'd4 f5'],
  ['Benoni Defence', 'd4 Nf6 c4 c5'],
  ["King's Indian Defence", 'd4 Nf6 c4 g6'],
  ['Grünfeld Defence', 'd4 Nf6 c4 g6 Nc3 d5'],
  ["Queen's Indian Defence", 'd4 Nf6 c4 e6 Nf3 b6'],
  ['Catalan Opening', 'd4 Nf6 c4 e6 g3'],
  ['Sicilian Defence: Najdorf Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 a6'],
  ['Sicilian Defence: Classical Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 Nc6'],
  ['Sicilian Defence: Dragon Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 g6'],
  ['Sicilian Defence: Scheveningen Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 e6'],
  ['Sicilian Defence: Alapin Variation', 'e4 c5 c3'],
  ['French Defence: Winawer Variation', 'e4 e6 d4 d5 Nc3 Bb4'],
  ['French Defence: Tarrasch Variation', 'e4 e6 d4 d5 Nd2'],
  ['French Defence: Advance Variation', 'e4 e6 d4 d5 e5'],
  ['Caro-Kann Defence: Advance Variation', 'e4 c6 d4 d5 e5'],
  ['Ruy Lopez: Berlin Defence', 'e4 e5 Nf3 Nc6 Bb5 Nf6'],
  ['Italian Game: Two Knights Defence', 'e4 e5 Nf3 Nc6 Bc4 Nf6'],
  ['Italian Game: Giuoco Piano', 'e4 e5 Nf3 Nc6 Bc4 Bc5'],
  ['Italian Game', 'e4 e5 Nf3 Nc6 Bc4'],
  ['Italian Game: Giuoco Piano', 'e4 e5 Nf3 Nc6 Bc4 Bc5 c3 Nf6 d3 d6 O-O O-O'],
  ['Italian Game: Two Knights Defence', 'e4 e5 Nf3 Nc6 Bc4 Nf6 d3 Be7 O-O O-O'],
  ['Ruy Lopez', 'e4 e5 Nf3 Nc6 Bb5'],
  ['Ruy Lopez: Morphy Defence', 'e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6'],
  ['Ruy Lopez: Closed', 'e4 e5 Nf3 Nc6 Bb5 a6 Ba4 Nf6 O-O Be7 Re1 b5 Bb3 d6 c3 O-O'],
  ['Ruy Lopez: Berlin Defence', 'e4 e5 Nf3 Nc6 Bb5 Nf6 O-O Nxe4 d4 Nd6 Bxc6 dxc6 dxe5 Nf5'],
  ['Scotch Game', 'e4 e5 Nf3 Nc6 d4 exd4 Nxd4 Nf6 Nxc6 bxc6 e5 Qe7'],
  ['Four Knights Game', 'e4 e5 Nf3 Nc6 Nc3 Nf6 Bb5 Bb4 O-O O-O'],
  ["Petrov's Defence", 'e4 e5 Nf3 Nf6 Nxe5 d6 Nf3 Nxe4 d4 d5 Bd3'],
  ['Sicilian Defence', 'e4 c5'],
  ['Sicilian Defence: Open', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3'],
  ['Sicilian Defence: Najdorf Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 a6 Be3 e5 Nb3'],
  ['Sicilian Defence: Classical Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 Nc6 Bg5 e6'],
  ['Sicilian Defence: Dragon Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 g6 Be3 Bg7 f3 O-O'],
  ['Sicilian Defence: Scheveningen Variation', 'e4 c5 Nf3 d6 d4 cxd4 Nxd4 Nf6 Nc3 e6 Be2 Be7'],
  ['Sicilian Defence: Taimanov Variation', 'e4 c5 Nf3 e6 d4 cxd4 Nxd4 Nc6 Nc3 Qc7'],
  ['Sicilian Defence: Kan Variation', 'e4 c5 Nf3 e6 d4 cxd4 Nxd4 a6 Bd3 Nf6'],
  ['Sicilian Defence: Sveshnikov Variation', 'e4 c5 Nf3 Nc6 d4 cxd4 Nxd4 Nf6 Nc3 e5 Ndb5 d6'],
  ['Sicilian Defence: Alapin Variation', 'e4 c5 c3 Nf6 e5 Nd5 d4 cxd4 Nf3 Nc6'],
  ['French Defence', 'e4 e6 d4 d5'],
  ['French Defence: Winawer Variation', 'e4 e6 d4 d5 Nc3 Bb4 e5 c5 a3 Bxc3+ bxc3 Ne7'],
  ['French Defence: Classical Variation', 'e4 e6 d4 d5 Nc3 Nf6 Bg5 Be7 e5 Nfd7 Bxe7 Qxe7'],
  ['French Defence: Tarrasch Variation', 'e4 e6 d4 d5 Nd2 c5 exd5 Qxd5 Ngf3 cxd4'],
  ['French Defence: Advance Variation', 'e4 e6 d4 d5 e5 c5 c3 Nc6 Nf3 Qb6'],
  ['Caro-Kann Defence', 'e4 c6 d4 d5'],
  ['Caro-Kann Defence: Classical Variation', 'e4 c6 d4 d5 Nc3 dxe4 Nxe4 Bf5 Ng3 Bg6 h4 h6'],
  ['Caro-Kann Defence: Advance Variation', 'e4 c6 d4 d5 e5 Bf5 Nf3 e6 Be2 c5'],
  ['Pirc Defence', 'e4 d6 d4 Nf6 Nc3 g6 Nf3 Bg7 Be2 O-O'],
  ['Scandinavian Defence', 'e4 d5 exd5 Qxd5 Nc3 Qa5 d4 Nf6 Nf3 c6'],
  ["Queen's Gambit", 'd4 d5 c4'],
  ["Queen's Gambit Declined", 'd4 d5 c4 e6 Nc3 Nf6 Bg5 Be7 e3 O-O Nf3 h6'],
  ["Queen's Gambit Accepted", 'd4 d5 c4 dxc4 Nf3 Nf6 e3 e6 Bxc4 c5 O-O a6'],
  ['Slav Defence', 'd4 d5 c4 c6 Nf3 Nf6 Nc3 dxc4 a4 Bf5'],
  ['Semi-Slav Defence', 'd4 d5 c4 c6 Nf3 Nf6 Nc3 e6 e3 Nbd7'],
  ['London System', 'd4 d5 Bf4 Nf6 e3 c5 c3 Nc6 Nd2 e6'],
  ['Indian Defence', 'd4 Nf6'],
  ['Nimzo-Indian Defence', 'd4 Nf6 c4 e6 Nc3 Bb4'],
  ['Nimzo-Indian Defence: Rubinstein Variation', 'd4 Nf6 c4 e6 Nc3 Bb4 e3 O-O Bd3 d5 Nf3 c5'],
  ['Nimzo-Indian Defence: Classical Variation', 'd4 Nf6 c4 e6 Nc3 Bb4 Qc2 O-O a3 Bxc3+ Qxc3 b6'],
  ["Queen's Indian Defence", 'd4 Nf6 c4 e6 Nf3 b6 g3 Bb7 Bg2 Be7 O-O O-O'],
  ['Catalan Opening', 'd4 Nf6 c4 e6 g3 d5 Bg2 Be7 Nf3 O-O O-O dxc4'],
  ["King's Indian Defence", 'd4 Nf6 c4 g6 Nc3 Bg7 e4 d6 Nf3 O-O Be2 e5 O-O Nc6'],
  ['Grünfeld Defence', 'd4 Nf6 c4 g6 Nc3 d5 cxd5 Nxd5 e4 Nxc3 bxc3 Bg7 Nf3 c5'],
  ['Benoni Defence', 'd4 Nf6 c4 c5 d5 e6 Nc3 exd5 cxd5 d6 e4 g6'],
  ['Dutch Defence', 'd4 f5 g3 Nf6 Bg2 e6 Nf3 Be7 O-O O-O'],
  ['English Opening: Symmetrical Variation', 'c4 c5 Nc3 Nc6 g3 g6 Bg2 Bg7 Nf3 Nf6'],
  ['English Opening: Reversed Sicilian', 'c4 e5 Nc3 Nf6 g3 d5 cxd5 Nxd5 Bg2 Nb6'],
  ['English Opening: Anglo-Indian Defence', 'c4 Nf6 Nc3 e6 Nf3 d5 d4 Be7'],
  ['Réti Opening', 'Nf3 d5 c4 e6 g3 Nf6 Bg2 Be7 O-O O-O'],
  ['Zukertort Opening: Kingside Fianchetto', 'Nf3 Nf6 g3 g6 Bg2 Bg7 O-O O-O d4 d6'],
];

// A position without the move counters, so that the same position reached by other move
// orders is found too.
export function positionKey(fen) {
  return fen.split(' ').slice(0, 4).join(' ');
}

let tables = null;

// Built on first use, in a few tenths of a second: the book moves (as coordinate moves) and
// the name of each position. The lines share their first moves, so they are walked as a
// tree, each move played once.
function book() {
  if (tables) return tables;
  tables = { moves: new Map(), names: new Map() };
  const root = new Map();
  const endNames = new Map();
  for (const [name, line] of LINES) {
    let node = root;
    for (const san of line.split(' ')) {
      if (!node.has(san)) node.set(san, new Map());
      node = node.get(san);
    }
    endNames.set(node, name);
  }
  const game = new Chess();
  const walk = (node) => {
    const key = positionKey(game.fen());
    for (const [san, next] of node) {
      const move = game.move(san);
      const replies = tables.moves.get(key) ?? new Set();
      replies.add(move.lan);
      tables.moves.set(key, replies);
      if (endNames.has(next)) tables.names.set(positionKey(game.fen()), endNames.get(next));
      walk(next);
      game.undo();
    }
  };
  walk(root);
  return tables;
}

export const bookBuilt = () => tables !== null;
export const buildBook = () => void book();

// The book's moves in the position `fen`, as coordinate moves ("e2e4"); empty out of book.
export function bookMoves(fen) {
  return [...(book().moves.get(positionKey(fen)) ?? [])];
}

export function randomBookMove(fen, random = Math.random) {
  const moves = bookMoves(fen);
  return moves.length > 0 ? moves[Math.floor(random() * moves.length)] : null;
}

// The name of the opening played: that of the latest named position among `fens` (the
// game's positions, first to last), or null.
export function openingName(fens) {
  const { names } = book();
  for (let i = fens.length - 1; i >= 0; i--) {
    const name = names.get(positionKey(fens[i]));
    if (name) return name;
  }
  return null;
}

// For the tests: every line, so that each can be checked against the rules.
export const BOOK_LINES = LINES;
