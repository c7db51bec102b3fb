'use strict';
// The referee must call each fault by its name, with the game, the move and the position,
// or a green game run proves nothing. A stand-in engine commits one fault per game.

const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { OPENINGS } = require('./lib/openings');
const { playGame } = require('./lib/referee');

const faulty = path.join(__dirname, 'fixtures', 'faulty_engine.js');
// Interfaces start engines as programs, so the stand-in must be one even where a checkout
// lost its executable bit.
fs.chmodSync(faulty, 0o755);
const opening = OPENINGS.find((o) => o.name === 'Sicilian');
const tc = { baseMs: 500, incMs: 0 };

async function playFaulty(fault) {
  process.env.FAULTY_ENGINE_FAULT = fault;
  try {
    return await playGame({ whiteFile: faulty, blackFile: faulty, tc, opening, maxPlies: 20, id: fault, graceMs: 500 });
  } finally {
    delete process.env.FAULTY_ENGINE_FAULT;
  }
}

test('each kind of fault is named, with the game, the move number and the position', async () => {
  // White's third move comes after the opening's five moves each: move 8, white to move.
  const expected = {
    'illegal-move': { kind: 'illegal move', detail: /bestmove a1a1/ },
    'illegal-pv': { kind: 'illegal pv', detail: /move 2 .* of pv/ },
    crash: { kind: 'crash', detail: /status 3/ },
    silent: { kind: 'stall', detail: /no "bestmove"/ },
    late: { kind: 'forfeit', detail: /ms used with .* ms on the clock/ },
  };
  for (const [fault, { kind, detail }] of Object.entries(expected)) {
    const game = await playFaulty(fault);
    const first = game.faults[0];
    assert.ok(first, `${fault}: no fault called`);
    assert.equal(first.kind, kind, `${fault}: ${JSON.stringify(first)}`);
    assert.match(first.detail, detail, fault);
    assert.equal(first.game, fault);
    assert.equal(first.moveNumber, 8, fault);
    assert.equal(first.side, 'w', fault);
    assert.match(first.fen, / w \S+ \S+ \d+ 8$/, fault);
  }
});

test('an engine that stops answering "isready" stalls the game at its next turn', async () => {
  const game = await playFaulty('deaf');
  assert.equal(game.faults[0]?.kind, 'stall', JSON.stringify(game.faults));
  assert.match(game.faults[0].detail, /readyok/);
});

test('a clean engine plays to the move cap without a fault', async () => {
  const game = await playFaulty('none');
  assert.deepEqual(game.faults, []);
  assert.equal(game.reason, 'move cap');
  assert.equal(game.plies, 20);
});
