// The engine's strength and thinking time, as the player chooses them, and the "go" command
// that each choice makes. Strength is a limit on the search depth, which the protocol offers
// (a beginner's engine looks one move ahead); full strength has no limit but the time.

export const LEVELS = [
  { id: 'beginner', name: 'Beginner', depth: 1 },
  { id: 'novice', name: 'Novice', depth: 2 },
  { id: 'casual', name: 'Casual', depth: 3 },
  { id: 'club', name: 'Club player', depth: 5 },
  { id: 'expert', name: 'Expert', depth: 8 },
  { id: 'full', name: 'Full strength', depth: 0 },
];

export const DEFAULT_LEVEL = 'club';

// `value` is what the page stores and the time-control list holds.
export const TIME_CONTROLS = [
  { value: 'move:500', name: '0.5 s a move', movetime: 500 },
  { value: 'move:1000', name: '1 s a move', movetime: 1000 },
  { value: 'move:3000', name: '3 s a move', movetime: 3000 },
  { value: 'move:10000', name: '10 s a move', movetime: 10000 },
  { value: 'clock:60000:1000', name: 'Clock 1 min + 1 s', base: 60000, increment: 1000 },
  { value: 'clock:180000:2000', name: 'Clock 3 min + 2 s', base: 180000, increment: 2000 },
  { value: 'clock:300000:3000', name: 'Clock 5 min + 3 s', base: 300000, increment: 3000 },
  { value: 'clock:900000:10000', name: 'Clock 15 min + 10 s', base: 900000, increment: 10000 },
];

export const DEFAULT_TIME_CONTROL = 'move:1000';

export const levelOf = (id) => LEVELS.find((level) => level.id === id) ?? null;
export const timeControlOf = (value) => TIME_CONTROLS.find((tc) => tc.value === value) ?? null;
export const usesClock = (tc) => tc.base !== undefined;

// "Club player (depth 5)" or "Full strength".
export function levelLabel(level) {
  return level.depth ? `${level.name} (depth ${level.depth})` : level.name;
}

// The engine's name in the game's record: "Tervane (Club player, depth 5, 1 s a move)".
export function engineName(level, tc) {
  const strength = level.depth ? `${level.name}, depth ${level.depth}` : level.name;
  return `Tervane (${strength}, ${tc.name.replace(/^Clock /, '')})`;
}

// The record's TimeControl tag: "60+1" for a clock; none is standard for a fixed time a move.
export function timeControlTag(tc) {
  return usesClock(tc) ? `${tc.base / 1000}+${tc.increment / 1000}` : null;
}

// How the engine searches for its move: the "go" command, and when the page stops the
// search itself. The engine takes no time limit with a depth limit (it always finishes the
// depth it is given), so at a level below full strength the page says "stop" when the
// time of the move is up, and the engine then plays the best move it has found.
// `left`: the milliseconds left on each clock, `side` the engine's, for a game on a clock.
export function searchPlan(level, tc, left, side) {
  if (level.depth) return { go: `go depth ${level.depth}`, stopAfterMs: moveBudget(tc, left[side]) };
  if (!usesClock(tc)) return { go: `go movetime ${tc.movetime}`, stopAfterMs: null };
  const words = ['go', 'wtime', left.w, 'btime', left.b, 'winc', tc.increment, 'binc', tc.increment];
  return { go: words.join(' '), stopAfterMs: null };
}

// The time for one move: the fixed time, or on a clock a share of what is left that lets
// the engine make about thirty more moves, and never more than half of it.
const MOVES_TO_PLAN_FOR = 30;
function moveBudget(tc, left) {
  if (!usesClock(tc)) return tc.movetime;
  return Math.round(Math.min(left / MOVES_TO_PLAN_FOR + tc.increment, left / 2));
}
