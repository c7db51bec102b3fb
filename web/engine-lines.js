// Reading the engine's progress lines and showing them in chess terms. No page state here.
import { Chess } from './vendor/chess.js/chess.js';

// "info depth 9 score cp -31 time 812 nodes 914433 nps 1126000 pv e2e4 e7e5 " and the
// iteration-end "info time 812 nodes 914433 nps 1126000 ". Other info lines (the current
// root move) give null.
export function parseInfo(line) {
  const words = line.trim().split(/\s+/);
  if (words[0] !== 'info' || words.includes('currmove')) return null;
  const info = { pv: [] };
  for (let i = 1; i < words.length; i++) {
    const word = words[i];
    if (word === 'pv') {
      info.pv = words.slice(i + 1);
      break;
    }
    if (word === 'score') {
      info.score = { kind: words[i + 1], value: Number(words[i + 2]) };
      i += 2;
    } else if (['depth', 'time', 'nodes', 'nps'].includes(word)) {
      info[word] = Number(words[i + 1]);
      i += 1;
    }
  }
  return info.nodes === undefined ? null : info;
}

// The engine scores for the side to move; the page shows every score from White's view, as
// players expect: { kind: 'cp' | 'mate', value } with a positive value good for White.
export function whiteScore(score, turn) {
  return { kind: score.kind, value: turn === 'w' ? score.value : -score.value };
}

// "+0.24", "-1.50", "#3" (White mates in 3), "#-2" (Black mates in 2).
export function formatScore(score) {
  if (score.kind === 'mate') return `#${score.value}`;
  const pawns = score.value / 100;
  return `${pawns > 0 ? '+' : ''}${pawns.toFixed(2)}`;
}

// White's share of the evaluation bar, 0 to 1: the usual logistic turn of a score in
// centipawns into winning chances, so that a pawn or two moves the bar visibly and a
// won position fills it.
const BAR_SCALE_CP = 270;
export function whiteShare(score) {
  if (score.kind === 'mate') return score.value > 0 ? 1 : 0;
  return 1 / (1 + Math.exp(-score.value / BAR_SCALE_CP));
}

export function formatRate(nps) {
  if (nps >= 1e6) return `${(nps / 1e6).toFixed(2)} Mnps`;
  return `${Math.round(nps / 1e3)} knps`;
}

// A move in the engine's notation ("e2e4", "e7e8q") as chess.js takes it.
export function coordinateMove(text) {
  return { from: text.slice(0, 2), to: text.slice(2, 4), promotion: text[4] };
}

// A line of coordinate moves as "12. Nf3 Nc6 13. Bb5", from the position it was searched in.
export function lineToSan(fen, moves) {
  const board = new Chess(fen);
  const words = [];
  for (const [i, text] of moves.entries()) {
    let move;
    try {
      move = board.move(coordinateMove(text));
    } catch {
      words.push(...moves.slice(i));
      break;
    }
    const number = board.moveNumber();
    if (move.color === 'w') words.push(`${number}.`);
    else if (i === 0) words.push(`${number - 1}…`);
    words.push(move.san);
  }
  return words.join(' ');
}
