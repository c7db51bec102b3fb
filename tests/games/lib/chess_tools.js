'use strict';
// The referee's side: chess.js knows the rules independently of the engine, so every
// position, move and line the engine shows is checked against it.

const { Chess } = require('chess.js');

const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';

// Small, fast and the same on every machine: a failing random game can be replayed from
// its seed.
function seededRandom(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const UCI_MOVE = /^([a-h][1-8])([a-h][1-8])([qrbn]?)$/;

// Plays the legal move written `uci` in coordinate notation and returns it, or returns
// null and leaves the position as it was. Exact match: a promotion without its letter, or
// with a letter that is not a piece, is not a move. Asking chess.js for this one move is
// far cheaper than listing every legal move with its SAN, which a referee checking every
// line of two games at once cannot afford while it keeps the clocks.
function playUci(chess, uci) {
  const parts = UCI_MOVE.exec(uci);
  if (!parts) return null;
  let move;
  try {
    move = chess.move({ from: parts[1], to: parts[2], promotion: parts[3] || undefined });
  } catch {
    return null; // no such legal move
  }
  // chess.js ignores a promotion letter on a move that promotes nothing.
  if (move.lan === uci) return move;
  chess.undo();
  return null;
}

// The legal move written `uci`, or null; the position is left as it was.
function legalMove(chess, uci) {
  const move = playUci(chess, uci);
  if (move) chess.undo();
  return move;
}

// The same test for a move that is only checked, not kept: chess.js's own move list and
// move maker, without the Move object (its SAN and two FENs) that each public call builds
// and that makes checking a line some ten times slower. chess.js is pinned in
// package-lock.json; should these go, the public calls serve.
function playUciUnrecorded(chess, uci) {
  if (typeof chess._moves !== 'function' || typeof chess._makeMove !== 'function') return playUci(chess, uci) !== null;
  const parts = UCI_MOVE.exec(uci);
  if (!parts) return false;
  const square = (index) => 'abcdefgh'[index & 15] + '87654321'[index >> 4];
  const move = chess
    ._moves({ legal: true, square: parts[1] })
    .find((m) => square(m.to) === parts[2] && (m.promotion ?? '') === parts[3]);
  if (!move) return false;
  chess._makeMove(move);
  return true;
}

// Index of the first move of `line` that is not legal where it is played, or -1.
function firstIllegal(fen, line) {
  const chess = new Chess(fen);
  for (let i = 0; i < line.length; ++i) if (!playUciUnrecorded(chess, line[i])) return i;
  return -1;
}

// The eight board lines the engine's "print" shows for this position.
function printedBoard(chess) {
  return chess.board().map((row, r) => {
    const squares = row.map((sq) => {
      if (!sq) return '.';
      return sq.color === 'w' ? sq.type.toUpperCase() : sq.type;
    });
    return `${8 - r} ${squares.join(' ')} `;
  });
}

// Reads the engine's "print" output: the board lines, the side to move and the counters.
function parsePrint(lines) {
  const start = lines.findIndex((l) => /^8 /.test(l));
  if (start < 0) throw new Error(`no board in ${JSON.stringify(lines)}`);
  const board = lines.slice(start, start + 8);
  const turn = lines.find((l) => l.startsWith('turn: '));
  const counters = lines.find((l) => l.startsWith('ply:'));
  const match = /ply:(-?\d+) \* root_ply:(-?\d+) \* fifty:(-?\d+)/.exec(counters ?? '');
  return {
    board,
    turn: turn ? turn.slice('turn: '.length) : null,
    ply: match ? Number(match[1]) : null,
    rootPly: match ? Number(match[2]) : null,
    fifty: match ? Number(match[3]) : null,
  };
}

// A long random game that never reaches a position without legal moves, so that every
// move of it can be sent to the engine. Draws by rule do not stop it: the moves after them
// are still legal. Captures are taken only with `captureChance`, so that pieces stay on the
// board for long games instead of two bare kings walking about.
function randomGame(seed, plies, { fen = START_FEN, captureChance = 1 } = {}) {
  const random = seededRandom(seed);
  const chess = new Chess(fen);
  const moves = [];
  while (moves.length < plies) {
    const all = chess.moves(); // the verbose form is several times slower
    const quiet = all.filter((san) => !san.includes('x'));
    const candidates = quiet.length > 0 && random() >= captureChance ? quiet : all;
    const start = Math.floor(random() * candidates.length);
    let played = null;
    for (let k = 0; k < candidates.length && !played; ++k) {
      const move = chess.move(candidates[(start + k) % candidates.length]);
      if (chess.isCheckmate() || chess.isStalemate()) chess.undo();
      else played = move;
    }
    if (!played) throw new Error(`random game ${seed} stuck at ply ${moves.length}`);
    moves.push(played.lan);
  }
  return { moves, chess };
}

// Plays a move known to be legal (one chess.js itself produced).
function playKnown(chess, uci) {
  return chess.move({ from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci[4] });
}

function sanToUci(fen, sans) {
  const chess = new Chess(fen);
  return sans.map((san) => chess.move(san).lan);
}

// Why the game is over by the rules, or null while it goes on.
function gameOver(chess) {
  if (chess.isCheckmate()) return { result: chess.turn() === 'w' ? '0-1' : '1-0', reason: 'checkmate' };
  if (chess.isStalemate()) return { result: '1/2-1/2', reason: 'stalemate' };
  if (chess.isInsufficientMaterial()) return { result: '1/2-1/2', reason: 'insufficient material' };
  if (chess.isThreefoldRepetition()) return { result: '1/2-1/2', reason: 'threefold repetition' };
  if (chess.isDrawByFiftyMoves()) return { result: '1/2-1/2', reason: 'fifty moves' };
  return null;
}

module.exports = {
  Chess,
  START_FEN,
  seededRandom,
  legalMove,
  playUci,
  firstIllegal,
  printedBoard,
  parsePrint,
  randomGame,
  playKnown,
  sanToUci,
  gameOver,
};
