'use strict';

// "2000+50": 2000 ms on the clock and 50 ms added after each move.
function parseTimeControl(text) {
  const match = /^(\d+)(?:\+(\d+))?$/.exec(String(text).trim());
  if (!match) throw new Error(`time control "${text}" is not of the form base+increment (ms)`);
  const baseMs = Number(match[1]);
  const incMs = Number(match[2] ?? 0);
  return { baseMs, incMs, text: `${baseMs}+${incMs} ms` };
}

// The engine's own budget for one move from "go wtime/btime T winc/binc I" (ms), worked out
// as its go command does, so that a move's time can be judged against what it meant to use.
const CLOCK_RESERVE_MS = 30;
const MOVES_TO_GO = 30;
function moveBudgetMs(clockMs, incMs) {
  const t = Math.max(0, clockMs * 0.95 - 1);
  const b = ((MOVES_TO_GO - 1) * incMs + t) / MOVES_TO_GO;
  const limit = Math.min(Math.max(clockMs - CLOCK_RESERVE_MS, 0), t);
  return Math.min(Math.min(b, t), limit);
}

module.exports = { parseTimeControl, moveBudgetMs };
