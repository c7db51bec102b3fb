'use strict';
// Whole games under a match manager's rules: the engine plays itself (two processes) at a
// fast time control, and every answer, every printed line and every clock is refereed.
// TERVANE_GAMES_TC ("base+inc" in ms) and TERVANE_GAMES_CAP (plies) change the defaults.
// A short fixed-node match, as match managers play one, is played twice and must replay.

const { test } = require('node:test');
const assert = require('node:assert/strict');
const { enginePath } = require('./lib/engine_process');
const { OPENINGS } = require('./lib/openings');
const { playGame, describeFault } = require('./lib/referee');
const { parseTimeControl } = require('./lib/time_control');

const tc = parseTimeControl(process.env.TERVANE_GAMES_TC ?? '2000+50');
const maxPlies = Number(process.env.TERVANE_GAMES_CAP ?? 160);
const chosen = ['initial position', 'Sicilian', 'open game, castled', 'flank', 'rook ending', 'queen against king'];

for (const [i, name] of chosen.entries()) {
  const opening = OPENINGS.find((o) => o.name === name);
  const id = `${i + 1} (${name})`;
  test(`game ${id} at ${tc.text} is played out without a fault`, async () => {
    const game = await playGame({ whiteFile: enginePath(), blackFile: enginePath(), tc, opening, maxPlies, id });
    const summary = `${game.result ?? 'no result'} by ${game.reason}, ${game.plies} plies, ${game.pvLines} pv lines checked`;
    assert.deepEqual(game.faults.map(describeFault), [], `game ${id}: ${summary}`);
    assert.notEqual(game.result, null, `game ${id}: ${summary}`);
    if (name === 'queen against king') assert.equal(game.reason, 'checkmate', `game ${id}: ${summary}`);
  });
}

// At a fixed node count the engine's answer depends on nothing but the game: each game of
// the match, played again by new engine processes, gives the same moves.
const fixedNodes = 20000;
const fixedNodesPlies = 60;
test(`a fixed-node match at ${fixedNodes} nodes a move replays move for move`, async () => {
  for (const name of ['Sicilian', 'flank', 'rook ending']) {
    const opening = OPENINGS.find((o) => o.name === name);
    const play = async (run) => {
      const moves = [];
      const id = `${name} at ${fixedNodes} nodes, run ${run}`;
      const game = await playGame({
        whiteFile: enginePath(),
        blackFile: enginePath(),
        nodes: fixedNodes,
        opening,
        maxPlies: fixedNodesPlies,
        id,
        onMove: ({ move }) => moves.push(move),
      });
      assert.deepEqual(game.faults.map(describeFault), [], `game ${id}`);
      return moves;
    };
    const first = await play(1);
    assert.ok(first.length > 10, `${name}: only ${first.length} plies`);
    assert.deepEqual(await play(2), first, `${name}: the second run played other moves`);
  }
});
